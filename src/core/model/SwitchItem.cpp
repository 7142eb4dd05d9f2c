#include "core/model/SwitchItem.h"

#include "core/sources/AXWindowInspector.h"
#include "core/model/Localization.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"

#include <QHash>
#include <QUrl>

#include <array>

namespace ostrevane {

namespace {

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
// Clang 14 (the fuzzing build) does not deduce aggregate template arguments by itself.
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

// Only the first prefix that matches is removed, in this order.
const std::array<QString, 9> urlPrefixes{
    QStringLiteral("https://www."), QStringLiteral("http://www."), QStringLiteral("https://"),
    QStringLiteral("http://"),      QStringLiteral("chrome://"),   QStringLiteral("edge://"),
    QStringLiteral("brave://"),     QStringLiteral("arc://"),      QStringLiteral("about:"),
};

const QString keySeparator = QStringLiteral("::");

QString tabSubtitle(const TabItem& tab)
{
    const QUrl url(tab.url, QUrl::StrictMode);
    const QString host = url.isValid() ? url.host() : QString();
    if (host.isEmpty())
        return tab.browserAppName;
    // Space, U+00B7 MIDDLE DOT, space.
    return tab.browserAppName + QStringLiteral(" \u00B7 ") + host;
}

QString groupSubtitle(const char* format, size_t count)
{
    return Localization::shared().format(format, {QString::number(count)});
}

QString parentFolder(const QString& path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : trimmed.left(slash);
}

} // namespace

const TabItem& TabGroupItem::activeTab() const
{
    for (const TabItem& tab : tabs)
        if (tab.isActiveInFrontWindow)
            return tab;
    if (tabs.empty()) {
        // Groups are never built empty; answer an empty tab rather than read past the end.
        static const TabItem none;
        return none;
    }
    return tabs.front();
}

QString tabMRUKey(const TabItem& tab)
{
    const QString identity = tab.chromeTabID ? QString::number(*tab.chromeTabID) : tab.title;
    return QStringLiteral("tab::") + tab.browserBundleID + keySeparator + identity + keySeparator
        + QString::number(tab.windowIndex) + keySeparator + QString::number(tab.tabIndex);
}

QString windowMRUKey(const std::optional<QString>& bundleID, const QString& appName, const QString& title)
{
    return bundleID.value_or(appName) + keySeparator + title;
}

QString cleanedURL(const QString& url)
{
    for (const QString& prefix : urlPrefixes)
        if (url.startsWith(prefix))
            return url.mid(prefix.size());
    return url;
}

QUuid SwitchItem::id() const
{
    return std::visit([](const auto& record) { return record.id; }, m_payload);
}

QString SwitchItem::title() const
{
    return std::visit(Overloaded{
                          [](const WindowItem& w) { return w.title.isEmpty() ? w.appName : w.title; },
                          [](const TabItem& t) { return t.title.isEmpty() ? t.url : t.title; },
                          [](const TabGroupItem& g) { return g.appName; },
                          [](const WindowGroupItem& g) { return g.appName; },
                          [](const AppItem& a) { return a.name; },
                      },
                      m_payload);
}

QString SwitchItem::subtitle() const
{
    return std::visit(Overloaded{
                          [](const WindowItem& w) { return w.appName; },
                          [](const TabItem& t) { return tabSubtitle(t); },
                          [](const TabGroupItem& g) {
                              return groupSubtitle(QT_TRANSLATE_NOOP("Ostrevane", "%d open tabs"), g.tabs.size());
                          },
                          [](const WindowGroupItem& g) {
                              return groupSubtitle(QT_TRANSLATE_NOOP("Ostrevane", "%d open windows"), g.windows.size());
                          },
                          [](const AppItem& a) { return parentFolder(a.path); },
                      },
                      m_payload);
}

ImageHandle SwitchItem::icon() const
{
    return std::visit(Overloaded{
                          [](const AppItem& a) { return a.icon; },
                          [](const auto& record) { return record.appIcon; },
                      },
                      m_payload);
}

std::optional<QString> SwitchItem::bundleID() const
{
    return std::visit(Overloaded{
                          [](const WindowItem& w) { return w.appBundleID; },
                          [](const TabItem& t) -> std::optional<QString> { return t.browserBundleID; },
                          [](const TabGroupItem& g) -> std::optional<QString> { return g.browserBundleID; },
                          [](const WindowGroupItem& g) -> std::optional<QString> { return g.appBundleID; },
                          [](const AppItem& a) -> std::optional<QString> { return a.bundleID; },
                      },
                      m_payload);
}

std::optional<int> SwitchItem::groupCount() const
{
    if (const auto* group = as<TabGroupItem>())
        return static_cast<int>(group->tabs.size());
    if (const auto* group = as<WindowGroupItem>())
        return static_cast<int>(group->windows.size());
    return std::nullopt;
}

QString SwitchItem::mruKey() const
{
    return std::visit(Overloaded{
                          [](const WindowItem& w) { return windowMRUKey(w.appBundleID, w.appName, w.title); },
                          [](const TabItem& t) { return tabMRUKey(t); },
                          [](const TabGroupItem& g) { return tabMRUKey(g.activeTab()); },
                          [](const WindowGroupItem& g) { return QStringLiteral("windowGroup::") + g.appBundleID; },
                          [](const AppItem& a) { return QStringLiteral("app::") + a.bundleID; },
                      },
                      m_payload);
}

std::optional<quint32> SwitchItem::windowNumber() const
{
    const WindowItem* window = as<WindowItem>();
    return window ? window->cgWindowID : std::nullopt;
}

QString SwitchItem::rowKey() const
{
    if (const std::optional<quint32> number = windowNumber())
        return QStringLiteral("window#") + QString::number(*number);
    return mruKey();
}

std::vector<std::pair<QString, double>> SwitchItem::matchFields() const
{
    using Fields = std::vector<std::pair<QString, double>>;
    return std::visit(Overloaded{
                          [](const WindowItem& w) { return Fields{{w.appName, 1.0}, {w.title, 1.0}}; },
                          [](const TabItem& t) { return Fields{{t.title, 1.0}, {cleanedURL(t.url), 0.6}}; },
                          // Every tab group answers to "chrome tabs", whatever the browser.
                          [](const TabGroupItem& g) {
                              return Fields{{g.appName, 1.0}, {QStringLiteral("chrome tabs"), 0.8}};
                          },
                          [](const WindowGroupItem& g) { return Fields{{g.appName, 1.0}}; },
                          [](const AppItem& a) { return Fields{{a.name, 0.95}}; },
                      },
                      m_payload);
}

CloseCapability SwitchItem::closeCapability() const
{
    RuntimeContext& context = RuntimeContext::current();
    return std::visit(Overloaded{
                          [&](const WindowItem& w) {
                              return AXWindowInspector::closeButton(context.accessibility(), w.axWindow)
                                  ? CloseCapability::closeWindow()
                                  : CloseCapability::none();
                          },
                          [](const TabItem&) { return CloseCapability::closeTab(); },
                          [&](const auto&) { return context.actions().appCloseCapability(*bundleID()); },
                      },
                      m_payload);
}

void SwitchItem::activate() const
{
    RuntimeContext& context = RuntimeContext::current();
    SwitchItemActions& actions = context.actions();
    std::visit(Overloaded{
                   [&](const WindowItem& w) { actions.activateWindow(w); },
                   [&](const TabItem& t) { actions.activateTab(t); },
                   [&](const TabGroupItem& g) { actions.activateTab(g.activeTab()); },
                   [&](const WindowGroupItem& g) {
                       if (g.appBundleID == context.profile().finderBundleID)
                           actions.ensureFinderWindow();
                       else if (!g.windows.empty())
                           actions.activateWindow(g.windows.front());
                   },
                   [&](const AppItem& a) { actions.launchOrActivateApp(a); },
               },
               m_payload);
}

void SwitchItem::close() const
{
    RuntimeContext& context = RuntimeContext::current();
    std::visit(Overloaded{
                   [&](const WindowItem& w) { context.actions().closeWindow(w); },
                   [&](const TabItem& t) { context.actions().closeTab(t); },
                   [&](const auto&) { context.actions().quit(*bundleID()); },
               },
               m_payload);
}

size_t SwitchItem::hash() const
{
    return qHashMulti(0, static_cast<int>(kind()), id());
}

} // namespace ostrevane
