#include "core/sources/BrowserTabEnumerator.h"

#include "core/shell/RuntimeContext.h"
#include "core/platform/BrowserAutomation.h"
#include "core/platform/Dispatcher.h"
#include "core/platform/WindowServer.h"
#include "core/sources/WindowEnumerator.h"

#include <QLoggingCategory>
#include <QTextBoundaryFinder>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <array>
#include <deque>
#include <thread>

namespace ostrevane {

namespace {

Q_LOGGING_CATEGORY(tabsLog, "ostrevane.tabs", QtWarningMsg)

RuntimeContext& context() { return RuntimeContext::current(); }

// Controls of a browser's tab strip and toolbar that are not tabs, in lower case.
const std::array<QString, 14> rejectedWords{
    QStringLiteral("close"),      QStringLiteral("close tab"), QStringLiteral("new tab"),
    QStringLiteral("minimize"),   QStringLiteral("maximize"),  QStringLiteral("toolbar"),
    QStringLiteral("back"),       QStringLiteral("forward"),   QStringLiteral("reload"),
    QStringLiteral("extensions"), QStringLiteral("profile"),   QStringLiteral("side panel"),
    QStringLiteral("tab search"), QStringLiteral("customize and control google chrome"),
};
const QString rejectedPrefix = QStringLiteral("close ");

// ---- Finding a running browser

// The last component of a path, ignoring a trailing slash (bundles are folders).
std::optional<QString> lastPathComponent(const std::optional<QString>& path)
{
    if (!path)
        return std::nullopt;
    QString trimmed = *path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

bool isIn(const std::optional<QString>& value, const QStringList& names)
{
    return value && names.contains(*value);
}

bool matches(const RunningApplication& app, const BrowserSpec& spec)
{
    return app.bundleIdentifier == spec.bundleID || isIn(lastPathComponent(app.bundlePath), spec.bundleNames)
        || isIn(lastPathComponent(app.executablePath), spec.executableNames)
        || isIn(app.localizedName, spec.localizedNames);
}

// Finds running browsers, reading the running applications and the window list at most
// once however many browsers are looked for: on X11 each read is a pass over every
// client, and the panel asks for all supported browsers at each showing.
class BrowserFinder {
public:
    std::optional<RunningBrowser> find(const BrowserSpec& spec)
    {
        if (std::optional<RunningBrowser> browser = fromWorkspace(spec))
            return browser;
        return fromWindowList(spec);
    }

private:
    std::optional<RunningBrowser> fromWorkspace(const BrowserSpec& spec)
    {
        if (!m_apps)
            m_apps = context().workspace().runningApplications();
        for (const RunningApplication& app : *m_apps)
            if (matches(app, spec))
                return RunningBrowser{app.processIdentifier, app.localizedName.value_or(spec.name), app.icon, app};
        return std::nullopt;
    }

    // A browser the workspace does not report under a known identity may still own windows.
    std::optional<RunningBrowser> fromWindowList(const BrowserSpec& spec)
    {
        RuntimeContext& c = context();
        if (!m_windows)
            m_windows = c.windowServer().windowList();
        for (const WindowListEntry& entry : *m_windows) {
            if (!isIn(entry.ownerName, spec.ownerNames) || !entry.ownerPID)
                continue;
            const ProcessID pid = *entry.ownerPID;
            return RunningBrowser{pid, spec.name, c.workspace().iconForFile(spec.iconPath),
                                  c.workspace().runningApplication(pid)};
        }
        return std::nullopt;
    }

    std::optional<std::vector<RunningApplication>> m_apps;
    std::optional<std::vector<WindowListEntry>> m_windows;
};

// ---- Making tab records

TabItem makeTab(const BrowserSpec& spec, const RunningBrowser& browser, ImageHandle icon)
{
    TabItem tab;
    tab.id = QUuid::createUuid();
    tab.browserBundleID = spec.bundleID;
    tab.browserAppName = browser.name;
    tab.browserPID = browser.pid;
    tab.appIcon = std::move(icon);
    return tab;
}

// The icon address a browser reported, when it is one the favicon cache may load
// (http, https or data); otherwise the address made from the page's own.
QString rowFaviconURL(const BrowserTabRow& row)
{
    for (const char* scheme : {"http://", "https://", "data:"})
        if (row.faviconURL.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return row.faviconURL;
    return BrowserTabEnumerator::faviconURL(row.url);
}

TabItem scriptedTab(const BrowserSpec& spec, const RunningBrowser& browser, const ImageHandle& icon,
                    const BrowserTabRow& row)
{
    TabItem tab = makeTab(spec, browser, icon);
    tab.faviconURL = rowFaviconURL(row);
    tab.title = row.title;
    tab.url = row.url;
    tab.windowIndex = row.windowIndex;
    tab.tabIndex = row.tabIndex;
    tab.isActiveInFrontWindow = row.active && row.windowIndex == 1;
    return tab;
}

std::vector<TabItem> accessibilityTabs(const BrowserSpec& spec, const RunningBrowser& browser)
{
    std::vector<TabItem> result;
    Accessibility& ax = context().accessibility();
    const std::vector<AXElement> windows = BrowserTabEnumerator::axArray(ax.createApplication(browser.pid), AX::windows);
    for (size_t w = 0; w < windows.size(); ++w) {
        const std::vector<AXTabCandidate> candidates = BrowserTabEnumerator::tabs(windows[w]);
        for (size_t t = 0; t < candidates.size(); ++t) {
            TabItem tab = makeTab(spec, browser, browser.icon);
            tab.title = candidates[t].title;
            tab.windowIndex = static_cast<int>(w) + 1;
            tab.tabIndex = static_cast<int>(t) + 1;
            tab.isActiveInFrontWindow = candidates[t].selected && w == 0;
            result.push_back(std::move(tab));
        }
    }
    return result;
}

// ---- Tab buttons

bool hasFewerThanTwoCharacters(const QString& text)
{
    // Characters as the user sees them: an emoji or an accented letter is one.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (count < 2 && finder.toNextBoundary() != -1)
        ++count;
    return count < 2;
}

bool isRejectedTitle(const QString& trimmed)
{
    if (hasFewerThanTwoCharacters(trimmed))
        return true;
    const QString lower = trimmed.toLower();
    return lower.startsWith(rejectedPrefix) || std::find(rejectedWords.begin(), rejectedWords.end(), lower) != rejectedWords.end();
}

QString candidateText(Accessibility& ax, const AXElement& element)
{
    // An empty title still ends the search: it is what the button says.
    for (const QString& attribute : {AX::title, AX::description, AX::help})
        if (std::optional<QString> text = ax.copyText(element, attribute))
            return *text;
    return QString();
}

bool candidateSelected(const AXElement& element)
{
    for (const QString& attribute : {AX::selected, AX::value, AX::focused})
        if (std::optional<bool> value = BrowserTabEnumerator::boolAttribute(element, attribute))
            return *value;
    return false;
}

std::optional<AXTabCandidate> makeCandidate(const AXElement& element)
{
    const QString title = candidateText(context().accessibility(), element).trimmed();
    if (isRejectedTitle(title))
        return std::nullopt;
    return AXTabCandidate{element, title, candidateSelected(element)};
}

struct RoledElement {
    AXElement element;
    QString role;
};

std::vector<RoledElement> withRoles(const std::vector<AXElement>& elements)
{
    Accessibility& ax = context().accessibility();
    std::vector<RoledElement> result;
    result.reserve(elements.size());
    for (const AXElement& element : elements)
        result.push_back({element, ax.copyText(element, AX::role).value_or(QString())});
    return result;
}

std::vector<AXTabCandidate> candidates(const std::vector<RoledElement>& elements, const QStringList& roles)
{
    std::vector<AXTabCandidate> result;
    for (const RoledElement& e : elements)
        if (roles.contains(e.role))
            if (std::optional<AXTabCandidate> candidate = makeCandidate(e.element))
                result.push_back(std::move(*candidate));
    return result;
}

const QStringList& tabButtonRoles()
{
    static const QStringList roles{AX::roleRadioButton, AX::roleButton, AX::roleCell};
    return roles;
}

// The tab group with the most candidates; the earlier one on a tie.
std::vector<AXTabCandidate> richestTabGroup(const std::vector<RoledElement>& windowElements)
{
    std::vector<AXTabCandidate> best;
    for (const RoledElement& e : windowElements) {
        if (e.role != AX::roleTabGroup)
            continue;
        const auto groupElements = withRoles(BrowserTabEnumerator::descendants(e.element, BrowserTabEnumerator::tabGroupSearchDepth));
        std::vector<AXTabCandidate> found = candidates(groupElements, tabButtonRoles());
        if (found.size() > best.size())
            best = std::move(found);
    }
    return best;
}

// ---- Activation

void activateApp(const std::optional<RunningApplication>& app)
{
    if (app)
        context().workspace().activate(app->processIdentifier, ActivationOption::none);
}

void bringWindowForward(const AXElement& window) { WindowEnumerator::raiseWindow(context().accessibility(), window); }

BrowserTabAddress addressOf(const TabItem& tab)
{
    return BrowserTabAddress{tab.url, tab.title, tab.windowIndex, tab.tabIndex};
}

// Element at a recorded 1-based position (positions below 1 mean the first).
template <class T>
const T* atRecordedPosition(const std::vector<T>& items, int oneBased)
{
    const size_t index = static_cast<size_t>(std::max(oneBased - 1, 0));
    return index < items.size() ? &items[index] : nullptr;
}

// The browser window that shows `tab`: the one window titled after it (a browser names its
// window after the selected tab), else the window at the recorded position, else the
// first. Positions are front to back as they were when the tabs were listed, and a window
// that came forward since has moved the others, so the title is asked first.
AXElement windowShowingTab(const std::vector<AXElement>& windows, const TabItem& tab)
{
    Accessibility& ax = context().accessibility();
    const AXElement* titled = nullptr;
    int count = 0;
    for (const AXElement& window : windows)
        if (!tab.title.isEmpty() && ax.copyText(window, AX::title).value_or(QString()).startsWith(tab.title)) {
            titled = &window;
            ++count;
        }
    if (count == 1)
        return *titled;
    const AXElement* recorded = atRecordedPosition(windows, tab.windowIndex);
    return recorded ? *recorded : windows.front();
}

struct TabButton {
    AXElement window;
    AXTabCandidate candidate;
};

// The button of `tab` in one window: the one at the recorded position when it still bears
// the tab's title, else the only one that does.
std::optional<AXTabCandidate> titledButton(const std::vector<AXTabCandidate>& candidates, const TabItem& tab,
                                           bool recordedWindow)
{
    const AXTabCandidate* recorded = recordedWindow ? atRecordedPosition(candidates, tab.tabIndex) : nullptr;
    if (recorded && recorded->title == tab.title)
        return *recorded;
    const auto titled = [&](const AXTabCandidate& c) { return c.title == tab.title; };
    if (std::count_if(candidates.begin(), candidates.end(), titled) != 1)
        return std::nullopt;
    return *std::find_if(candidates.begin(), candidates.end(), titled);
}

// The tab's button, looked for by its title in the recorded window first, then in the
// others: positions are those of the last listing, and windows and tabs may have moved
// since. When no tab bears the title (the page renamed itself), the recorded position.
std::optional<TabButton> findTabButton(const std::vector<AXElement>& windows, const TabItem& tab)
{
    const AXElement* recordedWindow = atRecordedPosition(windows, tab.windowIndex);
    std::vector<AXTabCandidate> recordedCandidates;
    if (recordedWindow) {
        recordedCandidates = BrowserTabEnumerator::tabs(*recordedWindow);
        if (std::optional<AXTabCandidate> found = titledButton(recordedCandidates, tab, true))
            return TabButton{*recordedWindow, *found};
    }
    for (const AXElement& window : windows)
        if (&window != recordedWindow)
            if (std::optional<AXTabCandidate> found = titledButton(BrowserTabEnumerator::tabs(window), tab, false))
                return TabButton{window, *found};
    const AXTabCandidate* recorded = atRecordedPosition(recordedCandidates, tab.tabIndex);
    qCDebug(tabsLog, "opening tab \"%s\" of %s: no tab of %zu windows bears its title; %zu tabs read in window %d%s",
            qPrintable(tab.title), qPrintable(tab.browserBundleID), windows.size(), recordedCandidates.size(),
            tab.windowIndex, recorded ? ", pressing the tab at its recorded position" : "");
    if (recordedWindow && recorded)
        return TabButton{*recordedWindow, *recorded};
    return std::nullopt;
}

// Presses the tab's button; used when no script could select it. When the button cannot
// be found, the window the tab was listed in still comes forward.
void activateByAccessibility(const TabItem& tab)
{
    const std::optional<RunningBrowser> browser = BrowserTabEnumerator::runningBrowser(tab.browserBundleID);
    if (!browser) {
        qCDebug(tabsLog, "opening tab \"%s\": %s is not running", qPrintable(tab.title), qPrintable(tab.browserBundleID));
        return;
    }
    Accessibility& ax = context().accessibility();
    const auto windows = BrowserTabEnumerator::axArray(ax.createApplication(browser->pid), AX::windows);
    if (windows.empty()) {
        qCDebug(tabsLog, "opening tab \"%s\": %s has no windows", qPrintable(tab.title), qPrintable(tab.browserBundleID));
        activateApp(browser->app);
        return;
    }
    const std::optional<TabButton> button = findTabButton(windows, tab);
    activateApp(browser->app);
    if (button) {
        ax.perform(button->candidate.element, AX::press);
        ax.setBool(button->candidate.element, AX::selected, true);
        // Pressing a tab can pull focus into the strip; activate again so the window comes forward.
        activateApp(browser->app);
    }
    bringWindowForward(button ? button->window : windowShowingTab(windows, tab));
}
} // namespace

const std::vector<BrowserSpec>& BrowserTabEnumerator::browsers() { return context().profile().browsers; }

bool BrowserTabEnumerator::isSupportedBrowser(const std::optional<QString>& bundleID)
{
    return bundleID && isSupportedBrowser(*bundleID);
}

bool BrowserTabEnumerator::isSupportedBrowser(const QString& bundleID)
{
    return context().profile().browser(bundleID) != nullptr;
}

std::optional<RunningBrowser> BrowserTabEnumerator::runningBrowser(const Spec& spec)
{
    return BrowserFinder().find(spec);
}

std::optional<RunningBrowser> BrowserTabEnumerator::runningBrowser(const QString& bundleID)
{
    const Spec* spec = context().profile().browser(bundleID);
    return spec ? runningBrowser(*spec) : std::nullopt;
}

std::vector<BrowserSpec> BrowserTabEnumerator::runningSpecs()
{
    std::vector<Spec> result;
    BrowserFinder finder;
    for (const Spec& spec : browsers())
        if (finder.find(spec))
            result.push_back(spec);
    return result;
}

QStringList BrowserTabEnumerator::runningBrowserNames()
{
    QStringList names;
    BrowserFinder finder;
    for (const Spec& spec : browsers())
        if (std::optional<RunningBrowser> browser = finder.find(spec))
            names << browser->name;
    return names;
}

std::vector<TabItem> BrowserTabEnumerator::enumerateViaAutomation(const std::vector<Spec>& specs,
                                                                  double timeoutSeconds)
{
    RuntimeContext& c = context();
    std::vector<TabItem> result;
    BrowserFinder finder;
    for (const Spec& spec : specs) {
        const std::optional<RunningBrowser> browser = finder.find(spec);
        if (!browser)
            continue;
        const std::optional<std::vector<BrowserTabRow>> rows = c.browserAutomation().listTabs(spec, timeoutSeconds);
        if (!rows)
            continue;
        const ImageHandle icon = browser->icon ? browser->icon : c.workspace().iconForFile(spec.iconPath);
        for (const BrowserTabRow& row : *rows)
            result.push_back(scriptedTab(spec, *browser, icon, row));
    }
    return result;
}

std::vector<TabItem> BrowserTabEnumerator::enumerate(const std::vector<Spec>& specs, double timeoutSeconds)
{
    std::vector<TabItem> result = enumerateViaAutomation(specs, timeoutSeconds);
    if (!result.empty())
        return result;
    // Titles only, and only when no browser answered: a browser that does answer
    // keeps the blocked ones out rather than mixing full and partial rows.
    for (const Spec& spec : specs)
        if (std::optional<RunningBrowser> browser = runningBrowser(spec)) {
            std::vector<TabItem> tabs = accessibilityTabs(spec, *browser);
            std::move(tabs.begin(), tabs.end(), std::back_inserter(result));
        }
    return result;
}

std::vector<TabItem> BrowserTabEnumerator::enumerate(const QString& bundleID, double timeoutSeconds)
{
    const Spec* spec = context().profile().browser(bundleID);
    return spec ? enumerate(std::vector<Spec>{*spec}, timeoutSeconds) : std::vector<TabItem>{};
}

std::vector<AXTabCandidate> BrowserTabEnumerator::tabs(const AXElement& window)
{
    const std::vector<RoledElement> elements = withRoles(descendants(window, windowSearchDepth));
    if (std::vector<AXTabCandidate> found = richestTabGroup(elements); !found.empty())
        return found;
    if (std::vector<AXTabCandidate> found = candidates(elements, {AX::roleRadioButton}); !found.empty())
        return found;
    return candidates(elements, {AX::roleButton, AX::roleCell});
}

std::vector<AXElement> BrowserTabEnumerator::descendants(const AXElement& root, int maxDepth)
{
    std::vector<AXElement> result;
    std::deque<std::pair<AXElement, int>> queue{{root, 0}};
    int taken = 0;
    while (!queue.empty() && taken < descendantLimit) {
        auto [element, depth] = std::move(queue.front());
        queue.pop_front();
        ++taken;
        if (depth >= 1)
            result.push_back(element);
        if (depth < maxDepth)
            for (AXElement& child : axArray(element, AX::children))
                queue.emplace_back(std::move(child), depth + 1);
    }
    return result;
}

std::vector<AXElement> BrowserTabEnumerator::axArray(const AXElement& element, const QString& attribute)
{
    return context().accessibility().copyElements(element, attribute);
}

std::optional<bool> BrowserTabEnumerator::boolAttribute(const AXElement& element, const QString& attribute)
{
    return context().accessibility().copyBool(element, attribute);
}

QString BrowserTabEnumerator::faviconURL(const QString& url)
{
    const QUrl page(url, QUrl::StrictMode);
    if (!page.isValid() || page.host().isEmpty())
        return QString();
    // Every query value is fully percent-encoded so that a page address holding "&",
    // "=" or "#" comes back whole when the favicon cache reads the "page" item.
    const auto encoded = [](const QString& value) { return QString::fromLatin1(QUrl::toPercentEncoding(value)); };
    const QString scheme = page.scheme().isEmpty() ? QStringLiteral("https") : page.scheme();
    QUrl icon;
    icon.setScheme(faviconScheme);
    icon.setHost(page.host(QUrl::FullyEncoded), QUrl::StrictMode);
    icon.setQuery(QStringLiteral("page=") + encoded(url) + QStringLiteral("&scheme=") + encoded(scheme), QUrl::StrictMode);
    if (!icon.isValid())
        return QString();
    return icon.toString(QUrl::FullyEncoded);
}

void BrowserTabEnumerator::activate(const TabItem& tab)
{
    const Spec* spec = context().profile().browser(tab.browserBundleID);
    if (!spec) {
        activateByAccessibility(tab);
        return;
    }
    const std::thread::id caller = std::this_thread::get_id();
    context().browserAutomation().activateTabAsync(*spec, addressOf(tab), [tab, caller](std::optional<bool> selected) {
        const auto finish = [tab, selected] {
            if (selected == true)
                revealBrowserWindow(tab);
            else
                activateByAccessibility(tab);
        };
        // A port that answered at once is followed at once; a later answer arrives on the
        // port's own thread and is carried out on the main queue like every window change.
        if (std::this_thread::get_id() == caller) {
            finish();
            return;
        }
        if (RuntimeContext::hasCurrent())
            context().dispatcher().async([finish] {
                if (RuntimeContext::hasCurrent())
                    finish();
            });
    });
}

void BrowserTabEnumerator::revealBrowserWindow(const TabItem& tab)
{
    const std::optional<RunningBrowser> browser = runningBrowser(tab.browserBundleID);
    if (!browser)
        return;
    const auto windows = axArray(context().accessibility().createApplication(browser->pid), AX::windows);
    if (windows.empty()) {
        activateApp(browser->app);
        return;
    }
    const std::optional<RunningApplication> app = browser->app;
    activateApp(app);
    bringWindowForward(windowShowingTab(windows, tab));
    // The second look also finds the window by the title it took on with the selected tab.
    context().dispatcher().asyncAfter(revealRetryDelay, [app, pid = browser->pid, tab] {
        if (!RuntimeContext::hasCurrent())
            return;
        const auto windows = axArray(context().accessibility().createApplication(pid), AX::windows);
        activateApp(app);
        if (!windows.empty())
            bringWindowForward(windowShowingTab(windows, tab));
    });
}

void BrowserTabEnumerator::closeTab(const TabItem& tab)
{
    if (const Spec* spec = context().profile().browser(tab.browserBundleID))
        context().browserAutomation().closeTab(*spec, addressOf(tab));
}

} // namespace ostrevane
