#include "platform/x11/X11Accessibility.h"

#include <QFileInfo>

namespace ostrevane {

namespace {

const QString roleApplication = QStringLiteral("AXApplication");
const QString roleWindow = QStringLiteral("AXWindow");
const QString subroleStandardWindow = QStringLiteral("AXStandardWindow");

struct AppElement : AXElementData {
    explicit AppElement(ProcessID p) : pid(p) {}
    ProcessID pid;
};

struct WindowElement : AXElementData {
    WindowElement(xcb_window_t w, ProcessID p) : window(w), pid(p) {}
    xcb_window_t window;
    ProcessID pid;
};

// A window's close button: pressing it asks the window manager to close the window.
struct CloseButtonElement : AXElementData {
    explicit CloseButtonElement(xcb_window_t w) : window(w) {}
    xcb_window_t window;
};

template <class T>
const T* elementAs(const AXElement& element)
{
    return dynamic_cast<const T*>(element.get());
}

bool processExists(ProcessID pid) { return QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)); }

} // namespace

X11Accessibility::X11Accessibility(std::shared_ptr<X11Clients> clients)
    : m_clients(std::move(clients))
{
}

bool X11Accessibility::isProcessTrusted()
{
    return !m_clients->connection().hasError() && m_clients->hasWindowManager();
}

AXElement X11Accessibility::createApplication(ProcessID pid)
{
    if (pid < 1)
        return nullptr;
    return std::make_shared<const AppElement>(pid);
}

AXElement X11Accessibility::windowElement(xcb_window_t window, ProcessID pid)
{
    return std::make_shared<const WindowElement>(window, pid);
}

std::optional<ProcessID> X11Accessibility::windowOwner(const AXElement& element)
{
    if (const auto* window = elementAs<WindowElement>(element))
        return window->pid;
    return std::nullopt;
}

AXValue X11Accessibility::copyAttribute(const AXElement& element, const QString& attribute)
{
    if (const auto* app = elementAs<AppElement>(element))
        return applicationAttribute(app->pid, attribute);
    if (const auto* window = elementAs<WindowElement>(element))
        return windowAttribute(window->window, window->pid, attribute);
    if (elementAs<CloseButtonElement>(element)) {
        if (attribute == AX::role)
            return AX::roleButton;
        if (attribute == AX::enabled)
            return true;
    }
    return {};
}

AXValue X11Accessibility::applicationAttribute(ProcessID pid, const QString& attribute)
{
    if (attribute == AX::windows) {
        std::vector<AXElement> windows = windowsOf(pid);
        // A process that has gone cannot be read; one without windows has an empty list.
        if (windows.empty() && !processExists(pid))
            return {};
        return windows;
    }
    if (attribute == AX::focusedWindow) {
        const std::optional<xcb_window_t> active = m_clients->activeWindow();
        const std::optional<X11Client> owner = active ? m_clients->client(*active) : std::nullopt;
        if (owner && owner->pid == pid)
            return windowElement(*active, pid);
        return {};
    }
    if (attribute == AX::role)
        return roleApplication;
    return {};
}

// Title, role, subrole, minimized and close button come from the window's record, which
// an enumeration reads for all windows at once.
AXValue X11Accessibility::windowAttribute(xcb_window_t window, ProcessID pid, const QString& attribute)
{
    if (attribute == AX::sheet) {
        AXElement sheet = sheetOf(window, pid);
        return sheet ? AXValue(sheet) : AXValue();
    }
    const X11WindowRecord record = m_clients->windowRecord(window);
    if (attribute == AX::title)
        return record.title ? AXValue(*record.title) : AXValue();
    const X11ClientState& state = record.state;
    if (!state.exists)
        return {};
    if (attribute == AX::role)
        return roleWindow;
    if (attribute == AX::subrole)
        return state.kind == X11WindowKind::dialog ? AX::subroleDialog : subroleStandardWindow;
    if (attribute == AX::minimized)
        return state.hidden;
    if (attribute == AX::otherDesktop) {
        const std::optional<quint32> shown = m_clients->currentDesktop();
        if (!state.desktop || !shown || *state.desktop == X11ClientState::allDesktops || *state.desktop == *shown)
            return {};
        return QString::number(qint64(*state.desktop) + 1);
    }
    if (attribute == AX::focused || attribute == AX::main)
        return m_clients->activeWindow() == window;
    if (attribute == AX::closeButton && state.closable)
        return AXElement(std::make_shared<const CloseButtonElement>(window));
    return {};
}

std::vector<AXElement> X11Accessibility::windowsOf(ProcessID pid)
{
    std::vector<AXElement> result;
    for (const X11WindowRecord& record : m_clients->windowRecords(pid))
        if (record.state.exists && record.state.isTaskbarWindow())
            result.push_back(windowElement(record.client.window, pid));
    return result;
}

// A sheet on X11: a modal window of the same program that is transient for this one.
AXElement X11Accessibility::sheetOf(xcb_window_t window, ProcessID pid)
{
    for (const X11WindowRecord& record : m_clients->windowRecords(pid))
        if (record.client.window != window && record.state.exists && record.state.modal
            && record.state.transientFor == window)
            return windowElement(record.client.window, pid);
    return nullptr;
}

void X11Accessibility::setBool(const AXElement& element, const QString& attribute, bool value)
{
    const auto* window = elementAs<WindowElement>(element);
    if (!window)
        return;
    if (attribute == AX::minimized) {
        // Activating an iconified window is how EWMH managers restore it.
        if (value)
            m_clients->iconify(window->window);
        else
            m_clients->activate(window->window);
        return;
    }
    // Main and focused come with the raise that follows, which is the one request: each
    // request makes the window manager focus and restack the window again.
}

void X11Accessibility::perform(const AXElement& element, const QString& action)
{
    if (const auto* window = elementAs<WindowElement>(element); window && action == AX::raise)
        m_clients->activate(window->window);
    else if (const auto* button = elementAs<CloseButtonElement>(element); button && action == AX::press)
        m_clients->close(button->window);
}

std::optional<quint32> X11Accessibility::windowNumber(const AXElement& element)
{
    if (const auto* window = elementAs<WindowElement>(element))
        return window->window;
    return std::nullopt;
}

} // namespace ostrevane
