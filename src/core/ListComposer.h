#pragma once

#include "core/SwitchItem.h"

#include <QString>

#include <functional>
#include <vector>

namespace ostrevane {

class Clock;
class MRUStore;
class Workspace;
struct PlatformProfile;

// Where the switcher's list comes from. The window, tab and application lists are
// copies each source takes under its own lock.
struct ListSources {
    std::function<std::vector<WindowItem>()> windows;
    std::function<std::vector<TabItem>()> tabs;
    std::function<std::vector<AppItem>()> installedApps;
    MRUStore& recency;
    Workspace& workspace;
    Clock& clock;
    const PlatformProfile& profile;
};

// The rows, most recently used first: windows (the file manager's gathered into one
// group), one group per browser plus every tab, running applications without
// windows, and installed applications when the setting asks for them. Ignore rules
// and the settings are read at each call. Rows with equal recency keep the order
// windows, tab groups, window groups, tabs, running apps, installed apps.
// Applications `isRecentlyClosed` names stay out: the user just quit them.
std::vector<SwitchItem> composeList(const ListSources& sources,
                                    const std::function<bool(const QString&)>& isRecentlyClosed);

} // namespace ostrevane
