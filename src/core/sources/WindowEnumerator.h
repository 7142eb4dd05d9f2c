#pragma once

#include "core/model/SwitchItem.h"

#include <vector>

namespace ostrevane {

class Accessibility;
class Dispatcher;
class SwitchItemActions;
class Workspace;
struct PlatformProfile;

// Lists the windows of the running user applications and brings one to the front.
// Stateless; the overloads without ports use the installed RuntimeContext.
class WindowEnumerator {
public:
    // Finder windows get a second activation this long after the first, because Finder
    // may otherwise leave another of its windows in front.
    static constexpr double finderReactivationDelay = 0.05;
    // The name of an application that reports none.
    static inline const QString unknownAppName = QStringLiteral("Unknown");

    WindowEnumerator() = delete;

    // Every window of every regular application with a pid of at least 1, in the
    // workspace's application order and each application's own window order. No
    // window is left out (minimized, untitled, dialogs, on other desktops); each says
    // whether it is minimized and which other desktop it lies on. An application whose window
    // list cannot be read contributes nothing. Each call gives fresh ids. Synchronous
    // and slow (several accessibility requests per window): run it off the main thread.
    static std::vector<WindowItem> enumerate();
    static std::vector<WindowItem> enumerate(Workspace& workspace, Accessibility& accessibility);

    // Activates the window's application and raises the window (un-minimising it
    // first); where raising a window activates it, the raise alone. A Finder window whose
    // process has gone opens a Finder window instead (through the row actions), and a
    // Finder window is raised a second time `finderReactivationDelay` later with all of
    // Finder's windows. A window that has gone simply stays where it is. Main thread.
    static void activate(const WindowItem& window);

    struct Ports {
        Workspace& workspace;
        Accessibility& accessibility;
        Dispatcher& dispatcher;
        SwitchItemActions& actions;
        const PlatformProfile& profile;
    };
    static void activate(const WindowItem& window, const Ports& ports);

    // Brings a window forward: un-minimised, main, focused, raised.
    static void raiseWindow(Accessibility& accessibility, const AXElement& window);
};

} // namespace ostrevane
