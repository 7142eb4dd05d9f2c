#include "core/SwitcherPanelController.h"

#include "core/IgnoreFilter.h"
#include "core/MRUStore.h"
#include "core/PanelSettings.h"
#include "core/PlatformProfile.h"
#include "core/WindowEnumeratorCache.h"
#include "support/Fixtures.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;
using fixtures::app;
using fixtures::tab;
using fixtures::window;

namespace {

const QString finderID = QStringLiteral("com.apple.finder");
const QString chromeID = QStringLiteral("com.google.Chrome");

// Kind and title of each row, e.g. "window notes.txt", "tabGroup Google Chrome".
QStringList describe(const std::vector<SwitchItem>& items)
{
    static const char* const kinds[] = {"window", "tab", "tabGroup", "windowGroup", "app"};
    QStringList rows;
    for (const SwitchItem& item : items)
        rows << QString::fromLatin1(kinds[static_cast<int>(item.kind())]) + QLatin1Char(' ') + item.title();
    return rows;
}

class SwitcherPanelControllerTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    std::vector<WindowItem> windows;
    std::vector<TabItem> tabs;
    std::vector<AppItem> installed;
    SwitcherPanelController controller{SwitcherPanelController::Sources{
        [this] { return windows; },
        [this] { return tabs; },
        [this] { return installed; },
        MRUStore::shared(),
        runtime.desktop().workspace,
        runtime.clock,
        PlatformProfile::macOS(),
    }};

    SwitcherPanelControllerTest() { PanelSettings::setShowAppsWithoutWindows(false); }

    QStringList rows() { return describe(controller.buildItems()); }
    ProcessID run(const QString& bundleID, const QString& name)
    {
        return runtime.desktop().launch(bundleID, name, ActivationPolicy::regular,
                                        QStringLiteral("/Applications/") + name + QStringLiteral(".app"));
    }
    // A running application as the workspace reports it, without any default filled in.
    void runBare(const QString& bundleID, const QString& name, std::optional<QString> bundlePath,
                 bool terminated = false)
    {
        RunningApplication running;
        running.processIdentifier = 4000 + static_cast<ProcessID>(runtime.desktop().workspace.runningApplications().size());
        running.bundleIdentifier = bundleID;
        running.localizedName = name;
        running.bundlePath = std::move(bundlePath);
        running.isTerminated = terminated;
        runtime.desktop().workspace.addApplication(running);
    }
    void touch(const QString& mruKey)
    {
        runtime.clock.advance(1.0);
        MRUStore::shared().touch(mruKey);
    }
};

} // namespace

// Table rows print as their names in failure messages.
template <class Row>
    requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

// ---- Composition

TEST_F(SwitcherPanelControllerTest, WithNothingOpenOnlyRunningApplicationsAreListed)
{
    const AppItem registered = app("com.example.mail", "Mail (registry)", "/Applications/Mail.app");
    installed = {app("com.example.maps", "Maps", "/Applications/Maps.app"), registered,
                 app("com.example.mail", "Mail (second copy)", "/Applications/Old/Mail.app")};
    run("com.example.mail", "Mail");
    run("com.example.notes", "Notes");
    runtime.desktop().launch("com.example.helper", "Helper", ActivationPolicy::regular,
                             QStringLiteral("/Applications/Suite/Helper.app"));
    runtime.desktop().launchWithoutBundle("daemon");
    runBare("com.example.nowhere", "Nowhere", std::nullopt);
    runBare("com.example.gone", "Gone", QStringLiteral("/Applications/Gone.app"), /*terminated=*/true);
    run("com.apple.dock", "Dock"); // ignored by default

    const std::vector<SwitchItem> items = controller.buildItems();
    EXPECT_EQ(describe(items), (QStringList{"app Mail (registry)", "app Notes"}));
    EXPECT_EQ(items[0].id(), registered.id);
    EXPECT_EQ(items[1].as<AppItem>()->path, "/Applications/Notes.app");
}

TEST_F(SwitcherPanelControllerTest, NeverUsedRowsKeepTheKindOrder)
{
    PanelSettings::setShowAppsWithoutWindows(true);
    run(finderID, "Finder");
    run("com.example.notes", "Notes");
    windows = {window("Finder", finderID, "Documents"), window("Terminal", QStringLiteral("com.example.terminal"), "zsh")};
    tabs = {tab(chromeID, "News", "https://news.example"), tab(chromeID, "Mail", "https://mail.example")};
    installed = {app("com.example.maps", "Maps", "/Applications/Maps.app")};
    EXPECT_EQ(rows(), (QStringList{"window zsh", "tabGroup Google Chrome", "windowGroup Finder", "tab News", "tab Mail",
                                   "app Notes", "app Maps"}));
}

TEST_F(SwitcherPanelControllerTest, FinderWindowsAreGatheredIntoOneGroup)
{
    run(finderID, "Finder");
    windows = {window("Finder", finderID, "Documents"), window("Terminal", QStringLiteral("com.example.terminal"), "zsh"),
               window("Finder", finderID, "Downloads")};
    const std::vector<SwitchItem> items = controller.buildItems();
    ASSERT_EQ(describe(items), (QStringList{"window zsh", "windowGroup Finder"}));
    const WindowGroupItem& group = *items[1].as<WindowGroupItem>();
    EXPECT_EQ(group.windows.size(), 2u);
    EXPECT_EQ(group.windows[0].title, "Documents");
    EXPECT_EQ(group.windows[1].title, "Downloads");
}

TEST_F(SwitcherPanelControllerTest, FinderGroupTakesTheWindowsNameWhenFinderIsNotListedAsRunning)
{
    windows = {window("Finder (window)", finderID, "Documents")};
    const std::vector<SwitchItem> items = controller.buildItems();
    ASSERT_EQ(describe(items), (QStringList{"windowGroup Finder (window)"}));
    EXPECT_EQ(items[0].as<WindowGroupItem>()->windows.size(), 1u);
}

TEST_F(SwitcherPanelControllerTest, ABrowserWithOneTabStillFormsAGroup)
{
    tabs = {tab(chromeID, "Only", "https://only.example"), tab("com.apple.Safari", "Docs", "https://docs.example")};
    tabs[1].browserAppName = QStringLiteral("Safari");
    EXPECT_EQ(rows(), (QStringList{"tabGroup Google Chrome", "tabGroup Safari", "tab Only", "tab Docs"}));
}

struct IgnoreCase {
    const char* name;
    QStringList ignoredIDs;
    QStringList appPatterns;
    QStringList windowPatterns;
    QStringList expected;
};

class IgnoreRules : public SwitcherPanelControllerTest, public ::testing::WithParamInterface<IgnoreCase> {};

TEST_P(IgnoreRules, DropWindowsAndTheirApplications)
{
    run("com.example.terminal", "Terminal");
    windows = {window("Terminal", QStringLiteral("com.example.terminal"), "build log"),
               window("Terminal", QStringLiteral("com.example.terminal"), ""),
               window("Notes", QStringLiteral("com.example.notes"), "Groceries")};
    IgnoreFilter::setIgnoredAppBundleIDs(GetParam().ignoredIDs);
    IgnoreFilter::setIgnoredAppRegex(GetParam().appPatterns);
    IgnoreFilter::setIgnoredWindowRegex(GetParam().windowPatterns);
    EXPECT_EQ(rows(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    SwitcherPanelController, IgnoreRules,
    ::testing::Values(
        IgnoreCase{"NothingIgnored", {}, {}, {}, {"window build log", "window Terminal", "window Groceries"}},
        IgnoreCase{"BundleIDAlsoKeepsTheAppRowOut", {"com.example.terminal"}, {}, {}, {"window Groceries"}},
        IgnoreCase{"BundleIDIsCaseSensitive", {"com.example.TERMINAL"}, {}, {},
                   {"window build log", "window Terminal", "window Groceries"}},
        IgnoreCase{"AppPatternIgnoresCase", {}, {"^term"}, {}, {"window Groceries"}},
        IgnoreCase{"BrokenPatternIsSkipped", {}, {"([", "", "notes"}, {}, {"window build log", "window Terminal"}},
        IgnoreCase{"TitlePatternSparesUntitledWindows", {}, {}, {".*"}, {"window Terminal"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SwitcherPanelControllerTest, AppWhoseWindowsAreAllDroppedByTitleIsListedAsAnApp)
{
    run("com.example.terminal", "Terminal");
    windows = {window("Terminal", QStringLiteral("com.example.terminal"), "build log")};
    IgnoreFilter::setIgnoredWindowRegex({"log"});
    EXPECT_EQ(rows(), (QStringList{"app Terminal"}));
}

TEST_F(SwitcherPanelControllerTest, ApplicationQuitFromThePanelStaysOutForEightSeconds)
{
    PanelSettings::setShowAppsWithoutWindows(true);
    run("com.example.notes", "Notes");
    installed = {app("com.example.notes", "Notes", "/Applications/Notes.app"),
                 app("com.example.maps", "Maps", "/Applications/Maps.app")};
    controller.recordRecentlyClosedApp("com.example.notes");
    controller.recordRecentlyClosedApp("com.example.maps");

    runtime.clock.advance(5.0);
    EXPECT_EQ(rows(), QStringList{});
    runtime.clock.advance(3.0);
    EXPECT_TRUE(controller.isRecentlyClosedApp("com.example.notes"));
    EXPECT_EQ(rows(), QStringList{});
    runtime.clock.advance(1.0);
    EXPECT_FALSE(controller.isRecentlyClosedApp("com.example.notes"));
    EXPECT_EQ(rows(), (QStringList{"app Notes", "app Maps"}));
}

TEST_F(SwitcherPanelControllerTest, FinderIsOfferedAsInstalledWheneverItHasNoWindow)
{
    PanelSettings::setShowAppsWithoutWindows(true);
    // Running, but reported without a location, so neither gets a running-app row.
    runBare(finderID, "Finder", std::nullopt);
    runBare("com.example.notes", "Notes", std::nullopt);
    installed = {app(finderID, "Finder", "/System/Library/CoreServices/Finder.app"),
                 app("com.example.notes", "Notes", "/Applications/Notes.app")};
    EXPECT_EQ(rows(), (QStringList{"app Finder"}));

    windows = {window("Finder", finderID, "Documents")};
    EXPECT_EQ(rows(), (QStringList{"windowGroup Finder"}));
}

TEST_F(SwitcherPanelControllerTest, InstalledRowsNeedTheSetting)
{
    installed = {app("com.example.maps", "Maps", "/Applications/Maps.app")};
    EXPECT_EQ(rows(), QStringList{});
    PanelSettings::setShowAppsWithoutWindows(true);
    EXPECT_EQ(rows(), (QStringList{"app Maps"}));
    IgnoreFilter::setIgnoredAppRegex({"^ma"});
    EXPECT_EQ(rows(), QStringList{});
}

TEST_F(SwitcherPanelControllerTest, MostRecentlyUsedRowsComeFirst)
{
    run("com.example.notes", "Notes");
    windows = {window("Terminal", QStringLiteral("com.example.terminal"), "zsh"),
               window("Terminal", QStringLiteral("com.example.terminal"), "vim"),
               window("Editor", QStringLiteral("com.example.editor"), "draft")};
    tabs = {tab(chromeID, "News", "https://news.example", 1, 1), tab(chromeID, "Mail", "https://mail.example", 1, 2)};
    touch("com.example.terminal::vim");
    touch("tab::com.google.Chrome::Mail::1::2");
    runtime.clock.advance(1.0);
    MRUStore::shared().touchApp(QStringLiteral("com.example.notes"), 0);
    EXPECT_EQ(rows(), (QStringList{"app Notes", "tab Mail", "window vim", "window zsh", "window draft",
                                   "tabGroup Google Chrome", "tab News"}));
}

TEST_F(SwitcherPanelControllerTest, DefaultSourcesReadTheSharedWindowCache)
{
    const ProcessID pid = run("com.example.terminal", "Terminal");
    runtime.desktop().openWindow(pid, "zsh");
    WindowEnumeratorCache::shared().refreshSync();
    SwitcherPanelController shared;
    EXPECT_EQ(describe(shared.buildItems()), (QStringList{"window zsh"}));
}

// ---- Frontmost-browser preference

struct PreferenceCase {
    const char* name;
    bool preferenceOn;
    QString frontmost;
    std::vector<TabItem> tabs;
    bool prefers;
    std::optional<QString> chosenGroup; // browser bundle id of the chosen group
};

class FrontmostBrowser : public SwitcherPanelControllerTest, public ::testing::WithParamInterface<PreferenceCase> {};

TEST_P(FrontmostBrowser, OpensOnlyAGroupOfTwoOrMoreTabs)
{
    PanelSettings::setPreferBrowserTabsWhenFrontmost(GetParam().preferenceOn);
    runtime.desktop().workspace.setFrontmost(run(GetParam().frontmost, "Front"));
    tabs = GetParam().tabs;
    const std::vector<SwitchItem> items = controller.buildItems();
    EXPECT_EQ(controller.shouldPreferFrontmostBrowserTabs(), GetParam().prefers);
    const std::optional<TabGroupItem> chosen = controller.preferredFrontmostBrowserTabGroup(items);
    EXPECT_EQ(chosen ? std::optional(chosen->browserBundleID) : std::nullopt, GetParam().chosenGroup);
}

INSTANTIATE_TEST_SUITE_P(
    SwitcherPanelController, FrontmostBrowser,
    ::testing::Values(
        PreferenceCase{"TwoTabs", true, chromeID, {tab(chromeID, "A", "https://a"), tab(chromeID, "B", "https://b")},
                       true, chromeID},
        PreferenceCase{"OneTab", true, chromeID,
                       {tab(chromeID, "A", "https://a"), tab("com.apple.Safari", "S", "https://s"),
                        tab("com.apple.Safari", "T", "https://t")},
                       true, std::nullopt},
        PreferenceCase{"PreferenceOff", false, chromeID,
                       {tab(chromeID, "A", "https://a"), tab(chromeID, "B", "https://b")}, false, std::nullopt},
        PreferenceCase{"FrontmostIsNoBrowser", true, "com.example.notes",
                       {tab(chromeID, "A", "https://a"), tab(chromeID, "B", "https://b")}, false, std::nullopt},
        PreferenceCase{"FrontmostBrowserHasNoTabs", true, chromeID,
                       {tab("com.apple.Safari", "S", "https://s"), tab("com.apple.Safari", "T", "https://t")}, true,
                       std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });
