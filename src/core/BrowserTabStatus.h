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

    static BrowserTabStatus ready(int count) { return {Kind::ready, count, {}}; }
    static BrowserTabStatus degraded(int count, const QString& reason) { return {Kind::degraded, count, reason}; }
    static BrowserTabStatus blocked(const QString& reason) { return {Kind::blocked, 0, reason}; }
    static BrowserTabStatus unavailable() { return {}; }

    friend bool operator==(const BrowserTabStatus&, const BrowserTabStatus&) = default;
};

// The reasons the status carries.
namespace BrowserTabStatusReason {
inline constexpr const char* limitedTitles =
    QT_TRANSLATE_NOOP("Ostrevane", "Tab titles are limited. Enable Automation access for Ostrevane and the browser.");
inline constexpr const char* unavailable = QT_TRANSLATE_NOOP(
    "Ostrevane",
    "Browser tabs unavailable. Grant Automation access for supported browsers and restart the browser if needed.");
} // namespace BrowserTabStatusReason

// Per-browser detail for the diagnostics. Names are the browser table's display names.
struct ProbeResult {
    QStringList runningBrowsers;
    QStringList automationReady;
    QStringList automationBlocked;
    QMap<QString, int> tabCounts; // tabs read by script, for the ready browsers

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
};

} // namespace ostrevane
