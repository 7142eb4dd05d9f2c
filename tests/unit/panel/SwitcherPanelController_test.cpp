#include "core/panel/SwitcherPanelController.h"

#include "core/model/MRUStore.h"
#include "core/model/PanelSettings.h"
#include "core/shell/PlatformProfile.h"
#include "support/Fixtures.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;
using fixtures::app;
using fixtures::tab;
using fixtures::describe;

namespace {

const QString chromeID = QStringLiteral("com.google.Chrome");

class SwitcherPanelControllerTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    std::vector<WindowItem> windows;
    std::vector<TabItem> tabs;
    std::vector<AppItem> installed;
    SwitcherPanelController controller{SwitcherPanelController::Sources{
        [this] { return windows; }, [this] { return tabs; }, [this] { return installed; }, MRUStore::shared(),
        runtime.desktop().workspace, runtime.clock, PlatformProfile::macOS()}};

    SwitcherPanelControllerTest() { PanelSettings::setShowAppsWithoutWindows(false); }

    QStringList rows() { return describe(controller.buildItems()); }
    ProcessID run(const QString& bundleID, const QString& name)
    {
        return runtime.desktop().launch(bundleID, name, ActivationPolicy::regular,
                                        QStringLiteral("/Applications/") + name + QStringLiteral(".app"));
    }
};

} // namespace

TEST_F(SwitcherPanelControllerTest, ApplicationQuitFromThePanelStaysOutForEightSeconds)
{
    PanelSettings::setShowAppsWithoutWindows(true);
    run("com.example.notes", "Notes");
    installed = {app("com.example.maps", "Maps", "/Applications/Maps.app")};
    controller.recordRecentlyClosedApp("com.example.notes");
    controller.recordRecentlyClosedApp("com.example.maps");

    runtime.clock.advance(8.0);
    EXPECT_TRUE(controller.isRecentlyClosedApp("com.example.notes"));
    EXPECT_EQ(rows(), QStringList{});
    runtime.clock.advance(1.0);
    EXPECT_FALSE(controller.isRecentlyClosedApp("com.example.notes"));
    EXPECT_EQ(rows(), (QStringList{"app Notes", "app Maps"}));
}

TEST_F(SwitcherPanelControllerTest, FrontmostBrowserPreferenceOpensOnlyAGroupOfTwoOrMoreTabs)
{
    const std::vector<TabItem> twoChrome{tab(chromeID, "A", "https://a"), tab(chromeID, "B", "https://b")};
    const QString safariID = QStringLiteral("com.apple.Safari");
    const std::vector<TabItem> twoSafari{tab(safariID, "S", "https://s"), tab(safariID, "T", "https://t")};
    std::vector<TabItem> oneChrome = twoSafari;
    oneChrome.push_back(twoChrome[0]);
    const struct {
        const char* name;
        bool preferenceOn;
        QString frontmost;
        std::vector<TabItem> tabs;
        bool prefers;
        std::optional<QString> chosenGroup; // browser bundle id of the chosen group
    } rows[] = {
        {"two tabs", true, chromeID, twoChrome, true, chromeID},
        {"one tab", true, chromeID, oneChrome, true, std::nullopt},
        {"preference off", false, chromeID, twoChrome, false, std::nullopt},
        {"frontmost is no browser", true, "com.example.notes", twoChrome, false, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PanelSettings::setPreferBrowserTabsWhenFrontmost(row.preferenceOn);
        runtime.desktop().workspace.setFrontmost(run(row.frontmost, "Front"));
        tabs = row.tabs;
        const auto chosen = controller.preferredFrontmostBrowserTabGroup(controller.buildItems());
        EXPECT_EQ(controller.shouldPreferFrontmostBrowserTabs(), row.prefers);
        EXPECT_EQ(chosen ? std::optional(chosen->browserBundleID) : std::nullopt, row.chosenGroup);
    }
}
