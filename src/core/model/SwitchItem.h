#pragma once

#include "core/activation/CloseCapability.h"
#include "core/platform/Accessibility.h"
#include "core/platform/Image.h"

#include <QSet>
#include <QString>
#include <QUuid>

#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace ostrevane {

// One window of a running application.
struct WindowItem {
    QUuid id;                          // fresh per enumeration
    ProcessID pid = 0;
    QString appName;
    std::optional<QString> appBundleID;
    ImageHandle appIcon;
    QString title;                     // may be empty
    AXElement axWindow;
    std::optional<quint32> cgWindowID; // the window server's number (thumbnail key)
    bool isMinimized = false;          // iconified when listed
    std::optional<int> otherDesktop;   // the 1-based desktop it lies on, when not the one shown
};

// One browser tab.
struct TabItem {
    QUuid id;
    QString browserBundleID;
    QString browserAppName;
    ProcessID browserPID = 0;
    ImageHandle appIcon;
    QString faviconURL;                // "ostrevane-favicon:" address, empty when the url has no host
    QString title;
    QString url;
    int windowIndex = 0;               // as used in the browser's scripting commands
    int tabIndex = 0;
    bool isActiveInFrontWindow = false;
    std::optional<qint64> chromeTabID;    // never filled by the enumerators
    std::optional<qint64> chromeWindowID; // never filled by the enumerators
};

// One installed or running application.
struct AppItem {
    QUuid id;
    QString bundleID;
    QString name;
    ImageHandle icon;                  // none for installed ones: their rows load it
    QString path;                      // the application bundle (or desktop entry) path
};

// All windows of one application as a single row.
struct WindowGroupItem {
    QUuid id;
    QString appBundleID;
    QString appName;
    ImageHandle appIcon;
    std::vector<WindowItem> windows;   // never empty, enumeration order
};

// All tabs of one browser as a single row.
struct TabGroupItem {
    QUuid id;
    QString browserBundleID;
    QString appName;
    ImageHandle appIcon;
    std::vector<TabItem> tabs;         // never empty, enumeration order

    // The active tab of the front window, else the first tab.
    const TabItem& activeTab() const;
};

// Records are equal when their ids are; nothing else is compared.
inline bool operator==(const WindowItem& a, const WindowItem& b) { return a.id == b.id; }
inline bool operator==(const TabItem& a, const TabItem& b) { return a.id == b.id; }
inline bool operator==(const AppItem& a, const AppItem& b) { return a.id == b.id; }
inline bool operator==(const WindowGroupItem& a, const WindowGroupItem& b) { return a.id == b.id; }
inline bool operator==(const TabGroupItem& a, const TabGroupItem& b) { return a.id == b.id; }

// What the row of a window closed a moment ago says of its program: nothing, that it does
// not respond, or that it does not respond and closing again force-quits it.
enum class HungWindow { no, notResponding, forceQuitOffered };

// Where a row's activation and closing are carried out. Filled by the application
// activator; tests provide their own.
class SwitchItemActions {
public:
    virtual ~SwitchItemActions() = default;
    virtual void activateWindow(const WindowItem& window) = 0;
    virtual void activateTab(const TabItem& tab) = 0;
    virtual void ensureFinderWindow() = 0;
    virtual void launchOrActivateApp(const AppItem& app) = 0;
    virtual void closeTab(const TabItem& tab) = 0;
    // Presses the window's close button, or force-quits its program when the window was
    // closed a moment ago and its program does not respond.
    virtual void closeWindow(const WindowItem& window) = 0;
    virtual HungWindow hungWindowState(const WindowItem& window) = 0;
    virtual void quit(const QString& bundleID) = 0;
    virtual CloseCapability appCloseCapability(const QString& bundleID) = 0;
    // The bundle ids with a running instance the user launched, read at once: a list asks
    // for every row, and each read is a pass over all running applications.
    virtual QSet<QString> runningUserAppIDs() = 0;
};

// One row of the switcher list.
class SwitchItem {
public:
    // The case order is also the case index fed to the hash.
    enum class Kind { window = 0, tab = 1, tabGroup = 2, windowGroup = 3, app = 4 };
    using Payload = std::variant<WindowItem, TabItem, TabGroupItem, WindowGroupItem, AppItem>;

    SwitchItem(WindowItem w) : m_payload(std::move(w)) {}
    SwitchItem(TabItem t) : m_payload(std::move(t)) {}
    SwitchItem(TabGroupItem g) : m_payload(std::move(g)) {}
    SwitchItem(WindowGroupItem g) : m_payload(std::move(g)) {}
    SwitchItem(AppItem a) : m_payload(std::move(a)) {}

    Kind kind() const { return static_cast<Kind>(m_payload.index()); }
    const Payload& payload() const { return m_payload; }

    // The payload when it is of kind T, else null.
    template <class T>
    const T* as() const { return std::get_if<T>(&m_payload); }

    QUuid id() const;
    QString title() const;
    QString subtitle() const;
    ImageHandle icon() const;
    std::optional<QString> bundleID() const;
    std::optional<int> groupCount() const;
    QString mruKey() const;
    // The window server's number of a window row's window, when known; nothing for every
    // other row. While the window exists it tells apart windows whose keys are equal.
    std::optional<quint32> windowNumber() const;
    // What identifies the row's target across rebuilds: "window#" and the number for a
    // window row that has one, else mruKey.
    QString rowKey() const;
    std::vector<std::pair<QString, double>> matchFields() const;

    // Asks the accessibility port (windows) or the activator (apps); not pure.
    CloseCapability closeCapability() const;
    void activate() const;
    void close() const;

    // Same case and same payload id.
    friend bool operator==(const SwitchItem& a, const SwitchItem& b)
    {
        return a.kind() == b.kind() && a.id() == b.id();
    }
    size_t hash() const;

private:
    Payload m_payload;
};

// The key of a tab, shared by tab rows and by tab groups (their active tab).
QString tabMRUKey(const TabItem& tab);
// The key of a window: bundle id (or app name) and title.
QString windowMRUKey(const std::optional<QString>& bundleID, const QString& appName, const QString& title);
// A tab address with one leading scheme or "www." prefix removed, as searched.
QString cleanedURL(const QString& url);

} // namespace ostrevane

template <>
struct std::hash<ostrevane::SwitchItem> {
    size_t operator()(const ostrevane::SwitchItem& item) const { return item.hash(); }
};
