#pragma once

#include "core/SwitchItem.h"
#include "core/platform/Clock.h"

#include <QHash>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace ostrevane {

class MRUStore;
class Workspace;
struct PlatformProfile;

// The switcher panel's controller. This part composes the list the panel shows and
// remembers which applications were just quit from the panel; the window handling is
// added around it.
//
// Main thread only. buildItems() never waits for enumeration: it copies the caches'
// current snapshots (each under its own lock), filters, groups and sorts them.
class SwitcherPanelController {
public:
    // An application quit from the panel stays out of the list this long (seconds).
    static constexpr double recentlyClosedAppWindow = 8.0;

    // Where the list comes from. The default constructor reads the shared window cache,
    // tab cache and application registry (copies taken under their locks) and uses the
    // ports of the current runtime.
    struct Sources {
        std::function<std::vector<WindowItem>()> windows;
        std::function<std::vector<TabItem>()> tabs;
        std::function<std::vector<AppItem>()> installedApps;
        MRUStore& recency;
        Workspace& workspace;
        Clock& clock;
        const PlatformProfile& profile;
    };

    SwitcherPanelController();
    explicit SwitcherPanelController(Sources sources);

    // The rows, most recently used first: windows (the file manager's gathered into one
    // group), one group per browser plus every tab, running applications without
    // windows, and installed applications when the setting asks for them. Ignore rules
    // and the settings are read at each call. Rows with equal recency keep the order
    // windows, tab groups, window groups, tabs, running apps, installed apps.
    std::vector<SwitchItem> buildItems();

    // Whether `bundleID` was recorded as closed within the last 8.0 s (an entry exactly
    // 8.0 s old still counts). Older entries are dropped first.
    bool isRecentlyClosedApp(const QString& bundleID);
    // Records that the application was seen gone now, after the user quit it.
    void recordRecentlyClosedApp(const QString& bundleID);

    // True when the preference is on and the frontmost application is a supported browser.
    bool shouldPreferFrontmostBrowserTabs();
    // The first tab group of `items` that belongs to the frontmost browser and holds at
    // least two tabs, when the preference applies; otherwise nothing.
    std::optional<TabGroupItem> preferredFrontmostBrowserTabGroup(const std::vector<SwitchItem>& items);

private:
    std::optional<QString> frontmostSupportedBrowser();

    Sources m_sources;
    QHash<QString, WallTime> m_recentlyClosedAppBundles;
};

} // namespace ostrevane
