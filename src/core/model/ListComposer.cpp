#include "core/model/ListComposer.h"

#include "core/sources/AppRegistry.h"
#include "core/model/IgnoreFilter.h"
#include "core/model/MRUStore.h"
#include "core/model/PanelSettings.h"
#include "core/shell/PlatformProfile.h"

#include <QSet>

#include <algorithm>

namespace ostrevane {

namespace {

using BundleSet = QSet<QString>;

// The ignore lists, read once per build: an edit applies at the next build, and a
// long list is not re-read for every window. Patterns are compiled (and cached) by
// IgnoreFilter, so matching is the same as everywhere else.
struct IgnoreRules {
    QStringList bundleIDs = IgnoreFilter::ignoredAppBundleIDs();
    QStringList appPatterns = IgnoreFilter::ignoredAppRegex();
    QStringList windowPatterns = IgnoreFilter::ignoredWindowRegex();

    bool ignoresBundle(const std::optional<QString>& bundleID) const
    {
        return bundleID && bundleIDs.contains(*bundleID, Qt::CaseSensitive);
    }
    bool ignoresApp(const std::optional<QString>& bundleID, const QString& name) const
    {
        return ignoresBundle(bundleID) || IgnoreFilter::anyPatternMatches(appPatterns, name);
    }
    bool ignoresWindow(const WindowItem& window) const
    {
        return ignoresApp(window.appBundleID, window.appName)
            || (!window.title.isEmpty() && IgnoreFilter::anyPatternMatches(windowPatterns, window.title));
    }
};

// Groups `items` by key in order of each key's first appearance; items without a key
// are left out.
template <class T, class Key>
std::vector<std::pair<QString, std::vector<T>>> partition(const std::vector<T>& items, Key key)
{
    std::vector<std::pair<QString, std::vector<T>>> groups;
    QHash<QString, size_t> index;
    for (const T& item : items) {
        const std::optional<QString> k = key(item);
        if (!k)
            continue;
        auto found = index.constFind(*k);
        if (found == index.constEnd()) {
            found = index.insert(*k, groups.size());
            groups.emplace_back(*k, std::vector<T>{});
        }
        groups[*found].second.push_back(item);
    }
    return groups;
}

const RunningApplication* firstRunning(const std::vector<RunningApplication>& running, const QString& bundleID)
{
    for (const RunningApplication& app : running)
        if (app.bundleIdentifier == bundleID)
            return &app;
    return nullptr;
}

BundleSet runningBundleIDs(const std::vector<RunningApplication>& running)
{
    BundleSet ids;
    for (const RunningApplication& app : running)
        if (app.bundleIdentifier)
            ids.insert(*app.bundleIdentifier);
    return ids;
}

// One build of the list: the snapshots it read and the sets the steps share.
class ListComposer {
public:
    ListComposer(const ListSources& sources, const std::function<bool(const QString&)>& isRecentlyClosed)
        : m_isRecentlyClosed(isRecentlyClosed)
        , m_sources(sources)
        , m_tabs(sources.tabs())
        , m_installed(sources.installedApps())
        , m_running(sources.workspace.runningApplications())
        , m_launchable(sources.profile, BundleReader::forProfile(sources.profile))
    {
        keepWindows(sources.windows());
        for (size_t i = m_installed.size(); i-- > 0;)
            m_firstInstalled.insert(m_installed[i].bundleID, i); // backwards, so the first record wins
    }

    std::vector<SwitchItem> compose();

private:
    void keepWindows(std::vector<WindowItem> windows);
    std::vector<WindowGroupItem> windowGroups() const;
    std::vector<TabGroupItem> tabGroups() const;
    std::vector<AppItem> runningAppRows(const BundleSet& seen);
    std::optional<AppItem> runningAppRow(const RunningApplication& app);
    std::vector<AppItem> installedAppRows(const BundleSet& allSeen);
    bool skipsInstalled(const AppItem& app, const BundleSet& allSeen, const BundleSet& running);

    const std::function<bool(const QString&)>& m_isRecentlyClosed;
    const ListSources& m_sources;
    const IgnoreRules m_rules;
    std::vector<WindowItem> m_windows; // kept windows only
    std::vector<TabItem> m_tabs; // moved into the tab rows last
    const std::vector<AppItem> m_installed;
    const std::vector<RunningApplication> m_running;
    const AppEnumerator m_launchable;
    QHash<QString, size_t> m_firstInstalled; // bundle id -> index of its first record
};

void ListComposer::keepWindows(std::vector<WindowItem> windows)
{
    std::erase_if(windows, [this](const WindowItem& w) { return m_rules.ignoresWindow(w); });
    m_windows = std::move(windows);
}

std::vector<WindowGroupItem> ListComposer::windowGroups() const
{
    const QStringList& grouped = m_sources.profile.groupedBundleIDs;
    std::vector<WindowGroupItem> groups;
    for (auto& [bundleID, windows] : partition(m_windows, [&](const WindowItem& w) -> std::optional<QString> {
             return w.appBundleID && grouped.contains(*w.appBundleID) ? w.appBundleID : std::nullopt;
         })) {
        const RunningApplication* app = firstRunning(m_running, bundleID);
        const WindowItem& first = windows.front();
        groups.push_back(WindowGroupItem{QUuid::createUuid(), bundleID,
                                         app && app->localizedName ? *app->localizedName : first.appName,
                                         app && app->icon ? app->icon : first.appIcon, std::move(windows)});
    }
    return groups;
}

std::vector<TabGroupItem> ListComposer::tabGroups() const
{
    std::vector<TabGroupItem> groups;
    for (auto& [bundleID, tabs] :
         partition(m_tabs, [](const TabItem& t) { return std::optional<QString>(t.browserBundleID); })) {
        const TabItem& first = tabs.front();
        groups.push_back(TabGroupItem{QUuid::createUuid(), bundleID, first.browserAppName, first.appIcon, std::move(tabs)});
    }
    return groups;
}

std::vector<AppItem> ListComposer::runningAppRows(const BundleSet& seen)
{
    std::vector<AppItem> rows;
    for (const RunningApplication& app : m_running) {
        if (app.isTerminated || !app.bundleIdentifier || !app.bundlePath)
            continue;
        const QString& bundleID = *app.bundleIdentifier;
        if (m_isRecentlyClosed(bundleID) || seen.contains(bundleID)
            || m_rules.ignoresApp(bundleID, app.localizedName.value_or(QString())))
            continue;
        if (std::optional<AppItem> row = runningAppRow(app))
            rows.push_back(std::move(*row));
    }
    return rows;
}

// The registry's record when the application is installed; otherwise a fresh record
// when it lies where the user launches applications from; otherwise nothing.
std::optional<AppItem> ListComposer::runningAppRow(const RunningApplication& app)
{
    const QString& bundleID = *app.bundleIdentifier;
    if (auto installed = m_firstInstalled.constFind(bundleID); installed != m_firstInstalled.constEnd())
        return m_installed[*installed];
    if (!m_launchable.isUserApp(app))
        return std::nullopt;
    return AppItem{QUuid::createUuid(), bundleID, app.localizedName.value_or(bundleID), app.icon, *app.bundlePath};
}

std::vector<AppItem> ListComposer::installedAppRows(const BundleSet& allSeen)
{
    std::vector<AppItem> rows;
    if (!PanelSettings::showAppsWithoutWindows())
        return rows;
    const BundleSet running = runningBundleIDs(m_running);
    for (const AppItem& app : m_installed)
        if (!skipsInstalled(app, allSeen, running))
            rows.push_back(app);
    return rows;
}

bool ListComposer::skipsInstalled(const AppItem& app, const BundleSet& allSeen, const BundleSet& running)
{
    // The file manager always runs; it is offered whenever it has no window.
    const bool runsElsewhere = app.bundleID != m_sources.profile.finderBundleID && running.contains(app.bundleID);
    return m_rules.ignoresApp(app.bundleID, app.name) || m_isRecentlyClosed(app.bundleID)
        || allSeen.contains(app.bundleID) || runsElsewhere;
}

template <class T>
void append(std::vector<SwitchItem>& items, std::vector<T>&& records)
{
    for (T& record : records)
        items.emplace_back(std::move(record));
}

// Puts items[order[i]] at position i for every i, moving each row once, so the list is
// reordered without a second copy of it.
void permute(std::vector<SwitchItem>& items, std::vector<size_t>& order)
{
    for (size_t start = 0; start < items.size(); ++start) {
        if (order[start] == start)
            continue;
        SwitchItem first = std::move(items[start]);
        size_t at = start;
        while (order[at] != start) {
            const size_t from = order[at];
            items[at] = std::move(items[from]);
            order[at] = at;
            at = from;
        }
        items[at] = std::move(first);
        order[at] = at;
    }
}

// Most recent first; equal ranks keep their order. Each row is ranked once, so the
// order stays consistent even if another thread records a use during the sort.
void sortMostRecentFirst(std::vector<SwitchItem>& items, const MRUStore& recency)
{
    std::vector<std::pair<MRUStore::Rank, size_t>> scored;
    scored.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        scored.emplace_back(recency.rank(items[i].mruKey(), items[i].bundleID(), items[i].windowNumber()), i);
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<size_t> order;
    order.reserve(scored.size());
    for (const auto& entry : scored)
        order.push_back(entry.second);
    permute(items, order);
}

std::vector<SwitchItem> ListComposer::compose()
{
    std::vector<WindowGroupItem> groups = windowGroups();
    BundleSet groupedBundles;
    for (const WindowGroupItem& group : groups)
        groupedBundles.insert(group.appBundleID);

    BundleSet seen = groupedBundles;
    std::vector<WindowItem> windowRows;
    for (WindowItem& window : m_windows) { // the groups hold their own copies
        if (window.appBundleID)
            seen.insert(*window.appBundleID);
        if (!window.appBundleID || !groupedBundles.contains(*window.appBundleID))
            windowRows.push_back(std::move(window));
    }
    for (const TabItem& tab : m_tabs)
        seen.insert(tab.browserBundleID);

    std::vector<AppItem> runningRows = runningAppRows(seen);
    BundleSet allSeen = seen;
    for (const AppItem& app : runningRows)
        allSeen.insert(app.bundleID);
    std::vector<AppItem> installedRows = installedAppRows(allSeen);

    std::vector<TabGroupItem> browserGroups = tabGroups();
    std::vector<SwitchItem> items;
    items.reserve(windowRows.size() + browserGroups.size() + groups.size() + m_tabs.size() + runningRows.size()
                  + installedRows.size());
    append(items, std::move(windowRows));
    append(items, std::move(browserGroups));
    append(items, std::move(groups));
    append(items, std::move(m_tabs));
    append(items, std::move(runningRows));
    append(items, std::move(installedRows));
    sortMostRecentFirst(items, m_sources.recency);
    return items;
}

} // namespace

std::vector<SwitchItem> composeList(const ListSources& sources,
                                    const std::function<bool(const QString&)>& isRecentlyClosed)
{
    return ListComposer(sources, isRecentlyClosed).compose();
}

} // namespace ostrevane
