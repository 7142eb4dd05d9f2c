#include "platform/x11/AtspiAccessibility.h"

#include <QLoggingCategory>

namespace ostrevane {

namespace {

Q_LOGGING_CATEGORY(atspiLog, "ostrevane.atspi")

// What separates a page title from the browser's name in a window title, and from the
// status words a browser appends to a tab's name.
const QString titleSeparator = QStringLiteral(" - ");

// The page title a browser window shows: its title without the trailing browser name.
QString pageTitleOf(const QString& windowTitle)
{
    const qsizetype cut = windowTitle.lastIndexOf(titleSeparator);
    return cut > 0 ? windowTitle.left(cut) : windowTitle;
}

// Objects whose insides are no tabs of the strip: a page's own tab lists, and a tab's
// mute and close buttons.
bool isOpaque(std::optional<quint32> role)
{
    return role == AtspiRole::documentWeb || role == AtspiRole::documentFrame || role == AtspiRole::pageTab;
}

bool isFrame(std::optional<quint32> role) { return role == AtspiRole::frame || role == AtspiRole::window; }

} // namespace

// An object of a browser window's tree, with the title of the window it lies in.
struct AtspiAccessibility::Node : AXElementData {
    Node(AtspiNode n, QString w) : node(std::move(n)), windowTitle(std::move(w)) {}
    AtspiNode node;
    QString windowTitle;
};

AtspiAccessibility::AtspiAccessibility(Accessibility& windows, AtspiTree& tree, WindowOwner ownerOf)
    : m_windows(windows), m_tree(tree), m_ownerOf(std::move(ownerOf))
{
}

QString AtspiAccessibility::axRole(quint32 atspiRole)
{
    switch (atspiRole) {
    case AtspiRole::pageTabList:
        return AX::roleTabGroup;
    case AtspiRole::pageTab:
    case AtspiRole::radioButton:
        return AX::roleRadioButton;
    case AtspiRole::pushButton:
        return AX::roleButton;
    case AtspiRole::tableCell:
        return AX::roleCell;
    default:
        return QString();
    }
}

bool AtspiAccessibility::isProcessTrusted() { return m_windows.isProcessTrusted(); }

AXElement AtspiAccessibility::createApplication(ProcessID pid) { return m_windows.createApplication(pid); }

AXValue AtspiAccessibility::copyAttribute(const AXElement& element, const QString& attribute)
{
    if (const auto* node = dynamic_cast<const Node*>(element.get()))
        return nodeAttribute(*node, attribute);
    if (attribute == AX::children)
        if (const std::optional<ProcessID> pid = m_ownerOf(element))
            return windowChildren(element, *pid);
    return m_windows.copyAttribute(element, attribute);
}

void AtspiAccessibility::setBool(const AXElement& element, const QString& attribute, bool value)
{
    if (const auto* node = dynamic_cast<const Node*>(element.get())) {
        if (attribute == AX::selected && value)
            m_tree.selectInParent(node->node);
        return;
    }
    m_windows.setBool(element, attribute, value);
}

void AtspiAccessibility::perform(const AXElement& element, const QString& action)
{
    if (const auto* node = dynamic_cast<const Node*>(element.get())) {
        if (action == AX::press)
            m_tree.doDefaultAction(node->node);
        return;
    }
    m_windows.perform(element, action);
}

std::optional<quint32> AtspiAccessibility::windowNumber(const AXElement& element)
{
    if (dynamic_cast<const Node*>(element.get()))
        return std::nullopt;
    return m_windows.windowNumber(element);
}

AXValue AtspiAccessibility::nodeAttribute(const Node& node, const QString& attribute)
{
    if (attribute == AX::role) {
        const QString role = roleOf(node.node);
        return role.isEmpty() ? AXValue{} : AXValue{role};
    }
    if (attribute == AX::children) {
        if (isOpaque(m_tree.role(node.node)))
            return std::vector<AXElement>{};
        return wrap(m_tree.children(node.node), node.windowTitle);
    }
    std::optional<QString> text;
    if (attribute == AX::title)
        text = title(node);
    else if (attribute == AX::description)
        text = m_tree.description(node.node);
    else if (attribute == AX::selected || attribute == AX::focused) {
        const std::optional<bool> set =
            hasState(node.node, attribute == AX::selected ? AtspiState::selected : AtspiState::focused);
        return set ? AXValue{*set} : AXValue{};
    }
    return text ? AXValue{*text} : AXValue{};
}

QString AtspiAccessibility::roleOf(const AtspiNode& node)
{
    const std::optional<quint32> role = m_tree.role(node);
    // Chromium keeps a second, hidden tab list (for vertical tabs) whose controls would
    // otherwise tie with a window's two real tabs; a strip nobody sees is no tab group.
    if (role == AtspiRole::pageTabList && hasState(node, AtspiState::showing) == false)
        return QString();
    return axRole(role.value_or(0));
}

std::optional<QString> AtspiAccessibility::title(const Node& node)
{
    std::optional<QString> name = m_tree.name(node.node);
    if (!name || m_tree.role(node.node) != AtspiRole::pageTab)
        return name;
    // Chromium appends status words ("- Memory usage - 22.5 MB", "- Audio playing") to a
    // tab's name; for the selected tab the window's title says where the page title ends.
    const QString page = pageTitleOf(node.windowTitle);
    if (!page.isEmpty() && name->startsWith(page + titleSeparator) && hasState(node.node, AtspiState::selected) == true)
        return page;
    return name;
}

std::optional<bool> AtspiAccessibility::hasState(const AtspiNode& node, int state)
{
    const std::optional<quint64> states = m_tree.states(node);
    if (!states)
        return std::nullopt;
    return (*states >> state & 1u) != 0;
}

std::vector<AXElement> AtspiAccessibility::windowChildren(const AXElement& window, ProcessID pid)
{
    if (!m_tree.available()) {
        logOnce(pid, true);
        return {};
    }
    const std::optional<AtspiNode> application = m_tree.application(pid);
    if (!application) {
        logOnce(pid, false);
        return {};
    }
    const QString windowTitle = m_windows.copyText(window, AX::title).value_or(QString());
    const std::optional<AtspiNode> frame = frameTitled(*application, windowTitle);
    return frame ? wrap(m_tree.children(*frame), windowTitle) : std::vector<AXElement>{};
}

std::optional<AtspiNode> AtspiAccessibility::frameTitled(const AtspiNode& application, const QString& title)
{
    // Browsers keep hidden, untitled frames (popups, bubbles) beside their windows.
    if (title.isEmpty())
        return std::nullopt;
    for (const AtspiNode& child : m_tree.children(application))
        if (m_tree.name(child) == title && isFrame(m_tree.role(child)))
            return child;
    return std::nullopt;
}

std::vector<AXElement> AtspiAccessibility::wrap(const std::vector<AtspiNode>& nodes, const QString& windowTitle)
{
    std::vector<AXElement> result;
    result.reserve(nodes.size());
    for (const AtspiNode& node : nodes)
        result.push_back(std::make_shared<const Node>(node, windowTitle));
    return result;
}

void AtspiAccessibility::logOnce(ProcessID pid, bool busMissing)
{
    std::lock_guard lock(m_logLock);
    if (busMissing && !m_busMissingLogged) {
        m_busMissingLogged = true;
        qCInfo(atspiLog, "Ostrevane: tab titles are not read through AT-SPI: no accessibility bus answers; a browser "
                         "without the extension is listed by its windows");
    } else if (!busMissing && !m_treelessLogged.contains(pid)) {
        m_treelessLogged.insert(pid);
        qCInfo(atspiLog, "Ostrevane: process %d publishes no accessibility tree (its accessibility is off); its tab "
                         "titles are not read through AT-SPI", pid);
    }
}

} // namespace ostrevane
