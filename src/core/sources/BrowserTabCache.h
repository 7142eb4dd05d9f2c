#pragma once

#include "core/sources/BrowserTabStatus.h"
#include "core/model/SwitchItem.h"
#include "core/platform/Clock.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ostrevane {

class Dispatcher;
class MRUStore;
class Workspace;

// The last known browser tabs, so the panel opens without waiting for browsers.
// Refreshed in the background for all browsers or one, or synchronously for the
// frontmost browser when the panel is about to open straight into its tabs. Entries
// never expire by age: a browser's tabs stay until a refresh replaces them.
//
// Thread-safety: every field is guarded by one mutex; enumeration and the recency
// update run outside it. At most one background refresh runs at a time; requests
// made meanwhile only queue their completions, which the running refresh calls once
// each, in registration order, on the main queue after it has stored its result.
//
// Must be owned by a std::shared_ptr (shared() and std::make_shared both do): the
// background task holds the cache weakly and drops its result when the cache is gone.
class BrowserTabCache : public std::enable_shared_from_this<BrowserTabCache> {
public:
    using Completion = std::function<void()>;

    // How long each browser may take to list its tabs in a background refresh.
    static constexpr double enumerationTimeoutSeconds = 2.0;
    // The cap on the synchronous refresh while the panel opens (main thread): a busy
    // browser costs the showing at most this long, and its cached tabs are shown.
    static constexpr double foregroundTimeoutSeconds = 0.05;

    BrowserTabCache(Dispatcher& dispatcher, Clock& clock, Workspace& workspace, MRUStore& mru);
    BrowserTabCache(const BrowserTabCache&) = delete;
    BrowserTabCache& operator=(const BrowserTabCache&) = delete;

    static BrowserTabCache& shared();

    // Background refresh of every browser (no identifier) or of one. With one
    // browser, only that browser's tabs are replaced (moved to the end); with all,
    // the whole list is replaced, even by nothing. While a refresh runs, a new request
    // starts nothing: its completion waits for the running refresh, whatever browser
    // that one was started for. The active front tab of the frontmost browser is
    // recorded as used.
    void refreshAsync(const std::optional<QString>& bundleID = std::nullopt, Completion completion = {});
    // A browser said its tabs changed: refresh its tabs at once when no refresh runs,
    // else once more as soon as the running one has stored (it may have read them before
    // the change). Several changes meanwhile start one refresh (of all browsers when more
    // than one browser changed). Any thread.
    void refreshAfterChange(const QString& bundleID);
    // Synchronous refresh of the frontmost application's tabs when it is a supported
    // browser, waiting at most foregroundTimeoutSeconds for it; a browser that yields
    // nothing keeps its cached tabs. Runs on the caller's thread and does not touch the
    // background refresh's state.
    void refreshForegroundBrowserNow();

    // Copies taken under the lock.
    std::vector<TabItem> tabs() const;
    // When a refresh last stored at least one tab; none before that.
    std::optional<WallTime> refreshedAt() const;
    bool isRefreshing() const;

private:
    static std::vector<TabItem> enumerate(const std::optional<QString>& bundleID);
    // Runs one background refresh; `m_refreshing` is already set.
    void launchRefresh(const std::optional<QString>& bundleID);
    // Records a use of the first active front-window tab of `bundleID`.
    void touchActiveFrontTab(const std::vector<TabItem>& tabs, const QString& bundleID);
    // Replaces everything (no identifier) or one browser's tabs; stamps the time when
    // `tabs` is not empty.
    void storeLocked(const std::optional<QString>& bundleID, std::vector<TabItem> tabs);
    // Records the recency, stores `tabs` (none: nothing was read), hands the waiting
    // completions to the main queue and starts the refresh that changes reported
    // meanwhile ask for.
    void finishRefresh(const std::optional<QString>& bundleID, std::optional<std::vector<TabItem>> tabs);
    void callOnMainQueue(std::vector<Completion> completions);
    std::optional<QString> frontmostBrowserID() const;

    Dispatcher& m_dispatcher;
    Clock& m_clock;
    Workspace& m_workspace;
    MRUStore& m_mru;

    mutable std::mutex m_lock; // guards the five fields below
    std::vector<TabItem> m_tabs;
    std::optional<WallTime> m_refreshedAt;
    bool m_refreshing = false;
    std::vector<Completion> m_completions;
    QStringList m_changedDuringRefresh; // browsers to read again once the running refresh ends
};

// How far browser tabs can be read, for the preferences window and the diagnostics.
// Runs browser scripts synchronously (seconds at worst); holds no lock and shares
// nothing with the cache. The composition root installs one as the browser status port.
class BrowserTabStatusProbe final : public BrowserStatusProbe {
public:
    // ready(n) when scripts give n tabs; else degraded(n) when accessibility gives n;
    // else blocked; unavailable when no supported browser runs.
    BrowserTabStatus status(double timeoutSeconds) override;
    // Each running browser, in table order, as ready (with its script tab count) or blocked.
    ProbeResult probeAutomationForRunningBrowsers() override;
};

} // namespace ostrevane
