#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace ostrevane {

struct BrowserSpec;

// One tab as a browser reports it: 1-based window position (front to back), 1-based
// tab position, whether it is its window's active tab, title and address, and the
// address of its icon when the browser knows one (empty otherwise).
struct BrowserTabRow {
    int windowIndex = 0;
    int tabIndex = 0;
    bool active = false;
    QString title;
    QString url;
    QString faviconURL;

    friend bool operator==(const BrowserTabRow&, const BrowserTabRow&) = default;
};

// Where a tab was recorded, for selecting or closing it again.
struct BrowserTabAddress {
    QString url;
    QString title;
    int windowIndex = 0;
    int tabIndex = 0;
};

// Talks to the supported browsers. The synchronous operations block until the browser
// answers or their time-out ends, so callers run them off the main thread except where
// noted.
class BrowserAutomation {
public:
    // Called exactly once with what activateTab() would return.
    using ActivationCompletion = std::function<void(std::optional<bool> selected)>;

    virtual ~BrowserAutomation() = default;
    // The browser's tabs, or nothing when it did not answer within `timeoutSeconds`
    // (not running, automation refused, busy, malformed answer). Ports whose platform
    // bounds each call itself may ignore the time-out.
    virtual std::optional<std::vector<BrowserTabRow>> listTabs(const BrowserSpec& browser, double timeoutSeconds) = 0;
    // True when the tab was found and selected and its window brought forward; false
    // when the browser answered but found no such tab; nothing when it did not answer.
    virtual std::optional<bool> activateTab(const BrowserSpec& browser, const BrowserTabAddress& tab) = 0;
    // The same without waiting: `completion` runs once with the answer, on the calling
    // thread before this returns when the port answers synchronously (the default, which
    // calls activateTab()), otherwise later on a thread of the port's own.
    virtual void activateTabAsync(const BrowserSpec& browser, const BrowserTabAddress& tab,
                                  ActivationCompletion completion)
    {
        completion(activateTab(browser, tab));
    }
    // Closes the tab at its recorded position; the outcome is not reported, and the
    // call need not wait for it.
    virtual void closeTab(const BrowserSpec& browser, const BrowserTabAddress& tab) = 0;
};

} // namespace ostrevane
