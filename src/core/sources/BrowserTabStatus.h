#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace ostrevane {

// Whether browser tabs can be read fully, partly or not at all. Shown by the
// preferences window and the diagnostics text. Two values are equal when their case
// and payload are equal (the factories leave unused payload empty).
struct BrowserTabStatus {
    enum class Kind {
        ready,      // scripts answered: `count` tabs with titles and addresses
        degraded,   // no script answered, `count` tabs read through accessibility (titles only)
        blocked,    // supported browsers run, but no tab could be read
        unavailable // no supported browser is running
    };

    Kind kind = Kind::unavailable;
    int count = 0;
    QString reason; // English; looked up through Localization where it is shown to the user
    // What `reason`'s %@ placeholders stand for (a browser's name), in order.
    QStringList reasonArguments;
    // The browser a reason is about, by its table id, when the reason is guidance for
    // one browser (on Linux: where to install the extension); empty otherwise.
    QString browserBundleID;

    static BrowserTabStatus ready(int count) { return {Kind::ready, count, {}, {}, {}}; }
    static BrowserTabStatus degraded(int count, const QString& reason, const QStringList& arguments = {},
                                     const QString& browser = {})
    {
        return {Kind::degraded, count, reason, arguments, browser};
    }
    static BrowserTabStatus blocked(const QString& reason, const QStringList& arguments = {},
                                    const QString& browser = {})
    {
        return {Kind::blocked, 0, reason, arguments, browser};
    }
    static BrowserTabStatus unavailable() { return {}; }

    // The reason with its placeholders filled, in English (the diagnostics), or in the
    // interface's language (the settings window).
    QString reasonText() const;
    QString localizedReason() const;

    friend bool operator==(const BrowserTabStatus&, const BrowserTabStatus&) = default;
};

// The reasons the status carries.
namespace BrowserTabStatusReason {
inline constexpr const char* limitedTitles =
    QT_TRANSLATE_NOOP("Ostrevane", "Tab titles are limited. Enable Automation access for Ostrevane and the browser.");
inline constexpr const char* unavailable = QT_TRANSLATE_NOOP(
    "Ostrevane",
    "Browser tabs unavailable. Grant Automation access for supported browsers and restart the browser if needed.");
// Linux: the browser extension is what gives access; %@ is the browser's name.
inline constexpr const char* installExtension = QT_TRANSLATE_NOOP("Ostrevane", "Install the Ostrevane extension in %@.");
inline constexpr const char* limitedTitlesInstallExtension =
    QT_TRANSLATE_NOOP("Ostrevane", "Tab titles are limited. Install the Ostrevane extension in %@.");
inline constexpr const char* snapSandbox = QT_TRANSLATE_NOOP(
    "Ostrevane",
    "%@ is a Snap package, whose sandbox keeps its tabs from Ostrevane. Install the browser from your "
    "distribution's packages to switch to its tabs.");
inline constexpr const char* flatpakSandbox = QT_TRANSLATE_NOOP(
    "Ostrevane",
    "%@ is a Flatpak package, whose sandbox keeps its tabs from Ostrevane. Install the browser from your "
    "distribution's packages to switch to its tabs.");
} // namespace BrowserTabStatusReason

// Per-browser detail for the diagnostics. Names are the browser table's display names.
struct ProbeResult {
    QStringList runningBrowsers;
    QStringList automationReady;
    QStringList automationBlocked;
    QMap<QString, int> tabCounts; // tabs read by script, for the ready browsers
    // One line per browser on how its tabs are reached (Linux: extension, connector,
    // sandbox), never naming a tab; empty where the platform has nothing to add.
    QStringList details;

    friend bool operator==(const ProbeResult&, const ProbeResult&) = default;
};

// Asks the running supported browsers how far their tabs can be read. Both calls are
// synchronous and run browser scripts, so they can take seconds: never call them on
// the panel path. Implemented by the browser tab enumerator.
class BrowserStatusProbe {
public:
    virtual ~BrowserStatusProbe() = default;
    // `timeoutSeconds` bounds each script where the platform allows it.
    virtual BrowserTabStatus status(double timeoutSeconds) = 0;
    virtual ProbeResult probeAutomationForRunningBrowsers() = 0;
    // Whether the settings window's Settings button can help with `status`, and the help
    // itself: the privacy pane that grants Automation; on Linux the browser's extension
    // page and the folder to load the extension from. Main thread.
    virtual bool canOpenSettings(const BrowserTabStatus& status) const;
    virtual void openSettings(const BrowserTabStatus& status);
};

} // namespace ostrevane
