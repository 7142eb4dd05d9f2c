#pragma once

#include <functional>

namespace ostrevane {

// The desktop's hosts of tray icons: a StatusNotifierItem watcher on D-Bus
// ("org.kde.StatusNotifierWatcher") or an XEmbed system tray on X11.
class TrayHosts {
public:
    enum class Kind { none, statusNotifier, xembed };

    virtual ~TrayHosts() = default;
    // The host an icon made now would use: the watcher when one is registered, else the
    // XEmbed tray, else none.
    virtual Kind current() = 0;
    // `appeared` runs on the main thread each time a host of `kind` appears (a watcher
    // that registers, also again after it restarted; an XEmbed tray that starts).
    virtual void watch(std::function<void(Kind kind)> appeared) = 0;
};

} // namespace ostrevane
