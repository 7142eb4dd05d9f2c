#pragma once

#include "core/shell/CommandLine.h"
#include "core/input/GlobalHotKey.h"
#include "core/panel/SwitcherPanelController.h"
#include "core/platform/Accessibility.h"
#include "core/platform/Dispatcher.h"
#include "core/platform/Workspace.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ostrevane {

// The first-run guide's window, as the application shell sees it.
class GuideWindow {
public:
    virtual ~GuideWindow() = default;
    // Brings the window to the front with keyboard focus and activates this program.
    virtual void bringToFront() = 0;
};

// Opens guide windows. However a window closes, `onDismiss` runs once; the shell drops
// the window there (an implementation must tolerate being destroyed inside it).
class GuideWindowFactory {
public:
    virtual ~GuideWindowFactory() = default;
    // Shows a new window in front, with keyboard focus, and activates this program.
    // `chordHeldElsewhere` answers, whenever the window asks, the activation chord as
    // shown while another program holds it, and nothing otherwise.
    virtual std::unique_ptr<GuideWindow> open(std::function<void()> onDismiss,
                                              std::function<std::optional<QString>()> chordHeldElsewhere) = 0;
};

// Other running copies of this program, for the single-instance rule. From the first
// call of others() until settle(), a copy starting meanwhile waits, so copies started at
// the same moment decide one after the other.
class RunningCopies {
public:
    struct Copy {
        ProcessID pid = 0;
        QString location; // standardized path; empty when unknown
    };
    virtual ~RunningCopies() = default;
    // This copy's standardized location; nothing when the program has no identity (the
    // rule is then skipped).
    virtual std::optional<QString> ownLocation() = 0;
    // The other copies running for this user, in the order the platform lists them.
    virtual std::vector<Copy> others() = 0;
    // The polite terminate request; returns once the copy has ended or given up waiting.
    virtual void terminate(const Copy& copy) = 0;
    // Hands this start's request to a running copy, which carries it out; false when the
    // copy did not take it.
    virtual bool handOver(const Copy& copy, const LaunchRequest& request) = 0;
    // This copy keeps running: from now on later copies find it, and their requests reach
    // `handler` on the main thread (a quit request ends the program without it).
    virtual void settle(std::function<void(const LaunchRequest&)> handler) = 0;
};

// The process's spine: the launch sequence, every observer and timer that ties desktop
// events and the program's notifications to the components, the activation hotkey and
// the guide window. Lives for the process; main thread only. Closures handed to
// observers, timers, delayed tasks and the hotkey hold the delegate weakly.
class AppDelegate {
public:
    static constexpr double testPanelDelay = 0.3;
    static constexpr double firstLaunchGuideDelay = 0.5;
    static constexpr double browserWarmupInterval = 18.0;

    struct Ports {
        SwitcherPanelController::PanelPorts panel;
        std::shared_ptr<GlobalHotKey::Registry> hotKeys;
        GuideWindowFactory* guide = nullptr;   // none: the guide is logged, not shown
        RunningCopies* copies = nullptr;       // none: every launch proceeds
        // A copy whose location starts with this counts as installed ("/Applications/").
        QString installedPrefix;
        // The self-installer's offer; true stops the launch. Empty: never offered.
        std::function<bool()> offerInstall;
        // Creates the menu-bar item, kept for the process's life. Empty: none.
        std::function<std::shared_ptr<void>()> makeStatusBar;
        // What this start was asked for (the command line).
        LaunchRequest request;
        // Opens the preferences window on a pane ("general", ...). Empty: logged only.
        std::function<void(const QString& pane)> openPreferences;
    };

    explicit AppDelegate(Ports ports);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // The launch sequence. False when this process must quit instead (another copy
    // takes precedence, or the self-installer took over); nothing else was started then.
    // A launch that goes on carries out its request (the switcher, the preferences).
    bool applicationDidFinishLaunching();
    // The process's exit status once the event loop ends or a launch stopped: 1 when
    // this start's request could not be handed to the running copy, else 0.
    int exitCode() const { return m_handOverFailed ? 1 : 0; }
    // Reopening the running program (launching it again from a menu) opens nothing.
    bool applicationShouldHandleReopen() const { return false; }

    // Replaces the activation hotkey with one for the stored chord, and beside it the
    // reverse chord (the same with Shift, unless the chord already has Shift), which opens
    // the switcher with the highlight moving backwards. The previous ones are released
    // (unregistered) after the new ones are registered. While suspended it only releases
    // the previous ones.
    void registerHotKeys();
    // Carries out a request of this start or of a later copy: a plain start of a later
    // copy and "preferences" open the preferences, "show" opens the switcher.
    void handleRequest(const LaunchRequest& request, bool fromLaterCopy);
    // The activation chord as shown, while another program holds it.
    std::optional<QString> activationChordHeldElsewhere() const;
    // Releases the activation hotkeys until every returned hold is dropped, so that a
    // shortcut recorder hears the chord itself instead of the switcher; the stored chord
    // (whatever it became meanwhile) is then registered again. A hold may outlive the
    // delegate.
    [[nodiscard]] std::shared_ptr<void> suspendHotKeys();
    bool areHotKeysSuspended() const { return m_hotKeySuspensions > 0; }
    // Raises the open guide window, or opens a new one at the permission or summon stage.
    void showGuide();
    // True when this process must quit. A copy hands its request over and quits when a
    // copy of the same location runs, or when it is not installed and an installed copy
    // runs; otherwise it asks every other copy (other locations) to quit and goes on.
    bool enforceSingleInstance();

    bool isTestMode() const { return m_testMode; }
    SwitcherPanelController* panelController() const { return m_panelController.get(); }
    GlobalHotKey* hotKeyForward() const { return m_hotKeyForward.get(); }
    GlobalHotKey* hotKeyBackward() const { return m_hotKeyBackward.get(); }
    bool isGuideOpen() const { return m_onboardingController != nullptr; }

private:
    void releaseHotKeys();
    template <class F>
    std::function<void()> weakly(F task);
    void warmCaches();
    void addNotificationObservers();
    void addWorkspaceObservers();
    void applicationActivated(const RunningApplication& app);
    void applicationTerminated();
    void scheduleBrowserWarmup();
    void browserWarmupFired();
    void scheduleFirstLaunchGuide();
    void openPreferences(const QString& pane);

    Ports m_ports;
    bool m_testMode = false;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0); // held weakly by closures

    std::unique_ptr<SwitcherPanelController> m_panelController;
    std::shared_ptr<void> m_statusBar;
    std::unique_ptr<GlobalHotKey> m_hotKeyForward;
    std::unique_ptr<GlobalHotKey> m_hotKeyBackward;
    std::optional<std::uint64_t> m_preferencesObserver;
    bool m_handOverFailed = false;
    int m_hotKeySuspensions = 0;
    std::optional<std::uint64_t> m_appActivationObserver;
    std::optional<std::uint64_t> m_appTerminationObserver;
    std::optional<std::uint64_t> m_windowListObserver;
    std::optional<std::uint64_t> m_hotkeyChangedObserver;
    std::optional<std::uint64_t> m_triggerObserver;
    std::optional<std::uint64_t> m_guideObserver;
    CancellableRef m_browserWarmupTimer;
    std::unique_ptr<GuideWindow> m_onboardingController;
};

// Opens a privacy page of the desktop's settings: the profile's prefix followed directly
// by `anchor` ("Privacy_Accessibility", "Privacy_Automation"). Text that does not form
// a valid address opens nothing.
void openPrivacyPane(const QString& anchor);

} // namespace ostrevane
