#include "platform/sim/SimDesktop.h"

#include <QImage>

namespace ostrevane {

SimDesktop::SimDesktop(Dispatcher& dispatcher) : workspace(dispatcher) {}

ProcessID SimDesktop::launch(const QString& bundleID, const QString& name, ActivationPolicy policy,
                             std::optional<QString> bundlePath, SimWorkspace::Behaviour behaviour)
{
    RunningApplication app;
    app.processIdentifier = m_nextPid++;
    app.bundleIdentifier = bundleID;
    app.localizedName = name;
    app.icon = std::make_shared<const QImage>(16, 16, QImage::Format_ARGB32);
    app.bundlePath = bundlePath.value_or(QStringLiteral("/Applications/") + name + QStringLiteral(".app"));
    app.executablePath = *app.bundlePath + QStringLiteral("/Contents/MacOS/") + name;
    app.activationPolicy = policy;
    workspace.addApplication(app, behaviour);

    AXElement element = SimAccessibility::makeElement(name);
    accessibility.setApplication(app.processIdentifier, element);
    m_apps[app.processIdentifier] = App{name, element, {}};
    publishWindows(app.processIdentifier);
    return app.processIdentifier;
}

ProcessID SimDesktop::launchWithoutBundle(const QString& name)
{
    RunningApplication app;
    app.processIdentifier = m_nextPid++;
    app.localizedName = name;
    app.executablePath = QStringLiteral("/usr/bin/") + name;
    workspace.addApplication(app);
    AXElement element = SimAccessibility::makeElement(name);
    accessibility.setApplication(app.processIdentifier, element);
    m_apps[app.processIdentifier] = App{name, element, {}};
    publishWindows(app.processIdentifier);
    return app.processIdentifier;
}

AXElement SimDesktop::openWindow(ProcessID pid, const QString& title, WindowOptions options)
{
    AXElement window = SimAccessibility::makeElement(title);
    accessibility.setAttribute(window, AX::title, title);
    accessibility.setAttribute(window, AX::minimized, options.minimized);
    accessibility.setAttribute(window, AX::role, QStringLiteral("AXWindow"));
    if (options.subrole)
        accessibility.setAttribute(window, AX::subrole, *options.subrole);
    if (options.hasSheet)
        accessibility.setAttribute(window, AX::sheet, AXElement(SimAccessibility::makeElement(QStringLiteral("sheet"))));
    if (options.hasCloseButton) {
        AXElement button = SimAccessibility::makeElement(title + QStringLiteral(" close button"));
        accessibility.setAttribute(window, AX::closeButton, button);
        if (options.closeButtonEnabled)
            accessibility.setAttribute(button, AX::enabled, *options.closeButtonEnabled);
    }
    const quint32 number = m_nextWindowNumber++;
    accessibility.setWindowNumber(window, number);
    m_numbers[window.get()] = number;
    if (options.capturable)
        windowServer.setCapture(number, std::make_shared<const QImage>(320, 200, QImage::Format_ARGB32));

    m_apps[pid].windows.push_back(window);
    m_windowOrder.emplace_back(pid, window);
    publishWindows(pid);
    publishWindowList();
    return window;
}

void SimDesktop::closeWindow(ProcessID pid, const AXElement& window)
{
    std::erase(m_apps[pid].windows, window);
    std::erase_if(m_windowOrder, [&](const auto& entry) { return entry.second == window; });
    publishWindows(pid);
    publishWindowList();
}

void SimDesktop::makeWindowsUnreadable(ProcessID pid)
{
    accessibility.removeAttribute(m_apps[pid].element, AX::windows);
}

AXElement SimDesktop::applicationElement(ProcessID pid) const
{
    auto it = m_apps.find(pid);
    return it == m_apps.end() ? nullptr : it->second.element;
}

std::vector<AXElement> SimDesktop::windows(ProcessID pid) const
{
    auto it = m_apps.find(pid);
    return it == m_apps.end() ? std::vector<AXElement>{} : it->second.windows;
}

std::optional<quint32> SimDesktop::windowNumber(const AXElement& window) const
{
    auto it = m_numbers.find(window.get());
    return it == m_numbers.end() ? std::nullopt : std::optional(it->second);
}

void SimDesktop::publishWindows(ProcessID pid)
{
    const App& app = m_apps[pid];
    accessibility.setAttribute(app.element, AX::windows, app.windows);
}

void SimDesktop::publishWindowList()
{
    std::vector<WindowListEntry> entries;
    for (const auto& [pid, window] : m_windowOrder)
        entries.push_back({m_apps[pid].name, pid});
    windowServer.setWindowList(std::move(entries));
}

} // namespace ostrevane
