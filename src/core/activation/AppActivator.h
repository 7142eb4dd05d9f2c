#pragma once

#include "core/activation/CloseCapability.h"
#include "core/model/SwitchItem.h"
#include "core/platform/Clock.h"
#include "core/platform/Dispatcher.h"
#include "core/platform/Workspace.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace ostrevane {

class Accessibility;
class MediaControl;
class ProcessSignals;
class UserDefaults;
struct PlatformProfile;

// What inspecting an application's windows found: a modal dialog or sheet, none (or no
// windows at all), or nothing readable.
enum class ModalDialogState { present, absent, indeterminate };

// Launches and activates applications, and quits them from the switcher.
//
// Quitting is a small state machine per bundle id: the first close sends a polite
// terminate and looks again 1.2 s later (bringing forward an application whose modal
// dialog blocks the quit; otherwise, where the profile asks for it, sending the polite
// quit signal, SIGTERM on Linux, to what still runs); a second close within 6.0 s
// force-quits (SIGKILL, a second pass 0.6 s later, a survival check at 2.0 s). An application that survives is marked
// for 600 s, persisted across restarts, and is not offered for quitting meanwhile.
//
// Everything except the background work named below runs on the main thread; the two
// tables need no lock for that reason. Background work (modal checks, kills, the media
// pause) runs in order on one utility-priority serial queue, so a player is paused
// before it is killed, and reports back only by scheduling on the main queue. Delayed
// and background tasks hold the activator weakly and do nothing once it is gone.
class AppActivator : public std::enable_shared_from_this<AppActivator> {
public:
    static inline const QString forceQuitIneffectiveKey = QStringLiteral("forceQuitIneffectiveUntil.v1");
    // A second close within this many seconds of a polite quit force-quits.
    static constexpr double quitRepeatWindow = 6.0;
    static constexpr double quitFollowUpDelay = 1.2;
    static constexpr double forceQuitSecondPassDelay = 0.6;
    static constexpr double forceQuitSurvivalCheckDelay = 2.0;
    static constexpr double forceQuitIneffectiveDuration = 600.0;
    static constexpr int killSignal = 9; // SIGKILL
    // Reasons carried by blocked capabilities (never shown).
    static inline const QString protectedReason = QStringLiteral("Protected app");
    static inline const QString ineffectiveReason = QStringLiteral("Force quit ineffective");
    static inline const QString browserReason = QStringLiteral("Close tabs instead");
    // Prefix of the one log line written when a launch fails.
    static inline const QString failedOpenMessage = QStringLiteral("[Ostrevane] Failed to open app ");

    struct Ports {
        Dispatcher& dispatcher;
        Clock& clock;
        UserDefaults& defaults;
        const PlatformProfile& profile;
        Accessibility& accessibility;
        Workspace& workspace;
        ProcessSignals& processSignals;
        MediaControl& mediaControl;
    };

    // Construct through std::make_shared (delayed tasks hold the activator weakly).
    explicit AppActivator(Ports ports);
    static AppActivator& shared();

    // A launch that failed: the application and why (the workspace's words, in English).
    struct LaunchFailure {
        QString appName;
        QString appPath;
        QString reason;
    };
    using Token = std::uint64_t;

    // Launches the application at `app.path`, or brings it forward when it runs. The
    // file manager goes through ensureFinderWindow(). A failed launch is logged; where
    // the profile says that opening the bundle's address launches it, that is tried
    // once more. Then the launch-failure observers hear of it.
    void activate(const AppItem& app);
    // Called on the main queue for every failed launch, after it was logged: the place
    // where a failure is shown to the user (a desktop notification).
    Token observeLaunchFailures(std::function<void(const LaunchFailure&)> observer);
    void removeLaunchFailureObserver(Token token);
    // Opens (or brings forward) the file manager, then opens the home folder in it, so
    // a window exists whether or not the file manager had one.
    void ensureFinderWindow();

    // What closing this application's row does. Protected and known-survivor ids, ids
    // marked after a failed force quit, and browsers are blocked; otherwise `quit` while
    // a live instance (running, not terminated, regular policy) exists, else `none`.
    CloseCapability closeCapability(const QString& bundleID);
    // A polite quit, or a force quit when repeated within 6.0 s. Does nothing unless the
    // capability is `quit`.
    void quit(const QString& bundleID);
    // Closes a window row. A second close within 6.0 s of the first, while the window's
    // program does not respond and owns no other window, force-quits that process
    // (SIGKILL); every other close presses the window's close button.
    void closeWindow(const WindowItem& window);
    // For a window closed within the last 6.0 s whose program does not respond: whether
    // closing it again force-quits (it owns no other window) or the row can only say so.
    HungWindow hungWindowState(const WindowItem& window);

    // The bundle ids of which some running, non-terminated instance has a bundle location
    // that the user-launchable test accepts (the panel checks with it whether a quit took
    // effect, and which inactive app rows to list).
    QSet<QString> runningUserAppIDs();

    // Kills `running` (leaving for the second pass any process that shows a modal
    // dialog, which is brought forward instead), kills again 0.6 s later and marks the
    // application if something is still alive after 2.0 s.
    void forceQuit(const QString& bundleID, const std::vector<RunningApplication>& running);
    // Tells a known media player to pause, off the main thread; other ids do nothing.
    void pausePlaybackIfMediaAsync(const QString& bundleID);
    // Reads the process's windows through accessibility. Safe off the main thread.
    ModalDialogState modalDialogState(ProcessID pid);
    // True while a force-quit mark lies in the future; an expired mark is removed (and
    // the table saved) when asked.
    bool isTemporarilyForceQuitIneffective(const QString& bundleID);

    // Running, not terminated and with a regular activation policy, in workspace order.
    std::vector<RunningApplication> liveInstances(const QString& bundleID);

private:
    void reportLaunchFailure(const LaunchFailure& failure);
    void followUpAfterPoliteQuit(const QString& bundleID);
    // True when one of them shows a modal dialog, which is brought forward.
    bool bringForwardFirstModal(const std::vector<ProcessID>& pids);
    void signalPoliteQuit(const std::vector<ProcessID>& pids);
    void killUnlessModal(const std::vector<ProcessID>& pids);
    void scheduleForceQuitChecks(const QString& bundleID);
    void secondKillPass(const QString& bundleID);
    void markIfSurvived(const QString& bundleID);
    bool isPendingQuitRecent(const QString& bundleID, WallTime now) const;
    bool ownsOtherWindows(const WindowItem& window);
    void runInBackground(std::function<void(AppActivator&)> task);
    void onMain(std::function<void(AppActivator&)> task);
    void afterDelay(double delaySeconds, std::function<void(AppActivator&)> task);
    QHash<QString, WallTime>& forceQuitIneffectiveUntil();
    void loadForceQuitIneffectiveUntil();
    void saveForceQuitIneffectiveUntil();

    Ports m_ports;
    std::shared_ptr<SerialQueue> m_background;
    // Main thread only.
    QHash<QString, WallTime> m_pendingQuitAt;
    std::map<Token, std::function<void(const LaunchFailure&)>> m_launchFailureObservers;
    Token m_lastObserverToken = 0;
    QHash<quint32, WallTime> m_pendingWindowCloseAt; // by window number
    std::optional<QHash<QString, WallTime>> m_forceQuitIneffectiveUntil; // loaded on first use
};

// The program's way for rows to reach activation and closing: windows and tabs go to
// their enumerators, applications to the shared AppActivator.
class SwitchItemActivator : public SwitchItemActions {
public:
    void activateWindow(const WindowItem& window) override;
    void activateTab(const TabItem& tab) override;
    void ensureFinderWindow() override;
    void launchOrActivateApp(const AppItem& app) override;
    void closeTab(const TabItem& tab) override;
    void quit(const QString& bundleID) override;
    CloseCapability appCloseCapability(const QString& bundleID) override;
    QSet<QString> runningUserAppIDs() override;
    void closeWindow(const WindowItem& window) override;
    HungWindow hungWindowState(const WindowItem& window) override;
};

} // namespace ostrevane
