#include "platform/x11/X11Workspace.h"

#include "core/shell/PlatformProfile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <set>
#include <utility>

#include <unistd.h>

namespace ostrevane {

namespace {

const QString folderIcon = QStringLiteral("folder");
const QString genericAppIcon = QStringLiteral("application-x-executable");
const QString genericFileIcon = QStringLiteral("text-x-generic");
const QString urlOpener = QStringLiteral("xdg-open");

std::optional<QString> executableOf(ProcessID pid)
{
    const QString target = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (target.isEmpty())
        return std::nullopt; // gone, or another user's process
    return target;
}

std::optional<QString> nonEmpty(const QString& text)
{
    return text.isEmpty() ? std::nullopt : std::optional(text);
}

// The application of `pid`, moved out of a listing.
std::optional<RunningApplication> take(std::vector<RunningApplication>& apps, ProcessID pid)
{
    const auto app = std::find_if(apps.begin(), apps.end(), [pid](const auto& a) { return a.processIdentifier == pid; });
    return app != apps.end() ? std::optional(std::move(*app)) : std::nullopt;
}

} // namespace

// The running applications at one moment, with each one's windows, topmost first.
struct X11Workspace::Snapshot {
    std::vector<RunningApplication> apps;
    std::map<ProcessID, std::vector<X11Client>> windows;
};

// What a process is, as far as it cannot change while it runs. The icon is looked up
// again until the theme has answered for the entry (it may not have in time).
struct X11Workspace::Description {
    RunningApplication app; // activation policy left to each listing
    std::optional<DesktopEntry> entry;
    bool iconSettled = true;
};

struct X11Workspace::Listing {
    quint64 changeCount = 0; // X11Clients' change count before the listing was read
    std::vector<RunningApplication> apps;
};

struct X11Workspace::PendingLaunch {
    ProcessID pid = 0; // 0 when started over the bus
    QString desktopID;
    QString startupID;
    bool activates = true;
    OpenCompletion completion;
    CancellableRef timeout;
};

struct X11Workspace::Lifetime {
    std::mutex lock; // held while a main-queue task of the workspace runs
    bool alive = true;
};

struct X11Workspace::Observers {
    std::mutex lock;
    Token last = 0;
    std::map<Token, std::pair<bool, AppObserver>> all; // activation?, observer
    std::map<Token, std::function<void()>> windowList;
    std::atomic<bool> windowListChangeQueued = false;
};

X11Workspace::X11Workspace(std::shared_ptr<X11Clients> clients, Dispatcher& dispatcher, const PlatformProfile& profile,
                           TerminalSources terminals)
    : m_clients(std::move(clients))
    , m_connection(m_clients->connection())
    , m_dispatcher(dispatcher)
    , m_profile(profile)
    , m_entries(profile.scanRoots)
    , m_launcher(m_connection.shared_from_this(), dispatcher, std::move(terminals))
    , m_windowless(m_entries, m_connection.displayName(), static_cast<ProcessID>(::getpid()))
    , m_icons(std::make_shared<ThemeIcons>(dispatcher))
    , m_ownPid(static_cast<ProcessID>(::getpid()))
    , m_observers(std::make_shared<Observers>())
    , m_lifetime(std::make_shared<Lifetime>())
{
    recordActiveWindow();
    m_eventToken = m_connection.addEventHandler([this](const xcb_generic_event_t& event) { onEvent(event); });
    // The starting state, so that later list changes report only real changes. It reads
    // every window, so it is taken once the loop runs, not on the way to the hotkey.
    onMainQueue(m_clientListQueued, [this] { onClientListChanged(); });
}

X11Workspace::~X11Workspace()
{
    {
        std::lock_guard lock(m_lifetime->lock); // waits for a main-queue task under way
        m_lifetime->alive = false;
    }
    m_connection.removeEventHandler(m_eventToken);
}

// ---- Running applications

X11Workspace::Snapshot X11Workspace::snapshot()
{
    const std::vector<X11WindowRecord> records = m_clients->allRecords();
    Snapshot result;
    std::vector<ProcessID> order;
    std::set<ProcessID> regular;
    for (const X11WindowRecord& record : records) {
        const ProcessID pid = record.client.pid;
        if (pid < 1 || !record.state.exists)
            continue;
        if (!result.windows.contains(pid))
            order.push_back(pid);
        result.windows[pid].push_back(record.client);
        if (record.state.isTaskbarWindow())
            regular.insert(pid);
    }
    forgetDescriptions(result);
    // Equal recency falls back to this order: the application in front first (on X11 the
    // window on top of the stack need not be the one with the focus), then stacking order.
    if (const std::optional<ProcessID> front = frontmostPid())
        std::stable_partition(order.begin(), order.end(), [&](ProcessID pid) { return pid == *front; });
    for (const ProcessID pid : order) {
        // None of this program's windows (the panel, the guide, the settings) is
        // anything to switch to, hide or quit.
        if (pid == m_ownPid)
            continue;
        result.apps.push_back(describe(pid, result.windows[pid].front(), regular.contains(pid)));
    }
    return result;
}

// Pids are reused: a description lives only while its pid owns client windows.
void X11Workspace::forgetDescriptions(const Snapshot& current)
{
    std::lock_guard lock(m_lock);
    std::erase_if(m_descriptions, [&](const auto& entry) { return !current.windows.contains(entry.first); });
}

// An entry installed or removed may match a running program differently.
bool X11Workspace::entryFoldersChanged()
{
    std::vector<qint64> stamps;
    for (const QString& folder : m_profile.scanRoots)
        stamps.push_back(QFileInfo(folder).lastModified().toMSecsSinceEpoch());
    std::lock_guard lock(m_lock);
    if (stamps == m_entryFolderStamps)
        return false;
    m_entryFolderStamps = std::move(stamps);
    return true;
}

RunningApplication X11Workspace::describe(ProcessID pid, const X11Client& window, bool regular)
{
    std::optional<Description> known;
    {
        std::lock_guard lock(m_lock);
        if (const auto found = m_descriptions.find(pid); found != m_descriptions.end())
            known = found->second;
    }
    Description description = known ? std::move(*known) : describeAfresh(pid, window);
    if (!known || !description.iconSettled) {
        if (known)
            resolveIcon(description, window.window);
        std::lock_guard lock(m_lock);
        m_descriptions.insert_or_assign(pid, description);
    }
    RunningApplication app = std::move(description.app);
    app.activationPolicy = regular ? ActivationPolicy::regular : ActivationPolicy::accessory;
    return app;
}

X11Workspace::Description X11Workspace::describeAfresh(ProcessID pid, const X11Client& window)
{
    Description description;
    RunningApplication& app = description.app;
    app.processIdentifier = pid;
    app.executablePath = executableOf(pid);
    description.entry = entryFor(window, app.executablePath.value_or(QString()));
    const std::optional<DesktopEntry>& entry = description.entry;
    if (entry) {
        app.bundleIdentifier = entry->id;
        app.bundlePath = entry->path;
    } else if (const std::optional<QString> name = DesktopEntryIndex::windowClassName(
                   ProgramIdentity{window.instance, window.windowClass, app.executablePath.value_or(QString())})) {
        // Known only by its windows: recency, ignore lists, quitting and Show Desktop
        // need an identity all the same. Its program stands in for a bundle.
        app.bundleIdentifier = m_profile.windowClassIDPrefix + *name;
        app.bundlePath = app.executablePath;
    }
    const QString executableName = app.executablePath ? QFileInfo(*app.executablePath).fileName() : QString();
    app.localizedName = entry ? nonEmpty(entry->localizedName) : std::nullopt;
    if (!app.localizedName)
        app.localizedName = nonEmpty(!window.windowClass.isEmpty() ? window.windowClass
                                     : !window.instance.isEmpty() ? window.instance
                                                                  : executableName);
    resolveIcon(description, window.window);
    return description;
}

std::optional<DesktopEntry> X11Workspace::entryFor(const X11Client& window, const QString& executable)
{
    return m_entries.match(ProgramIdentity{window.instance, window.windowClass, executable});
}

// The entry's themed icon, else the window's own.
void X11Workspace::resolveIcon(Description& description, xcb_window_t window)
{
    const ImageHandle themed = description.entry ? m_icons->icon(description.entry->icon) : nullptr;
    description.iconSettled = !description.entry || themed != nullptr;
    description.app.icon = themed ? themed : windowIcon(window);
}

ImageHandle X11Workspace::windowIcon(xcb_window_t window)
{
    {
        std::lock_guard lock(m_lock);
        if (auto found = m_windowIcons.find(window); found != m_windowIcons.end())
            return found->second;
    }
    // _NET_WM_ICON may be large: it is read once per window.
    ImageHandle icon = m_clients->icon(window, ThemeIcons::iconSize);
    std::lock_guard lock(m_lock);
    m_windowIcons[window] = icon;
    return icon;
}

// Each listing starts an enumeration: the window reads that follow see the desktop as it
// is then, not as an earlier enumeration saw it.
std::vector<RunningApplication> X11Workspace::runningApplications() { return listApplications(); }

// Our own calls, some on the event thread, never dispatch virtually: a subclass may be
// half destroyed while the event thread still runs a handler of ours.
std::vector<RunningApplication> X11Workspace::listApplications()
{
    std::vector<RunningApplication> apps = currentApplications();
    appendWindowless(apps);
    m_clients->beginEnumeration();
    return apps;
}

// After those with windows: a tray program whose window is closed, say. They are user
// applications (regular), so they can be quit; activating one starts its entry again,
// which is how such programs show their window.
void X11Workspace::appendWindowless(std::vector<RunningApplication>& apps)
{
    WindowlessApplications::Windowed windowed;
    for (const RunningApplication& app : apps) {
        windowed.pids.insert(app.processIdentifier);
        if (app.bundleIdentifier)
            windowed.applicationIDs.insert(*app.bundleIdentifier);
    }
    for (const WindowlessApplications::Found& found : m_windowless.find(windowed)) {
        RunningApplication app;
        app.processIdentifier = found.pid;
        app.bundleIdentifier = found.entry.id;
        app.localizedName = nonEmpty(found.entry.localizedName);
        app.icon = m_icons->icon(found.entry.icon);
        app.bundlePath = found.entry.path;
        app.executablePath = found.executable;
        app.activationPolicy = ActivationPolicy::regular;
        apps.push_back(std::move(app));
    }
}

// The panel lists the applications several times per showing; while no window came,
// went, restacked or changed, the last listing still holds.
std::vector<RunningApplication> X11Workspace::currentApplications()
{
    const std::optional<quint64> changeCount = m_clients->settledChangeCount();
    const bool foldersChanged = entryFoldersChanged();
    {
        std::lock_guard lock(m_lock);
        if (foldersChanged)
            m_descriptions.clear();
        else if (changeCount && m_listing && m_listing->changeCount == *changeCount)
            return m_listing->apps;
    }
    std::vector<RunningApplication> apps = snapshot().apps;
    if (changeCount) {
        std::lock_guard lock(m_lock);
        m_listing = std::make_shared<const Listing>(Listing{*changeCount, apps});
    }
    return apps;
}

// Activating a row asks this first, between the key release and the activation request:
// the last listing (the one the panel was built from) is recent enough to tell that a
// process runs, where a fresh one would read every window first. A pid it does not hold
// is looked up in a fresh listing.
std::optional<RunningApplication> X11Workspace::runningApplication(ProcessID pid)
{
    {
        std::lock_guard lock(m_lock);
        if (m_listing)
            for (const RunningApplication& app : m_listing->apps)
                if (app.processIdentifier == pid)
                    return app;
    }
    std::vector<RunningApplication> apps = listApplications();
    return take(apps, pid);
}

// The owner of the active window as the event thread last saw it: the listing first waits
// until every change the server reported before is handled, so no round trip of its own.
std::optional<RunningApplication> X11Workspace::frontmostApplication()
{
    std::vector<RunningApplication> apps = listApplications();
    std::optional<ProcessID> active, previous;
    {
        std::lock_guard lock(m_lock);
        active = m_activePid;
        previous = m_frontmostPid;
    }
    if (active && *active != m_ownPid)
        return take(apps, *active);
    // The panel takes the keys with a grab and leaves the focus alone; should it or one
    // of our other windows have the focus, the application in front is still the one the
    // user came from.
    return previous ? take(apps, *previous) : std::nullopt;
}

std::optional<ProcessID> X11Workspace::frontmostPid() const
{
    std::lock_guard lock(m_lock);
    return m_frontmostPid;
}

// ---- Requests

std::optional<xcb_window_t> X11Workspace::mostRecentWindow(ProcessID pid)
{
    const std::vector<xcb_window_t> windows = m_clients->taskbarWindows(pid);
    if (windows.empty())
        return std::nullopt;
    std::lock_guard lock(m_lock);
    const auto recent = m_recentWindow.find(pid);
    if (recent != m_recentWindow.end() && std::find(windows.begin(), windows.end(), recent->second) != windows.end())
        return recent->second;
    return windows.front(); // never active since we started: the topmost
}

void X11Workspace::activate(ProcessID pid, ActivationOption options)
{
    const std::optional<xcb_window_t> target = mostRecentWindow(pid);
    if (!target)
        return;
    if (options == ActivationOption::activateAllWindows) {
        // The others first, bottom to top, so the most recent one ends up in front.
        std::vector<xcb_window_t> others = m_clients->taskbarWindows(pid);
        const std::vector<X11ClientState> states = m_clients->states(others);
        for (size_t i = others.size(); i-- > 0;)
            if (others[i] != *target && !states[i].hidden)
                m_clients->activate(others[i]);
    }
    m_clients->activate(*target);
}

void X11Workspace::hide(ProcessID pid)
{
    for (const xcb_window_t window : m_clients->taskbarWindows(pid))
        m_clients->iconify(window);
}

void X11Workspace::terminate(ProcessID pid)
{
    for (const X11Client& client : m_clients->stacking())
        if (client.pid == pid)
            m_clients->close(client.window);
}

Responsiveness X11Workspace::responsiveness(ProcessID pid, std::optional<quint32> windowNumber)
{
    const QList<QByteArray> stat = WindowlessApplications::statFields(QStringLiteral("/proc"), pid);
    if (!stat.isEmpty() && (stat.front() == "T" || stat.front() == "t"))
        return Responsiveness::notResponding;
    if (!windowNumber)
        return Responsiveness::unknown;
    const X11Clients::Ping ping = m_clients->pingState(*windowNumber);
    switch (ping.state) {
    case X11Clients::PingState::answered:
        return Responsiveness::responding;
    case X11Clients::PingState::waiting:
        return ping.waited >= pingTimeout ? Responsiveness::notResponding : Responsiveness::unknown;
    case X11Clients::PingState::none:
        m_clients->ping(*windowNumber);
        break;
    }
    return Responsiveness::unknown;
}

void X11Workspace::openApplication(const QString& path, bool activates, OpenCompletion completion)
{
    const std::optional<DesktopEntry> entry = m_entries.entry(path);
    for (const RunningApplication& app : listApplications()) {
        // A program without an entry stands for itself by its executable's path. One
        // without a window is started again: that is how such programs show one.
        const bool same = app.bundlePath == path || (entry && app.bundleIdentifier == entry->id);
        if (same && app.activationPolicy == ActivationPolicy::regular && mostRecentWindow(app.processIdentifier)) {
            if (activates)
                activate(app.processIdentifier, ActivationOption::none);
            if (completion)
                completion(app, std::nullopt);
            return;
        }
    }
    if (!entry) {
        if (completion)
            completion(std::nullopt, QStringLiteral("not an application entry: ") + path);
        return;
    }
    launch(*entry, activates, std::move(completion));
}

// A launch that failed completes with its reason.
void X11Workspace::launch(const DesktopEntry& entry, bool activates, OpenCompletion completion)
{
    m_launcher.launch(entry, [this, alive = std::weak_ptr(m_observers), desktopID = entry.id, activates,
                              completion = std::move(completion)](const QString& startupID, std::optional<ProcessID> pid,
                                                                   std::optional<QString> error) mutable {
        if (!alive.lock())
            return;
        if (error) {
            if (completion)
                completion(std::nullopt, error);
            return;
        }
        watchLaunch(pid.value_or(0), desktopID, startupID, activates, std::move(completion));
    });
}

void X11Workspace::watchLaunch(ProcessID pid, const QString& desktopID, const QString& startupID, bool activates,
                               OpenCompletion completion)
{
    auto pending =
        std::make_shared<PendingLaunch>(PendingLaunch{pid, desktopID, startupID, activates, std::move(completion), {}});
    quint64 id = 0;
    {
        std::lock_guard lock(m_lock);
        id = ++m_lastLaunchID;
    }
    // Armed before the launch is visible to the event thread, which may settle it at once.
    pending->timeout = m_dispatcher.asyncAfter(launchWindowTimeout, [alive = std::weak_ptr(m_observers), this, id] {
        if (alive.lock())
            expireLaunch(id);
    });
    {
        std::lock_guard lock(m_lock);
        m_launches.emplace(id, pending);
    }
    // The window may have come before the launch was registered.
    settleLaunches(listApplications());
}

// A launch is settled by the first window of its process, or of any process the same
// entry describes (launcher scripts hand over to another process).
void X11Workspace::settleLaunches(const std::vector<RunningApplication>& apps)
{
    std::vector<std::pair<std::shared_ptr<PendingLaunch>, RunningApplication>> settled;
    {
        std::lock_guard lock(m_lock);
        for (auto it = m_launches.begin(); it != m_launches.end();) {
            const PendingLaunch& launch = *it->second;
            const auto app = std::find_if(apps.begin(), apps.end(), [&](const RunningApplication& a) {
                return a.activationPolicy == ActivationPolicy::regular
                    && (a.processIdentifier == launch.pid || a.bundleIdentifier == launch.desktopID);
            });
            if (app == apps.end()) {
                ++it;
                continue;
            }
            settled.emplace_back(it->second, *app);
            it = m_launches.erase(it);
        }
    }
    for (auto& [launch, app] : settled) {
        launch->timeout->cancel();
        m_launcher.finish(launch->startupID);
        if (launch->activates)
            activate(app.processIdentifier, ActivationOption::none);
        if (launch->completion)
            launch->completion(app, std::nullopt);
    }
}

// Started but no window in time (a program that only runs in the background, or is
// slow): not a failure, so nothing is retried.
void X11Workspace::expireLaunch(quint64 launchID)
{
    std::shared_ptr<PendingLaunch> launch;
    {
        std::lock_guard lock(m_lock);
        const auto found = m_launches.find(launchID);
        if (found == m_launches.end())
            return;
        launch = found->second;
        m_launches.erase(found);
    }
    m_launcher.finish(launch->startupID);
    if (launch->completion)
        launch->completion(std::nullopt, std::nullopt);
}

bool X11Workspace::openURL(const QString& url)
{
    QProcess process;
    process.setProgram(urlOpener);
    process.setArguments({url});
    // Programs we start appear on the display we manage, whatever $DISPLAY says.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(m_connection.displayName()));
    process.setProcessEnvironment(environment);
    return process.startDetached();
}

ImageHandle X11Workspace::iconForFile(const QString& path)
{
    if (path.endsWith(DesktopEntryReader::extension)) {
        const std::optional<DesktopEntry> entry = m_entries.entry(path);
        if (entry)
            if (ImageHandle icon = m_icons->icon(entry->icon))
                return icon;
        return m_icons->icon(genericAppIcon);
    }
    return m_icons->icon(QFileInfo(path).isDir() ? folderIcon : genericFileIcon);
}

// ---- Events

void X11Workspace::onEvent(const xcb_generic_event_t& event)
{
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return;
    const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    if (change.window != m_connection.root()) {
        // A new title or state changes a row as much as a new window does: a page that
        // names its window a moment after it maps is listed by that name.
        if (m_clients->isRecordedProperty(change.atom))
            postWindowListChange();
        return;
    }
    const xcb_ewmh_connection_t& e = m_connection.ewmh();
    if (change.atom == e._NET_ACTIVE_WINDOW)
        onActiveWindowChanged();
    else if (change.atom == e._NET_CLIENT_LIST)
        onMainQueue(m_clientListQueued, [this] { onClientListChanged(); });
    // Showing another desktop changes which windows are out of view.
    if (change.atom == e._NET_CLIENT_LIST || change.atom == e._NET_CLIENT_LIST_STACKING
        || change.atom == e._NET_CURRENT_DESKTOP)
        postWindowListChange();
}

// The event thread only notes what changed: work that reads every window runs on the main
// queue, once for all the changes that came while it was queued. `queued` joins them. The
// task runs only while the workspace lives, and the workspace waits for a task under way.
void X11Workspace::onMainQueue(std::atomic<bool>& queued, std::function<void()> task)
{
    if (queued.exchange(true))
        return;
    m_dispatcher.async([weak = std::weak_ptr(m_lifetime), &queued, task = std::move(task)] {
        const std::shared_ptr<Lifetime> lifetime = weak.lock();
        if (!lifetime)
            return;
        std::lock_guard lock(lifetime->lock);
        if (!lifetime->alive)
            return;
        queued = false;
        task();
    });
}

// One notification for a burst of changes (an activation restacks and focuses within
// milliseconds): a change that arrives while one is queued joins it.
// The task touches only the observers, which it keeps alive: the workspace may be going.
void X11Workspace::postWindowListChange()
{
    if (m_observers->windowListChangeQueued.exchange(true))
        return;
    m_dispatcher.async([weak = std::weak_ptr(m_observers)] {
        const std::shared_ptr<Observers> observers = weak.lock();
        if (!observers)
            return;
        observers->windowListChangeQueued = false;
        std::vector<std::function<void()>> called;
        {
            std::lock_guard lock(observers->lock);
            for (const auto& [token, observer] : observers->windowList)
                called.push_back(observer);
        }
        for (const auto& observer : called)
            observer();
    });
}

// EWMH managers publish no recency; the history of the active window is ours to keep.
// Who owns the window is noted here; the listing that describes the applications waits
// for the event thread to catch up, so it is made on the main queue, one for all the
// activations that came meanwhile.
void X11Workspace::onActiveWindowChanged()
{
    if (queueActivation())
        onMainQueue(m_activationsQueued, [this] { postActivations(); });
}

// Records the active window and queues its application's activation when it is a switch.
bool X11Workspace::queueActivation()
{
    const std::optional<ProcessID> pid = recordActiveWindow();
    if (!pid)
        return false;
    std::lock_guard lock(m_lock);
    m_activated.push_back(*pid);
    return true;
}

// The hotkey comes on Qt's connection, the focus change through the event thread and
// the main queue: either may be first. The active window is read from the server here, so
// a focus change the event thread has not read yet counts too.
void X11Workspace::catchUpWithActivations()
{
    queueActivation();
    postActivations();
}

void X11Workspace::postActivations()
{
    std::vector<std::pair<ProcessID, xcb_window_t>> noted;
    {
        std::lock_guard lock(m_lock);
        for (const ProcessID pid : std::exchange(m_activated, {}))
            noted.emplace_back(pid, m_recentWindow.contains(pid) ? m_recentWindow[pid] : XCB_NONE);
    }
    // The focus can reach the next application of a Show Desktop before it is asked to
    // hide; by now, on the main queue, every hide of that gesture has been asked.
    std::vector<ProcessID> activated;
    for (const auto& [pid, window] : noted)
        if (!m_clients->isBeingHidden(window))
            activated.push_back(pid);
    if (activated.empty())
        return; // delivered meanwhile
    const std::vector<RunningApplication> apps = listApplications();
    for (const ProcessID pid : activated) {
        const auto app = std::find_if(apps.begin(), apps.end(),
                                      [pid](const RunningApplication& a) { return a.processIdentifier == pid; });
        if (app != apps.end())
            post(true, *app);
    }
}

// Notes who owns the active window. Returns the application that came to the front, if
// another one did or another of its windows did (each window has its own recency): our
// own windows taking the focus is no switch.
std::optional<ProcessID> X11Workspace::recordActiveWindow()
{
    const std::optional<xcb_window_t> active = m_clients->activeWindow();
    std::optional<X11Client> owner = active ? m_clients->client(*active) : std::nullopt;
    // The focus the manager hands to a window we are hiding is no use of it.
    if (owner && m_clients->isBeingHidden(*active))
        owner.reset();
    std::lock_guard lock(m_lock);
    const bool owned = owner && owner->pid > 0;
    m_activePid = owned ? std::optional(owner->pid) : std::nullopt;
    if (!owned || owner->pid == m_ownPid)
        return std::nullopt;
    const auto recent = m_recentWindow.find(owner->pid);
    const bool unchanged =
        m_frontmostPid == owner->pid && recent != m_recentWindow.end() && recent->second == *active;
    m_recentWindow[owner->pid] = *active;
    if (unchanged)
        return std::nullopt;
    m_frontmostPid = owner->pid;
    return owner->pid;
}

void X11Workspace::onClientListChanged()
{
    const Snapshot current = snapshot();
    const std::vector<RunningApplication>& apps = current.apps;
    std::set<xcb_window_t> windows;
    for (const auto& [pid, owned] : current.windows)
        for (const X11Client& client : owned)
            windows.insert(client.window);
    std::vector<RunningApplication> gone;
    {
        std::lock_guard lock(m_lock);
        std::map<ProcessID, RunningApplication> now;
        for (const RunningApplication& app : apps)
            now.emplace(app.processIdentifier, app);
        for (auto& [pid, app] : m_known)
            if (!now.contains(pid)) {
                gone.push_back(app);
                gone.back().isTerminated = true;
                m_recentWindow.erase(pid);
            }
        m_known = std::move(now);
        std::erase_if(m_windowIcons, [&](const auto& entry) { return !windows.contains(entry.first); });
    }
    for (RunningApplication& app : gone)
        post(false, std::move(app));
    settleLaunches(apps);
}

Workspace::Token X11Workspace::observeActivation(AppObserver observer) { return addObserver(true, std::move(observer)); }

Workspace::Token X11Workspace::observeTermination(AppObserver observer) { return addObserver(false, std::move(observer)); }

Workspace::Token X11Workspace::addObserver(bool activation, AppObserver observer)
{
    std::lock_guard lock(m_observers->lock);
    m_observers->all.emplace(++m_observers->last, std::pair{activation, std::move(observer)});
    return m_observers->last;
}

Workspace::Token X11Workspace::observeWindowListChange(std::function<void()> observer)
{
    std::lock_guard lock(m_observers->lock);
    m_observers->windowList.emplace(++m_observers->last, std::move(observer));
    return m_observers->last;
}

void X11Workspace::removeObserver(Token token)
{
    std::lock_guard lock(m_observers->lock);
    m_observers->all.erase(token);
    m_observers->windowList.erase(token);
}

void X11Workspace::post(bool activation, RunningApplication app)
{
    m_dispatcher.async([weak = std::weak_ptr(m_observers), activation, app = std::move(app)] {
        const std::shared_ptr<Observers> observers = weak.lock();
        if (!observers)
            return;
        std::vector<AppObserver> called;
        {
            std::lock_guard lock(observers->lock);
            for (const auto& [token, observer] : observers->all)
                if (observer.first == activation)
                    called.push_back(observer.second);
        }
        for (const AppObserver& observer : called)
            observer(app);
    });
}

} // namespace ostrevane
