#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace ostrevane {

struct BrowserSpec;

// One tab as a browser reports it: 1-based window position (front to back), 1-based
// tab position, whether it is its window's active tab, title and address.
struct BrowserTabRow {
    int windowIndex = 0;
    int tabIndex = 0;
    bool active = false;
    QString title;
    QString url;

    friend bool operator==(const BrowserTabRow&, const BrowserTabRow&) = default;
};

// Where a tab was recorded, for selecting or closing it again.
struct BrowserTabAddress {
    QString url;
    QString title;
    int windowIndex = 0;
    int tabIndex = 0;
};

// Talks to the supported browsers. Every operation blocks until the browser answers,
// so callers run it off the main thread except where noted.
class BrowserAutomation {
public:
    virtual ~BrowserAutomation() = default;
    // The browser's tabs, or nothing when it did not answer (not running, automation
    // refused, busy, malformed answer).
    virtual std::optional<std::vector<BrowserTabRow>> listTabs(const BrowserSpec& browser) = 0;
    // True when the tab was found and selected and its window brought forward; false
    // when the browser answered but found no such tab; nothing when it did not answer.
    virtual std::optional<bool> activateTab(const BrowserSpec& browser, const BrowserTabAddress& tab) = 0;
    // Closes the tab at its recorded position; the outcome is not reported.
    virtual void closeTab(const BrowserSpec& browser, const BrowserTabAddress& tab) = 0;
};

} // namespace ostrevane
