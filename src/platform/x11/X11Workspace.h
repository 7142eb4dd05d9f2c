#pragma once

#include "core/platform/Dispatcher.h"
#include "core/platform/Workspace.h"
#include "platform/x11/DesktopEntryIndex.h"
#include "platform/x11/DesktopEntryLauncher.h"
#include "platform/x11/ThemeIcons.h"
#include "platform/x11/WindowlessApplications.h"
#include "platform/x11/X11Clients.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ostrevane {

struct PlatformProfile;

// The workspace on X11: running applications are the processes that own managed client
// windows, one per pid, ordered by their topmost window (stacking order, topmost
// first), followed by the running applications without windows (WindowlessApplications).
// Each is matched to a desktop entry (bundleIdentifier = desktop id, bundlePath = the
// entry file, localizedName = Name[locale]); without an entry it is named by WM_CLASS
// and known as "x11:<class>", its executable standing in for the bundle. Regular
// activation policy = it owns a task-bar window (normal or dialog, not skip-taskbar), or
// it is an application without windows; others are accessory. None of this program's
// own windows makes it an application; while one of them has the focus, the frontmost
// application is the one that had it before.
//
// activate = _NET_ACTIVE_WINDOW on its most recently active window; hide = iconify its
// windows (the focus the manager hands to each meanwhile is no activation); terminate =
// _NET_CLOSE_WINDOW to each of its windows. openApplication launches a desktop entry as
// DesktopEntryLauncher describes (or activates it when running) and completes once its
// first window appears, or at once with the reason when it cannot be started. Activation events (another application, or another window of the
// same one, got the focus), termination events and window-list changes come from the
// backend connection's event thread and reach observers on the main queue. The event
// thread only notes what changed: the listings (which read every window) for terminations
// and activations are made on the main queue, one for each burst of changes, so a desktop
// whose windows come and go by the hundred per second leaves no events piling up behind
// them.
//
// A process's description (executable, desktop entry, name, icon) is read once while
// its pid owns client windows, and again when the applications folders change. A
// listing is reused while nothing the window snapshot holds has changed (with every
// event the server sent before it handled). Each listing starts an enumeration: the
// window reads that follow it see the changes made before them
// (X11Clients::beginEnumeration). runningApplication answers from the last listing when
// that holds the pid (a process that has quit meanwhile is found there too; acting on
// it does nothing). Every call may come from any thread; requests about a pid that has
// no windows any more do nothing.
class X11Workspace : public Workspace {
public:
    // How long a launched program may take to show its first window before the open
    // request completes without an application.
    static constexpr double launchWindowTimeout = 20.0;
    // A program whose event loop runs answers a ping within milliseconds.
    static constexpr std::chrono::milliseconds pingTimeout{1000};

    X11Workspace(std::shared_ptr<X11Clients> clients, Dispatcher& dispatcher, const PlatformProfile& profile,
                 TerminalSources terminals = TerminalSources::fromEnvironment());
    ~X11Workspace() override;
    X11Workspace(const X11Workspace&) = delete;
    X11Workspace& operator=(const X11Workspace&) = delete;

    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<RunningApplication> runningApplication(ProcessID pid) override;

    void activate(ProcessID pid, ActivationOption options) override;
    void hide(ProcessID pid) override;
    void terminate(ProcessID pid) override;
    // Stopped (SIGSTOP, a debugger) or, for a window that takes pings, an unanswered
    // ping `pingTimeout` old; a window's first question sends the ping.
    Responsiveness responsiveness(ProcessID pid, std::optional<quint32> windowNumber) override;

    void openApplication(const QString& path, bool activates, OpenCompletion completion) override;
    bool openURL(const QString& url) override;
    ImageHandle iconForFile(const QString& path) override;

    Token observeActivation(AppObserver observer) override;
    void catchUpWithActivations() override;
    Token observeTermination(AppObserver observer) override;
    Token observeWindowListChange(std::function<void()> observer) override;
    void removeObserver(Token token) override;

private:
    struct Snapshot;
    struct PendingLaunch;
    struct Observers;
    struct Lifetime;

    struct Description;
    struct Listing;

    std::vector<RunningApplication> listApplications();
    std::vector<RunningApplication> currentApplications();
    void appendWindowless(std::vector<RunningApplication>& apps);
    Snapshot snapshot();
    void forgetDescriptions(const Snapshot& current);
    // The last application other than this program that had the focus.
    std::optional<ProcessID> frontmostPid() const;
    bool entryFoldersChanged();
    RunningApplication describe(ProcessID pid, const X11Client& window, bool regular);
    Description describeAfresh(ProcessID pid, const X11Client& window);
    std::optional<DesktopEntry> entryFor(const X11Client& window, const QString& executable);
    void resolveIcon(Description& description, xcb_window_t window);
    ImageHandle windowIcon(xcb_window_t window);
    std::optional<xcb_window_t> mostRecentWindow(ProcessID pid);

    void launch(const DesktopEntry& entry, bool activates, OpenCompletion completion);
    void watchLaunch(ProcessID pid, const QString& desktopID, const QString& startupID, bool activates,
                     OpenCompletion completion);
    void settleLaunches(const std::vector<RunningApplication>& apps);
    void expireLaunch(quint64 launchID);

    void onEvent(const xcb_generic_event_t& event);
    void onMainQueue(std::atomic<bool>& queued, std::function<void()> task);
    void onActiveWindowChanged();
    bool queueActivation();
    void postActivations();
    std::optional<ProcessID> recordActiveWindow();
    void onClientListChanged();
    void postWindowListChange();
    Token addObserver(bool activation, AppObserver observer);
    void post(bool activation, RunningApplication app);

    std::shared_ptr<X11Clients> m_clients;
    X11Connection& m_connection;
    Dispatcher& m_dispatcher;
    const PlatformProfile& m_profile;
    DesktopEntryIndex m_entries;
    DesktopEntryLauncher m_launcher;
    WindowlessApplications m_windowless;
    std::shared_ptr<ThemeIcons> m_icons;
    const ProcessID m_ownPid;
    X11Connection::Token m_eventToken = 0;
    std::shared_ptr<Observers> m_observers; // held weakly by queued notifications
    std::shared_ptr<Lifetime> m_lifetime;   // held weakly by queued work of the workspace
    std::atomic<bool> m_clientListQueued = false;
    std::atomic<bool> m_activationsQueued = false;

    mutable std::mutex m_lock; // guards everything below
    std::map<ProcessID, xcb_window_t> m_recentWindow;       // last active window per pid
    std::map<ProcessID, RunningApplication> m_known;        // apps seen at the last list change
    std::map<xcb_window_t, ImageHandle> m_windowIcons;      // _NET_WM_ICON, read once per window
    std::map<ProcessID, Description> m_descriptions;        // of pids that own client windows
    std::vector<qint64> m_entryFolderStamps;                // when the descriptions were read
    std::shared_ptr<const Listing> m_listing;               // the last listing and its change count
    std::optional<ProcessID> m_frontmostPid;                // never this program's own
    std::optional<ProcessID> m_activePid;                   // the active window's owner, ours too
    std::vector<ProcessID> m_activated;                     // activations not yet posted
    std::map<quint64, std::shared_ptr<PendingLaunch>> m_launches;
    quint64 m_lastLaunchID = 0;
};

} // namespace ostrevane
