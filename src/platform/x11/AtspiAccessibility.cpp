#include "platform/x11/AtspiAccessibility.h"

#include <QLoggingCategory>
#include <QRegularExpression>

namespace ostrevane {

namespace {

Q_LOGGING_CATEGORY(atspiLog, "ostrevane.atspi", QtInfoMsg)

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

// The status words Chromium appends to a tab's accessible name, each after " - ", in the
// languages we ship: media and device alerts, pinning, groups, then the memory figures
// it adds once it has measured the tab. Exact phrases only, so that a page title of
// its own is never cut.
const QRegularExpression& statusWords()
{
    static const QString size = QStringLiteral("\\d[\\d.,]* ?[kKMGTP]?B");
    static const QStringList phrases{
        QStringLiteral("Camera and microphone recording"), QStringLiteral("Microphone recording"),
        QStringLiteral("Camera recording"), QStringLiteral("Tab content shared"),
        QStringLiteral("Video playing in picture-in-picture mode"), QStringLiteral("Audio playing"),
        QStringLiteral("Audio muted"), QStringLiteral("Bluetooth device connected"),
        QStringLiteral("Bluetooth scan active"), QStringLiteral("USB device connected"),
        QStringLiteral("HID device connected"), QStringLiteral("Serial port connected"),
        QStringLiteral("Network error"), QStringLiteral("Crashed"), QStringLiteral("Desktop content shared"),
        QStringLiteral("VR presenting to headset"), QStringLiteral("Part of unnamed group"),
        QStringLiteral("Part of group .+?"), QStringLiteral("Pinned"),
        QStringLiteral("Permission requested, press F6 to respond"), QStringLiteral("Inactive tab"),
        size + QStringLiteral(" freed up"), QStringLiteral("Memory usage - ") + size,
        QStringLiteral("High memory usage - ") + size,
        QStringLiteral("摄像头正在录像且麦克风正在录音"), QStringLiteral("麦克风正在录音"),
        QStringLiteral("摄像头正在录像"), QStringLiteral("已分享标签页内容"),
        QStringLiteral("视频正在“画中画”模式中播放"), QStringLiteral("正在播放音频"), QStringLiteral("音频已静音"),
        QStringLiteral("已连接蓝牙设备"), QStringLiteral("正在搜寻蓝牙设备"), QStringLiteral("已连接 USB 设备"),
        QStringLiteral("HID 设备已连接"), QStringLiteral("已连接到串行端口"), QStringLiteral("网络错误"),
        QStringLiteral("已崩溃"), QStringLiteral("已分享桌面内容"), QStringLiteral("正在向头戴设备显示 VR"),
        QStringLiteral("属于未命名群组"), QStringLiteral("属于“[^”]+”群组"), QStringLiteral("已固定"),
        QStringLiteral("收到了权限请求，按 F6 即可回复"), QStringLiteral("闲置标签页"),
        QStringLiteral("已释放 ") + size, QStringLiteral("内存用量 - ") + size, QStringLiteral("内存用量高 - ") + size,
    };
    // The title is what is left before the longest run of status words; never nothing.
    static const QRegularExpression words(QStringLiteral("^(.*?\\S.*?)(?: - (?:%1))+$").arg(phrases.join(QLatin1Char('|'))));
    return words;
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
            logAction(node->node, "selecting", m_tree.selectInParent(node->node));
        return;
    }
    m_windows.setBool(element, attribute, value);
}

void AtspiAccessibility::perform(const AXElement& element, const QString& action)
{
    if (const auto* node = dynamic_cast<const Node*>(element.get())) {
        if (action == AX::press)
            logAction(node->node, "pressing", m_tree.doDefaultAction(node->node));
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
    // For the selected tab the window's title says where the page title ends, whatever
    // language the browser speaks; other tabs lose the status words we know.
    const QString page = pageTitleOf(node.windowTitle);
    if (!page.isEmpty() && name->startsWith(page + titleSeparator) && hasState(node.node, AtspiState::selected) == true)
        return page;
    return withoutStatusWords(*name);
}

QString AtspiAccessibility::withoutStatusWords(const QString& tabName)
{
    const QRegularExpressionMatch match = statusWords().match(tabName);
    return match.hasMatch() ? match.captured(1) : tabName;
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

void AtspiAccessibility::logAction(const AtspiNode& node, const char* action, bool accepted)
{
    qCDebug(atspiLog, "%s %s on %s: %s", action, qPrintable(node.path), qPrintable(node.bus),
            accepted ? "accepted" : "refused or not answered");
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
