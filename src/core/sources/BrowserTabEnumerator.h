#pragma once

#include "core/shell/PlatformProfile.h"
#include "core/model/SwitchItem.h"
#include "core/platform/Accessibility.h"
#include "core/platform/Image.h"
#include "core/platform/Workspace.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace ostrevane {

// A supported browser found running.
struct RunningBrowser {
    ProcessID pid = 0;
    QString name;                           // the application's own name, else the table's
    ImageHandle icon;                       // may be null
    std::optional<RunningApplication> app;  // absent when found only in the window list
};

// One tab button read from a browser window through accessibility.
struct AXTabCandidate {
    AXElement element;
    QString title; // trimmed, case as read
    bool selected = false;
};

// Reads, selects and closes the tabs of the supported browsers. The main road asks
// each running browser through the browser automation port; when no browser answers
// at all, tab buttons are read from the browsers' windows through accessibility
// (titles only). Keeps no state: caching is BrowserTabCache's job.
//
// Every operation is static and reaches its ports through RuntimeContext::current().
// They block for as long as a browser takes to answer, so callers run them off the
// main thread, except activate() and closeTab(), which the panel calls on the main
// thread when the user commits or closes a row.
//
// A browser that is not running, refuses automation, has no windows or answers
// nonsense contributes no tabs; nothing is reported. A browser is never started.
class BrowserTabEnumerator {
public:
    using Spec = BrowserSpec;

    // At most this many elements, the root included, are examined by descendants().
    static constexpr int descendantLimit = 1500;
    // How deep tab buttons are looked for below a window, and below a tab group.
    static constexpr int windowSearchDepth = 8;
    static constexpr int tabGroupSearchDepth = 4;
    // The browser window is raised a second time this long after a tab switch, because
    // the browser may still be reordering its windows when the first raise lands.
    static constexpr double revealRetryDelay = 0.06;

    static inline const QString faviconScheme = QStringLiteral("ostrevane-favicon");

    // The supported browsers, in lookup order.
    static const std::vector<Spec>& browsers();
    // True when the identifier is a supported browser's; false for none.
    static bool isSupportedBrowser(const std::optional<QString>& bundleID);
    static bool isSupportedBrowser(const QString& bundleID);

    // The running instance of a browser: first among the workspace's running
    // applications (by bundle id, bundle file name, executable name or localized
    // name), else the first matching owner in the window list, which gets the
    // table's name and the icon of the table's icon path. None when not running.
    static std::optional<RunningBrowser> runningBrowser(const Spec& spec);
    // The same for the table row with this identifier; none for an unknown one.
    static std::optional<RunningBrowser> runningBrowser(const QString& bundleID);
    // The rows whose browser runs, in table order.
    static std::vector<Spec> runningSpecs();
    // The name of each running supported browser, in table order.
    static QStringList runningBrowserNames();

    // How long a browser may take to list its tabs when the caller names no time.
    static constexpr double automationTimeoutSeconds = 2.0;

    // The scripted road only: the tabs of every given browser that answers, in the
    // order of `specs`, each browser's tabs in the order reported. Each browser is given
    // `timeoutSeconds` to answer (ports whose platform bounds calls itself ignore it).
    // A tab's favicon address is the icon address its browser reported when that is an
    // http, https or data address, else the one faviconURL() makes from the page.
    static std::vector<TabItem> enumerateViaAutomation(const std::vector<Spec>& specs,
                                                       double timeoutSeconds = automationTimeoutSeconds);
    // The scripted road; when it yields no tab at all, the accessibility fallback over
    // the same browsers. One browser answering by script keeps the others out.
    // `timeoutSeconds` bounds each browser's answer as above.
    static std::vector<TabItem> enumerate(const std::vector<Spec>& specs, double timeoutSeconds);
    // The same for the one browser with that identifier; empty for an unknown one.
    static std::vector<TabItem> enumerate(const QString& bundleID, double timeoutSeconds);

    // The tab buttons of one browser window: the richest tab group, else radio
    // buttons, else buttons and cells (possibly none). Controls such as "New Tab" or
    // "Close ..." and titles shorter than two characters are not candidates.
    static std::vector<AXTabCandidate> tabs(const AXElement& window);
    // Breadth-first descendants of `root` down to `maxDepth`, root excluded, with at
    // most descendantLimit elements examined.
    static std::vector<AXElement> descendants(const AXElement& root, int maxDepth);
    // A list-of-elements attribute; a failed read gives an empty list.
    static std::vector<AXElement> axArray(const AXElement& element, const QString& attribute);
    // A boolean attribute; a failed read gives none.
    static std::optional<bool> boolAttribute(const AXElement& element, const QString& attribute);

    // The "ostrevane-favicon:" address of a page's icon (host, then the query items
    // "page" = the whole address and "scheme" = its scheme or "https"); empty when the
    // address does not parse or has no host.
    static QString faviconURL(const QString& url);

    // Selects the tab in its browser and brings its window forward: by automation
    // first, then by pressing the tab button through accessibility, found by its title
    // (the recorded window first), else at its recorded position. When no button is
    // found the window the tab was listed in still comes forward, and the
    // "ostrevane.tabs" debug log says why. Nothing happens when the browser has gone.
    // Does not wait for a browser that answers later: its answer is acted on in a task
    // on the main queue.
    static void activate(const TabItem& tab);
    // Raises the window the tab was recorded in (or the browser's first window), now
    // and again revealRetryDelay later.
    static void revealBrowserWindow(const TabItem& tab);
    // Asks the browser to close the tab at its recorded position. The outcome is not
    // reported; an unknown browser is left alone.
    static void closeTab(const TabItem& tab);
};

} // namespace ostrevane
