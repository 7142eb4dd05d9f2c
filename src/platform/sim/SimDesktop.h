#pragma once

#include "platform/sim/SimAccessibility.h"
#include "platform/sim/SimServices.h"
#include "platform/sim/SimWorkspace.h"

#include <map>

namespace ostrevane {

// The simulated desktop: applications with windows that answer the accessibility
// vocabulary, the window list, captures, signals, folder events and media players.
// Tests build it with the verbs below and read back what was done to it.
struct SimWindowOptions {
    bool minimized = false;
    bool hasCloseButton = true;
    std::optional<bool> closeButtonEnabled = true; // nullopt: "AXEnabled" unreadable
    std::optional<QString> subrole;                // e.g. "AXDialog"
    bool hasSheet = false;
    bool capturable = true;
};

class SimDesktop {
public:
    using WindowOptions = SimWindowOptions;

    explicit SimDesktop(Dispatcher& dispatcher);

    SimAccessibility accessibility;
    SimWorkspace workspace;
    SimWindowServer windowServer;
    SimProcessSignals processSignals{workspace};
    SimFolderEvents folders;
    SimMediaControl media;
    SimLoginItems loginItems;

    // Starts an application (a fresh pid) with an accessibility element and no windows.
    ProcessID launch(const QString& bundleID, const QString& name,
                     ActivationPolicy policy = ActivationPolicy::regular,
                     std::optional<QString> bundlePath = std::nullopt, SimWorkspace::Behaviour behaviour = {});
    // Starts a process that has no bundle identifier.
    ProcessID launchWithoutBundle(const QString& name);
    // Opens a window at the back of the application's window list; it gets the next
    // window number, a close button, a window-list entry and a capture.
    AXElement openWindow(ProcessID pid, const QString& title, WindowOptions options = {});
    void closeWindow(ProcessID pid, const AXElement& window);
    // The application's "AXWindows" read fails from now on.
    void makeWindowsUnreadable(ProcessID pid);
    AXElement applicationElement(ProcessID pid) const;
    std::vector<AXElement> windows(ProcessID pid) const;
    std::optional<quint32> windowNumber(const AXElement& window) const;

private:
    struct App {
        QString name;
        AXElement element;
        std::vector<AXElement> windows;
    };
    void publishWindows(ProcessID pid);
    void publishWindowList();

    ProcessID m_nextPid = 1001;
    quint32 m_nextWindowNumber = 5001;
    std::map<ProcessID, App> m_apps;
    std::vector<std::pair<ProcessID, AXElement>> m_windowOrder; // window-list order
    std::map<const AXElementData*, quint32> m_numbers;
};

} // namespace ostrevane
