#include "core/model/ListComposer.h"

#include "core/model/IgnoreFilter.h"
#include "core/model/MRUStore.h"
#include "core/model/PanelSettings.h"
#include "core/shell/PlatformProfile.h"
#include "support/Fixtures.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;
using fixtures::app;
using fixtures::tab;
using fixtures::window;
using fixtures::describe;

namespace {

const QString finderID = QStringLiteral("com.apple.finder");
const QString chromeID = QStringLiteral("com.google.Chrome");

class ListComposerTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    std::vector<WindowItem> windows;
    std::vector<TabItem> tabs;
    std::vector<AppItem> installed;
    ListSources sources{[this] { return windows; }, [this] { return tabs; }, [this] { return installed; },
                        MRUStore::shared(), runtime.desktop().workspace, runtime.clock, PlatformProfile::macOS()};

    ListComposerTest() { PanelSettings::setShowAppsWithoutWindows(false); }

    std::vector<SwitchItem> compose()
    {
        return composeList(sources, [](const QString&) { return false; });
    }
    QStringList rows() { return describe(compose()); }
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
};

} // namespace

TEST_F(ListComposerTest, WithNothingOpenOnlyRunningApplicationsAreListed)
{
    const AppItem registered = app("com.example.mail", "Mail (registry)", "/Applications/Mail.app");
    installed = {app("com.example.maps", "Maps", "/Applications/Maps.app"), registered,
                 app("com.example.mail", "Mail (second copy)", "/Applications/Old/Mail.app")};
    run("com.example.mail", "Mail");
    run("com.example.notes", "Notes");
    runtime.desktop().launchWithoutBundle("daemon");
    runBare("com.example.nowhere", "Nowhere", std::nullopt);
    runBare("com.example.gone", "Gone", QStringLiteral("/Applications/Gone.app"), /*terminated=*/true);
    run("com.apple.dock", "Dock"); // ignored by default

    const std::vector<SwitchItem> items = compose();
    EXPECT_EQ(describe(items), (QStringList{"app Mail (registry)", "app Notes"}));
    EXPECT_EQ(items[0].id(), registered.id);
    EXPECT_EQ(items[1].as<AppItem>()->path, "/Applications/Notes.app");
}

TEST_F(ListComposerTest, NeverUsedRowsKeepTheKindOrderAndABrowserWithOneTabStillFormsAGroup)
{
    PanelSettings::setShowAppsWithoutWindows(true);
    run(finderID, "Finder");
    run("com.example.notes", "Notes");
    windows = {window("Finder", finderID, "Documents"), window("Terminal", "com.example.terminal", "zsh")};
    tabs = {tab(chromeID, "News", "https://news.example"), tab(chromeID, "Mail", "https://mail.example"),
            tab("com.apple.Safari", "Docs", "https://docs.example")};
    tabs[2].browserAppName = QStringLiteral("Safari");
    installed = {app("com.example.maps", "Maps", "/Applications/Maps.app")};
    EXPECT_EQ(rows(), (QStringList{"window zsh", "tabGroup Google Chrome", "tabGroup Safari", "windowGroup Finder",
                                   "tab News", "tab Mail", "tab Docs", "app Notes", "app Maps"}));
}

TEST_F(ListComposerTest, FinderWindowsAreGatheredIntoOneGroupNamedAfterTheRunningFinder)
{
    windows = {window("Finder (window)", finderID, "Documents"),
               window("Terminal", QStringLiteral("com.example.terminal"), "zsh"),
               window("Finder (window)", finderID, "Downloads")};
    EXPECT_EQ(rows(), (QStringList{"window zsh", "windowGroup Finder (window)"}));

    run(finderID, "Finder");
    const std::vector<SwitchItem> items = compose();
    ASSERT_EQ(describe(items), (QStringList{"window zsh", "windowGroup Finder"}));
    QStringList titles;
    for (const WindowItem& w : items[1].as<WindowGroupItem>()->windows)
        titles << w.title;
    EXPECT_EQ(titles, (QStringList{"Documents", "Downloads"}));
}

TEST_F(ListComposerTest, IgnoreRulesDropWindowsAndTheirAppsButAnAppWhoseWindowsWereDroppedByTitleStays)
{
    PanelSettings::setShowAppsWithoutWindows(true);
    run("com.example.terminal", "Terminal");
    run("com.example.notes", "Notes");
    windows = {window("Terminal", QStringLiteral("com.example.terminal"), "build log"),
               window("Notes", QStringLiteral("com.example.notes"), "Groceries")};
    installed = {app("com.example.maps", "Maps", "/Applications/Maps.app")};
    IgnoreFilter::setIgnoredAppBundleIDs({"com.example.notes"});
    IgnoreFilter::setIgnoredWindowRegex({"log"});
    IgnoreFilter::setIgnoredAppRegex({"^ma"});
    EXPECT_EQ(rows(), (QStringList{"app Terminal"}));
}

TEST_F(ListComposerTest, MostRecentlyUsedRowsComeFirst)
{
    run("com.example.notes", "Notes");
    windows = {window("Terminal", QStringLiteral("com.example.terminal"), "zsh"),
               window("Terminal", QStringLiteral("com.example.terminal"), "vim"),
               window("Editor", QStringLiteral("com.example.editor"), "draft")};
    tabs = {tab(chromeID, "News", "https://news.example", 1, 1), tab(chromeID, "Mail", "https://mail.example", 1, 2)};
    for (const char* key : {"com.example.terminal::vim", "tab::com.google.Chrome::Mail::1::2"}) {
        runtime.clock.advance(1.0);
        MRUStore::shared().touch(key);
    }
    runtime.clock.advance(1.0);
    MRUStore::shared().touchApp(QStringLiteral("com.example.notes"), 0);
    EXPECT_EQ(rows(), (QStringList{"app Notes", "tab Mail", "window vim", "window zsh", "window draft",
                                   "tabGroup Google Chrome", "tab News"}));
}
