#include "platform/sim/SimBrowsers.h"

#include "platform/sim/SimDesktop.h"

#include <QRegularExpression>

#include <algorithm>

namespace ostrevane {

namespace {

const QString tellPrefix = QStringLiteral("tell application \"");

bool isChromium(const BrowserSpec& spec) { return spec.family == BrowserSpec::Family::chromium; }

std::optional<QString> addressedApplication(const QString& source)
{
    if (!source.startsWith(tellPrefix))
        return std::nullopt;
    const qsizetype end = source.indexOf(QLatin1Char('"'), tellPrefix.size());
    if (end < 0)
        return std::nullopt;
    return source.mid(tellPrefix.size(), end - tellPrefix.size());
}

// Reads the string literal that follows `marker` and must end its line, the way the
// script compiler would: a stray quote or backslash makes the text fail to compile.
std::optional<QString> literalAfter(const QString& source, const QString& marker)
{
    qsizetype i = source.indexOf(marker);
    if (i < 0)
        return std::nullopt;
    i += marker.size();
    if (i >= source.size() || source[i] != QLatin1Char('"'))
        return std::nullopt;
    QString value;
    for (++i; i < source.size(); ++i) {
        const QChar c = source[i];
        if (c == QLatin1Char('"'))
            break;
        if (c == QLatin1Char('\\')) {
            if (++i >= source.size() || (source[i] != QLatin1Char('\\') && source[i] != QLatin1Char('"')))
                return std::nullopt;
        }
        value += source[i];
    }
    const bool endsLine = i + 1 < source.size() && source[i + 1] == QLatin1Char('\n');
    return endsLine ? std::optional(value) : std::nullopt;
}

std::optional<int> numberAfter(const QString& source, const QString& marker)
{
    const QRegularExpression pattern(QRegularExpression::escape(marker) + QStringLiteral("(-?\\d+)\\n"));
    const QRegularExpressionMatch match = pattern.match(source);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}

template <class T>
ScriptDescriptor value(T v)
{
    return ScriptDescriptor(ScriptDescriptor::Value(std::move(v)));
}

ScriptDescriptor list(std::initializer_list<ScriptDescriptor> entries)
{
    return value(ScriptDescriptor::List(entries));
}

ScriptDescriptor row(int window, int tab, bool active, const QString& title, const QString& url)
{
    return list({value(qint64(window)), value(qint64(tab)), value(active), value(title), value(url)});
}

// Elements a confused browser might put in its answer; each must be skipped alone.
ScriptDescriptor::List malformedRows()
{
    return {
        list({value(qint64(1)), value(qint64(1)), value(false), value(QStringLiteral("Four entries"))}),
        row(0, 1, true, QStringLiteral("Window zero"), QStringLiteral("https://zero.example/")),
        ScriptDescriptor{},
        list({value(qint64(1)), value(QStringLiteral("x")), value(false), value(QStringLiteral("Text position")),
              value(QString())}),
    };
}

bool matchesTarget(const SimTab& tab, const QString& url, const QString& title)
{
    return (!url.isEmpty() && tab.url == url) || (url.isEmpty() && !title.isEmpty() && tab.title == title);
}

} // namespace

SimBrowsers::SimBrowsers(SimDesktop& desktop) : m_desktop(desktop) {}

ProcessID SimBrowsers::launch(const BrowserSpec& browser)
{
    const ProcessID pid = m_desktop.launch(browser.bundleID, browser.name);
    std::lock_guard lock(m_mutex);
    m_browsers[browser.applicationName] = Browser{browser, pid, Mode::answers, {}};
    return pid;
}

AXElement SimBrowsers::openWindow(const QString& applicationName, std::vector<SimTab> tabs, int activeTab)
{
    ProcessID pid = 0;
    {
        std::lock_guard lock(m_mutex);
        pid = m_browsers.at(applicationName).pid;
    }
    const bool hasActive = activeTab >= 1 && activeTab <= static_cast<int>(tabs.size());
    const AXElement window = m_desktop.openWindow(pid, hasActive ? tabs[size_t(activeTab - 1)].title : QString());
    std::lock_guard lock(m_mutex);
    m_browsers.at(applicationName).windows.push_back({std::move(tabs), activeTab, window});
    return window;
}

void SimBrowsers::setMode(const QString& applicationName, Mode mode)
{
    std::lock_guard lock(m_mutex);
    m_browsers.at(applicationName).mode = mode;
}

std::vector<SimBrowserWindow> SimBrowsers::windows(const QString& applicationName) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_browsers.find(applicationName);
    return it == m_browsers.end() ? std::vector<SimBrowserWindow>{} : it->second.windows;
}

QStringList SimBrowsers::scripts() const
{
    std::lock_guard lock(m_mutex);
    return m_scripts;
}

void SimBrowsers::clearScripts()
{
    std::lock_guard lock(m_mutex);
    m_scripts.clear();
}

std::vector<AXElement> SimBrowsers::addTabStrip(const AXElement& window, const QStringList& titles, int selected)
{
    SimAccessibility& ax = m_desktop.accessibility;
    const AXElement group = SimAccessibility::makeElement(QStringLiteral("tab group"));
    ax.setAttribute(group, AX::role, AX::roleTabGroup);
    std::vector<AXElement> buttons;
    for (int i = 0; i < titles.size(); ++i) {
        const AXElement button = SimAccessibility::makeElement(titles[i]);
        ax.setAttribute(button, AX::role, AX::roleRadioButton);
        ax.setAttribute(button, AX::title, titles[i]);
        ax.setAttribute(button, AX::selected, i == selected);
        buttons.push_back(button);
    }
    ax.setAttribute(group, AX::children, buttons);
    appendChild(window, group);
    return buttons;
}

void SimBrowsers::appendChild(const AXElement& parent, const AXElement& child)
{
    std::vector<AXElement> children = m_desktop.accessibility.copyElements(parent, AX::children);
    children.push_back(child);
    m_desktop.accessibility.setAttribute(parent, AX::children, children);
}

std::optional<ScriptDescriptor> SimBrowsers::executeAppleScript(const QString& source)
{
    std::lock_guard lock(m_mutex);
    m_scripts << source;
    const std::optional<QString> application = addressedApplication(source);
    auto it = application ? m_browsers.find(*application) : m_browsers.end();
    if (it == m_browsers.end())
        return std::nullopt;
    Browser& browser = it->second;
    if (browser.mode == Mode::refusesAutomation || browser.mode == Mode::busy)
        return std::nullopt;
    return answer(browser, source);
}

std::optional<ScriptDescriptor> SimBrowsers::answer(Browser& browser, const QString& source)
{
    if (source.contains(QStringLiteral("set tabItems to {}")))
        return listing(browser, source);
    if (source.contains(QStringLiteral("set targetURL to ")))
        return activation(browser, source);
    if (source.contains(QStringLiteral("close tab "))) {
        closing(browser, source);
        return ScriptDescriptor{};
    }
    return std::nullopt;
}

ScriptDescriptor SimBrowsers::listing(const Browser& browser, const QString& source) const
{
    // A property the browser does not have fails inside the script's `try` and leaves
    // the default: Chromium tabs have a title, Safari tabs a name.
    const bool chromium = isChromium(browser.spec);
    const bool readsTitle = source.contains(chromium ? QStringLiteral("title of targetTab") : QStringLiteral("name of targetTab"));
    const bool readsActive = source.contains(chromium ? QStringLiteral("active tab index of targetWindow")
                                                      : QStringLiteral("is current tab of targetWindow"));
    const bool readsURL = source.contains(QStringLiteral("URL of targetTab"));
    ScriptDescriptor::List rows = browser.mode == Mode::malformedRows ? malformedRows() : ScriptDescriptor::List{};
    for (size_t w = 0; w < browser.windows.size(); ++w) {
        const SimBrowserWindow& window = browser.windows[w];
        for (size_t t = 0; t < window.tabs.size(); ++t) {
            const SimTab& tab = window.tabs[t];
            const bool active = readsActive && int(t) + 1 == window.activeTab;
            rows.push_back(row(int(w) + 1, int(t) + 1, active, readsTitle ? tab.title : QString(),
                               readsURL ? tab.url : QString()));
        }
    }
    return value(std::move(rows));
}

std::optional<ScriptDescriptor> SimBrowsers::activation(Browser& browser, const QString& source)
{
    const std::optional<QString> url = literalAfter(source, QStringLiteral("set targetURL to "));
    const std::optional<QString> title = literalAfter(source, QStringLiteral("set targetTitle to "));
    const std::optional<int> windowIndex = numberAfter(source, QStringLiteral("set fallbackWindowIndex to "));
    const std::optional<int> tabIndex = numberAfter(source, QStringLiteral("set fallbackTabIndex to "));
    if (!url || !title || !windowIndex || !tabIndex)
        return std::nullopt; // does not compile
    const bool chromiumText = source.contains(QStringLiteral("set active tab index of targetWindow to fallbackTabIndex"));
    const bool safariText = source.contains(QStringLiteral("set current tab of targetWindow to targetTab"));
    if (chromiumText != isChromium(browser.spec) || safariText == isChromium(browser.spec))
        return std::nullopt; // the other family's vocabulary: a run-time error

    const auto byPosition = [&]() -> bool {
        const size_t w = size_t(*windowIndex - 1);
        if (*windowIndex < 1 || *tabIndex < 1 || w >= browser.windows.size()
            || *tabIndex > int(browser.windows[w].tabs.size()))
            return false;
        select(browser, w, *tabIndex);
        return true;
    };
    const auto bySearch = [&]() -> bool {
        for (size_t w = 0; w < browser.windows.size(); ++w) {
            const auto& tabs = browser.windows[w].tabs;
            for (size_t t = 0; t < tabs.size(); ++t)
                if (matchesTarget(tabs[t], *url, *title)) {
                    select(browser, w, int(t) + 1);
                    return true;
                }
        }
        return false;
    };
    const bool found = chromiumText ? (byPosition() || bySearch()) : (bySearch() || byPosition());
    return value(found);
}

void SimBrowsers::select(Browser& browser, size_t window, int tab)
{
    SimBrowserWindow selected = browser.windows[window];
    selected.activeTab = tab;
    browser.windows.erase(browser.windows.begin() + std::ptrdiff_t(window));
    browser.windows.insert(browser.windows.begin(), std::move(selected));
    // `activate` inside the script brings the browser forward by itself.
    m_desktop.workspace.setFrontmost(browser.pid);
}

void SimBrowsers::closing(Browser& browser, const QString& source)
{
    static const QRegularExpression pattern(QStringLiteral("close tab (-?\\d+) of window (-?\\d+)\\n"));
    const QRegularExpressionMatch match = pattern.match(source);
    if (!match.hasMatch())
        return;
    const int tab = match.captured(1).toInt();
    const int window = match.captured(2).toInt();
    // A position that does not exist raises inside the script's `try`: nothing happens.
    if (window < 1 || window > int(browser.windows.size()))
        return;
    SimBrowserWindow& target = browser.windows[size_t(window - 1)];
    if (tab < 1 || tab > int(target.tabs.size()))
        return;
    target.tabs.erase(target.tabs.begin() + (tab - 1));
    if (target.activeTab > tab || target.activeTab > int(target.tabs.size()))
        target.activeTab = std::max(target.activeTab - 1, 1);
    if (target.tabs.empty())
        browser.windows.erase(browser.windows.begin() + (window - 1));
}

} // namespace ostrevane
