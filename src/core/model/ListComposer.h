#pragma once

#include "core/model/SwitchItem.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace ostrevane {

class Clock;
class MRUStore;
class Workspace;
struct PlatformProfile;

// How the sources are read again. The program binds the hooks to its caches; a hook left
// empty stands for a source that never changes: its check passes and its read is done at
// once.
struct ListRefresh {
    using Completion = std::function<void()>;
    // True when the window list was read after the desktop last reported a change.
    std::function<bool()> windowsCurrent;
    // True when the window list is not empty and at most `maxAge` seconds old.
    std::function<bool(double maxAge)> windowsFresh;
    // The desktop reported a change: the kept list stays readable but is no longer current.
    std::function<void()> invalidateWindows;
    // Reads the window list on the calling thread.
    std::function<void()> refreshWindowsNow;
    // Reads the window list in the background; `done` runs on the main queue afterwards.
    std::function<void(Completion done)> refreshWindowsAsync;
    // Reads the frontmost browser's tabs on the calling thread (a bounded wait).
    std::function<void()> refreshForegroundBrowserNow;
    // Reads the tabs of `browser` (of every browser without one) in the background; `done`
    // runs on the main queue afterwards.
    std::function<void(const std::optional<QString>& browser, Completion done)> refreshTabsAsync;
};

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
    ListRefresh refresh = {};
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
