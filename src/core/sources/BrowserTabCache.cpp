#include "core/sources/BrowserTabCache.h"

#include "core/sources/BrowserTabEnumerator.h"
#include "core/model/MRUStore.h"
#include "core/shell/RuntimeContext.h"
#include "core/shell/TimingTrace.h"
#include "core/platform/Dispatcher.h"
#include "core/platform/Workspace.h"

#include <QLoggingCategory>
#include <QtGlobal>

#include <algorithm>
#include <utility>

namespace ostrevane {

namespace {

// Off unless asked for (QT_LOGGING_RULES="ostrevane.tabs.debug=true"): what each refresh
// stored, for bug reports and the end-to-end tests.
Q_LOGGING_CATEGORY(tabsLog, "ostrevane.tabs", QtWarningMsg)

void logStored(const std::optional<QString>& bundleID, size_t count)
{
    TimingTrace::mark("tabs-stored", static_cast<qint64>(count));
    qCDebug(tabsLog, "stored %zu tabs of %s", count, bundleID ? qPrintable(*bundleID) : "every browser");
}

} // namespace

BrowserTabCache::BrowserTabCache(Dispatcher& dispatcher, Clock& clock, Workspace& workspace, MRUStore& mru)
    : m_dispatcher(dispatcher), m_clock(clock), m_workspace(workspace), m_mru(mru)
{
}

BrowserTabCache& BrowserTabCache::shared()
{
    return RuntimeContext::current().singleton<BrowserTabCache>([](RuntimeContext& c) {
        return std::make_unique<BrowserTabCache>(c.dispatcher(), c.clock(), c.workspace(), MRUStore::shared());
    });
}

void BrowserTabCache::refreshAsync(const std::optional<QString>& bundleID, Completion completion)
{
    {
        std::lock_guard lock(m_lock);
        if (completion)
            m_completions.push_back(std::move(completion));
        if (m_refreshing)
            return;
        m_refreshing = true;
    }
    launchRefresh(bundleID);
}

void BrowserTabCache::refreshAfterChange(const QString& bundleID)
{
    {
        std::lock_guard lock(m_lock);
        if (m_refreshing) {
            // The running refresh may have read the tabs before they changed, and may
            // be for another browser: this one is read again once it has stored.
            if (!m_changedDuringRefresh.contains(bundleID))
                m_changedDuringRefresh << bundleID;
            return;
        }
        m_refreshing = true;
    }
    launchRefresh(bundleID);
}

void BrowserTabCache::launchRefresh(const std::optional<QString>& bundleID)
{
    std::weak_ptr<BrowserTabCache> weak = weak_from_this();
    if (weak.expired()) {
        // Not owned by a shared_ptr, so a background task could outlive it. Refuse the
        // refresh but still answer the callers.
        qWarning("Ostrevane: BrowserTabCache must be owned by a shared_ptr; refresh skipped");
        finishRefresh(bundleID, std::nullopt);
        return;
    }
    m_dispatcher.global(QueuePriority::userInitiated, [weak, bundleID] {
        TimingTrace::mark("tabs-refresh");
        // Enumeration needs nothing of the cache, which may go away meanwhile.
        std::vector<TabItem> tabs = enumerate(bundleID);
        if (std::shared_ptr<BrowserTabCache> self = weak.lock())
            self->finishRefresh(bundleID, std::move(tabs));
    });
}

std::vector<TabItem> BrowserTabCache::enumerate(const std::optional<QString>& bundleID)
{
    if (bundleID)
        return BrowserTabEnumerator::enumerate(*bundleID, enumerationTimeoutSeconds);
    return BrowserTabEnumerator::enumerate(BrowserTabEnumerator::browsers(), enumerationTimeoutSeconds);
}

void BrowserTabCache::finishRefresh(const std::optional<QString>& bundleID, std::optional<std::vector<TabItem>> tabs)
{
    if (tabs && !tabs->empty())
        if (std::optional<QString> front = frontmostBrowserID())
            touchActiveFrontTab(*tabs, *front);
    std::vector<Completion> completions;
    QStringList changed;
    {
        std::lock_guard lock(m_lock);
        if (tabs)
            storeLocked(bundleID, std::move(*tabs));
        completions = std::exchange(m_completions, {});
        changed = std::exchange(m_changedDuringRefresh, {});
        // The follow-up keeps the flag, so no request can slip in and take its place.
        m_refreshing = !changed.isEmpty();
    }
    callOnMainQueue(std::move(completions));
    if (changed.size() == 1)
        launchRefresh(changed.front());
    else if (!changed.isEmpty())
        launchRefresh(std::nullopt);
}

void BrowserTabCache::callOnMainQueue(std::vector<Completion> completions)
{
    if (completions.empty())
        return;
    m_dispatcher.async([completions = std::move(completions)] {
        for (const Completion& completion : completions)
            completion();
    });
}

void BrowserTabCache::refreshForegroundBrowserNow()
{
    const std::optional<QString> front = frontmostBrowserID();
    if (!front)
        return;
    std::vector<TabItem> tabs = BrowserTabEnumerator::enumerate(*front, foregroundTimeoutSeconds);
    // Nothing read (a busy or blocked browser) must not wipe what the panel can show.
    if (tabs.empty())
        return;
    touchActiveFrontTab(tabs, *front);
    std::lock_guard lock(m_lock);
    storeLocked(front, std::move(tabs));
}

void BrowserTabCache::touchActiveFrontTab(const std::vector<TabItem>& tabs, const QString& bundleID)
{
    const auto active = std::find_if(tabs.begin(), tabs.end(), [&](const TabItem& tab) {
        return tab.browserBundleID == bundleID && tab.isActiveInFrontWindow;
    });
    if (active != tabs.end())
        m_mru.touch(tabMRUKey(*active));
}

void BrowserTabCache::storeLocked(const std::optional<QString>& bundleID, std::vector<TabItem> tabs)
{
    logStored(bundleID, tabs.size());
    const bool stored = !tabs.empty();
    if (bundleID) {
        std::erase_if(m_tabs, [&](const TabItem& tab) { return tab.browserBundleID == *bundleID; });
        std::move(tabs.begin(), tabs.end(), std::back_inserter(m_tabs));
    } else {
        m_tabs = std::move(tabs);
    }
    if (stored)
        m_refreshedAt = m_clock.now();
}

std::optional<QString> BrowserTabCache::frontmostBrowserID() const
{
    const std::optional<RunningApplication> front = m_workspace.frontmostApplication();
    if (!front || !BrowserTabEnumerator::isSupportedBrowser(front->bundleIdentifier))
        return std::nullopt;
    return front->bundleIdentifier;
}

std::vector<TabItem> BrowserTabCache::tabs() const
{
    std::lock_guard lock(m_lock);
    return m_tabs;
}

std::optional<WallTime> BrowserTabCache::refreshedAt() const
{
    std::lock_guard lock(m_lock);
    return m_refreshedAt;
}

bool BrowserTabCache::isRefreshing() const
{
    std::lock_guard lock(m_lock);
    return m_refreshing;
}

BrowserTabStatus BrowserTabStatusProbe::status(double timeoutSeconds)
{
    const std::vector<BrowserSpec> running = BrowserTabEnumerator::runningSpecs();
    if (running.empty())
        return BrowserTabStatus::unavailable();
    if (const size_t n = BrowserTabEnumerator::enumerateViaAutomation(running).size(); n > 0)
        return BrowserTabStatus::ready(static_cast<int>(n));
    // Runs the scripts once more before falling back to accessibility: a browser that
    // was merely busy a moment ago may answer now.
    if (const size_t n = BrowserTabEnumerator::enumerate(running, timeoutSeconds).size(); n > 0)
        return BrowserTabStatus::degraded(static_cast<int>(n), QString::fromUtf8(BrowserTabStatusReason::limitedTitles));
    return BrowserTabStatus::blocked(QString::fromUtf8(BrowserTabStatusReason::unavailable));
}

ProbeResult BrowserTabStatusProbe::probeAutomationForRunningBrowsers()
{
    ProbeResult result;
    for (const BrowserSpec& spec : BrowserTabEnumerator::runningSpecs()) {
        result.runningBrowsers << spec.name;
        const size_t n = BrowserTabEnumerator::enumerateViaAutomation({spec}).size();
        if (n > 0) {
            result.automationReady << spec.name;
            result.tabCounts.insert(spec.name, static_cast<int>(n));
        } else {
            result.automationBlocked << spec.name;
        }
    }
    return result;
}

} // namespace ostrevane
