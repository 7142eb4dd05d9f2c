#include "core/activation/AppActivator.h"

#include "core/sources/AXWindowInspector.h"
#include "core/sources/AppRegistry.h"
#include "core/sources/BrowserTabEnumerator.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/preferences/UserDefaults.h"
#include "core/sources/WindowEnumerator.h"
#include "core/platform/Accessibility.h"
#include "core/platform/SystemServices.h"

#include <QDir>
#include <QUrl>
#include <QtDebug>

namespace ostrevane {

namespace {

QString fileURL(const QString& path) { return QUrl::fromLocalFile(path).toString(); }

bool isModalSubrole(const std::optional<QString>& subrole)
{
    return subrole == AX::subroleSheet || subrole == AX::subroleSystemDialog || subrole == AX::subroleDialog;
}

std::vector<ProcessID> processIDs(const std::vector<RunningApplication>& running)
{
    std::vector<ProcessID> pids;
    pids.reserve(running.size());
    for (const RunningApplication& app : running)
        pids.push_back(app.processIdentifier);
    return pids;
}

} // namespace

AppActivator::AppActivator(Ports ports)
    : m_ports(ports)
    , m_background(ports.dispatcher.makeSerialQueue(QueuePriority::utility))
{
}

AppActivator& AppActivator::shared()
{
    return RuntimeContext::current().singleton<AppActivator>([](RuntimeContext& c) {
        return std::make_unique<AppActivator>(Ports{c.dispatcher(), c.clock(), c.defaults(), c.profile(),
                                                    c.accessibility(), c.workspace(), c.processSignals(),
                                                    c.mediaControl()});
    });
}

// ---- Scheduling: every deferred task holds the activator weakly.

void AppActivator::runInBackground(std::function<void(AppActivator&)> task)
{
    m_background->async([weak = weak_from_this(), task = std::move(task)] {
        if (auto self = weak.lock())
            task(*self);
    });
}

void AppActivator::onMain(std::function<void(AppActivator&)> task)
{
    m_ports.dispatcher.async([weak = weak_from_this(), task = std::move(task)] {
        if (auto self = weak.lock())
            task(*self);
    });
}

void AppActivator::afterDelay(double delaySeconds, std::function<void(AppActivator&)> task)
{
    m_ports.dispatcher.asyncAfter(delaySeconds, [weak = weak_from_this(), task = std::move(task)] {
        if (auto self = weak.lock())
            task(*self);
    });
}

// ---- Activation

void AppActivator::activate(const AppItem& app)
{
    if (app.bundleID == m_ports.profile.finderBundleID) {
        ensureFinderWindow();
        return;
    }
    // The completion may run on the workspace's thread; it only talks to the workspace,
    // and reaches the activator through the main queue.
    Workspace* workspace = &m_ports.workspace;
    const bool retry = m_ports.profile.retriesFailedLaunchAsPlainOpen;
    workspace->openApplication(app.path, true,
                               [weak = weak_from_this(), workspace, retry, failure = LaunchFailure{app.name, app.path, {}}](
                                   std::optional<RunningApplication> launched, std::optional<QString> error) mutable {
                                   if (launched) {
                                       workspace->activate(launched->processIdentifier, ActivationOption::none);
                                       return;
                                   }
                                   if (!error)
                                       return; // started, but no window came: no failure
                                   qWarning().noquote() << failedOpenMessage + failure.appName + QStringLiteral(": ") + *error;
                                   if (retry)
                                       workspace->openURL(fileURL(failure.appPath));
                                   failure.reason = *error;
                                   if (auto self = weak.lock())
                                       self->onMain([failure](AppActivator& a) { a.reportLaunchFailure(failure); });
                               });
}

AppActivator::Token AppActivator::observeLaunchFailures(std::function<void(const LaunchFailure&)> observer)
{
    m_launchFailureObservers.emplace(++m_lastObserverToken, std::move(observer));
    return m_lastObserverToken;
}

void AppActivator::removeLaunchFailureObserver(Token token) { m_launchFailureObservers.erase(token); }

void AppActivator::reportLaunchFailure(const LaunchFailure& failure)
{
    const auto observers = m_launchFailureObservers; // an observer may remove itself
    for (const auto& [token, observer] : observers)
        observer(failure);
}

void AppActivator::ensureFinderWindow()
{
    auto weak = weak_from_this();
    m_ports.workspace.openApplication(
        m_ports.profile.finderApplicationPath, true,
        [weak](std::optional<RunningApplication> launched, std::optional<QString>) {
            if (auto self = weak.lock())
                self->onMain([launched](AppActivator& activator) {
                    Workspace& workspace = activator.m_ports.workspace;
                    if (launched)
                        workspace.activate(launched->processIdentifier, ActivationOption::activateAllWindows);
                    // A new window on the home folder, whether or not the open worked.
                    workspace.openURL(fileURL(QDir::homePath()));
                });
        });
}

// ---- Capability

CloseCapability AppActivator::closeCapability(const QString& bundleID)
{
    const PlatformProfile& profile = m_ports.profile;
    if (profile.protectedBundleIDs.contains(bundleID))
        return CloseCapability::blocked(protectedReason);
    if (profile.forceQuitIneffectiveBundleIDs.contains(bundleID) || isTemporarilyForceQuitIneffective(bundleID))
        return CloseCapability::blocked(ineffectiveReason);
    // Browsers are never quit from the switcher; their tabs are closed one by one.
    if (profile.browser(bundleID))
        return CloseCapability::blocked(browserReason);
    return liveInstances(bundleID).empty() ? CloseCapability::none() : CloseCapability::quit();
}

std::vector<RunningApplication> AppActivator::liveInstances(const QString& bundleID)
{
    std::vector<RunningApplication> live;
    for (RunningApplication& app : m_ports.workspace.runningApplications())
        if (app.bundleIdentifier == bundleID && !app.isTerminated
            && app.activationPolicy == ActivationPolicy::regular)
            live.push_back(std::move(app));
    return live;
}

QSet<QString> AppActivator::runningUserAppIDs()
{
    const AppEnumerator launchable(m_ports.profile, BundleReader::forProfile(m_ports.profile));
    QSet<QString> ids;
    for (const RunningApplication& app : m_ports.workspace.runningApplications())
        if (!app.isTerminated && launchable.isUserApp(app))
            ids.insert(*app.bundleIdentifier);
    return ids;
}

// ---- Quit

void AppActivator::quit(const QString& bundleID)
{
    if (closeCapability(bundleID).kind != CloseCapability::Kind::quit)
        return;
    const std::vector<RunningApplication> live = liveInstances(bundleID);
    if (live.empty())
        return;
    const WallTime now = m_ports.clock.now();
    if (isPendingQuitRecent(bundleID, now)) {
        m_pendingQuitAt.remove(bundleID);
        forceQuit(bundleID, live);
        return;
    }
    m_pendingQuitAt.insert(bundleID, now);
    for (const RunningApplication& app : live)
        m_ports.workspace.terminate(app.processIdentifier);
    afterDelay(quitFollowUpDelay, [bundleID](AppActivator& self) { self.followUpAfterPoliteQuit(bundleID); });
}

bool AppActivator::isPendingQuitRecent(const QString& bundleID, WallTime now) const
{
    auto pending = m_pendingQuitAt.constFind(bundleID);
    return pending != m_pendingQuitAt.constEnd() && now - *pending <= seconds(quitRepeatWindow);
}

void AppActivator::followUpAfterPoliteQuit(const QString& bundleID)
{
    if (!isPendingQuitRecent(bundleID, m_ports.clock.now()))
        return;
    const std::vector<RunningApplication> live = liveInstances(bundleID);
    if (live.empty()) {
        m_pendingQuitAt.remove(bundleID);
        return;
    }
    // The entry stays: a close within the repeat window still force-quits.
    runInBackground([pids = processIDs(live)](AppActivator& self) {
        if (!self.bringForwardFirstModal(pids))
            self.signalPoliteQuit(pids);
    });
}

bool AppActivator::bringForwardFirstModal(const std::vector<ProcessID>& pids)
{
    for (ProcessID pid : pids) {
        if (modalDialogState(pid) == ModalDialogState::present) {
            // Show the user the dialog (e.g. unsaved changes) that holds the quit up.
            onMain([pid](AppActivator& self) { self.m_ports.workspace.activate(pid, ActivationOption::none); });
            return true;
        }
    }
    return false;
}

// Where closing its windows is all a polite request does, an application still running
// (a tray program, one without windows) is asked with the signal that lets it save and
// exit. Never while a dialog waits for the user: that would lose what it asks about.
void AppActivator::signalPoliteQuit(const std::vector<ProcessID>& pids)
{
    if (m_ports.profile.politeQuitSignal == 0)
        return;
    for (ProcessID pid : pids)
        m_ports.processSignals.kill(pid, m_ports.profile.politeQuitSignal);
}

// ---- Windows that do not respond

void AppActivator::closeWindow(const WindowItem& window)
{
    if (hungWindowState(window) == HungWindow::forceQuitOffered) {
        m_pendingWindowCloseAt.remove(*window.cgWindowID);
        runInBackground([pid = window.pid](AppActivator& self) { self.m_ports.processSignals.kill(pid, killSignal); });
        return;
    }
    AXWindowInspector::pressCloseButton(m_ports.accessibility, window.axWindow);
    if (window.cgWindowID)
        m_pendingWindowCloseAt.insert(*window.cgWindowID, m_ports.clock.now());
}

HungWindow AppActivator::hungWindowState(const WindowItem& window)
{
    const auto pending = window.cgWindowID ? m_pendingWindowCloseAt.constFind(*window.cgWindowID)
                                           : m_pendingWindowCloseAt.constEnd();
    if (pending == m_pendingWindowCloseAt.constEnd() || m_ports.clock.now() - *pending > seconds(quitRepeatWindow)
        || window.pid < 1)
        return HungWindow::no;
    if (m_ports.workspace.responsiveness(window.pid, window.cgWindowID) != Responsiveness::notResponding)
        return HungWindow::no;
    // Killing the process would take its other windows along.
    return ownsOtherWindows(window) ? HungWindow::notResponding : HungWindow::forceQuitOffered;
}

bool AppActivator::ownsOtherWindows(const WindowItem& window)
{
    const AXElement app = m_ports.accessibility.createApplication(window.pid);
    for (const AXElement& other : app ? m_ports.accessibility.copyElements(app, AX::windows) : std::vector<AXElement>{})
        if (m_ports.accessibility.windowNumber(other) != window.cgWindowID)
            return true;
    return false;
}

// ---- Force quit

void AppActivator::forceQuit(const QString& bundleID, const std::vector<RunningApplication>& running)
{
    pausePlaybackIfMediaAsync(bundleID);
    runInBackground([bundleID, pids = processIDs(running)](AppActivator& self) {
        self.killUnlessModal(pids);
        self.scheduleForceQuitChecks(bundleID);
    });
}

void AppActivator::killUnlessModal(const std::vector<ProcessID>& pids)
{
    for (ProcessID pid : pids) {
        if (modalDialogState(pid) == ModalDialogState::present)
            onMain([pid](AppActivator& self) { self.m_ports.workspace.activate(pid, ActivationOption::none); });
        else
            m_ports.processSignals.kill(pid, killSignal);
    }
}

void AppActivator::scheduleForceQuitChecks(const QString& bundleID)
{
    afterDelay(forceQuitSecondPassDelay, [bundleID](AppActivator& self) { self.secondKillPass(bundleID); });
    afterDelay(forceQuitSurvivalCheckDelay, [bundleID](AppActivator& self) { self.markIfSurvived(bundleID); });
}

void AppActivator::secondKillPass(const QString& bundleID)
{
    runInBackground([pids = processIDs(liveInstances(bundleID))](AppActivator& self) {
        for (ProcessID pid : pids)
            self.m_ports.processSignals.kill(pid, killSignal);
    });
}

void AppActivator::markIfSurvived(const QString& bundleID)
{
    if (liveInstances(bundleID).empty())
        return;
    forceQuitIneffectiveUntil().insert(bundleID, m_ports.clock.now() + seconds(forceQuitIneffectiveDuration));
    saveForceQuitIneffectiveUntil();
}

void AppActivator::pausePlaybackIfMediaAsync(const QString& bundleID)
{
    const QString playerName = m_ports.profile.mediaAppNames.value(bundleID);
    if (playerName.isEmpty())
        return;
    runInBackground([bundleID, playerName](AppActivator& self) { self.m_ports.mediaControl.pause(bundleID, playerName); });
}

ModalDialogState AppActivator::modalDialogState(ProcessID pid)
{
    Accessibility& ax = m_ports.accessibility;
    const AXElement app = ax.createApplication(pid);
    const AXValue value = app ? ax.copyAttribute(app, AX::windows) : AXValue{};
    const auto* windows = std::get_if<std::vector<AXElement>>(&value);
    if (!windows)
        return ModalDialogState::indeterminate;
    for (const AXElement& window : *windows) {
        if (isModalSubrole(ax.copyText(window, AX::subrole)))
            return ModalDialogState::present;
        if (!std::holds_alternative<std::monostate>(ax.copyAttribute(window, AX::sheet)))
            return ModalDialogState::present;
    }
    return ModalDialogState::absent;
}

// ---- Force-quit marks

bool AppActivator::isTemporarilyForceQuitIneffective(const QString& bundleID)
{
    QHash<QString, WallTime>& marks = forceQuitIneffectiveUntil();
    auto mark = marks.find(bundleID);
    if (mark == marks.end())
        return false;
    if (*mark > m_ports.clock.now())
        return true;
    marks.erase(mark);
    saveForceQuitIneffectiveUntil();
    return false;
}

QHash<QString, WallTime>& AppActivator::forceQuitIneffectiveUntil()
{
    if (!m_forceQuitIneffectiveUntil)
        loadForceQuitIneffectiveUntil();
    return *m_forceQuitIneffectiveUntil;
}

void AppActivator::loadForceQuitIneffectiveUntil()
{
    m_forceQuitIneffectiveUntil.emplace();
    const std::optional<QVariantMap> stored = m_ports.defaults.dictionary(forceQuitIneffectiveKey);
    if (!stored)
        return;
    QHash<QString, WallTime> marks;
    const WallTime now = m_ports.clock.now();
    for (auto entry = stored->constBegin(); entry != stored->constEnd(); ++entry) {
        const int type = entry.value().typeId();
        if (type != QMetaType::Double && type != QMetaType::LongLong) {
            qWarning() << "Ignoring unreadable" << forceQuitIneffectiveKey;
            return; // any other shape counts as no marks at all
        }
        const WallTime until = fromSecondsSince1970(entry.value().toDouble());
        if (until > now)
            marks.insert(entry.key(), until);
    }
    *m_forceQuitIneffectiveUntil = std::move(marks);
}

void AppActivator::saveForceQuitIneffectiveUntil()
{
    QVariantMap stored;
    for (auto mark = m_forceQuitIneffectiveUntil->constBegin(); mark != m_forceQuitIneffectiveUntil->constEnd(); ++mark)
        stored.insert(mark.key(), secondsSince1970(mark.value()));
    m_ports.defaults.set(forceQuitIneffectiveKey, stored);
}

// ---- Row actions

void SwitchItemActivator::activateWindow(const WindowItem& window) { WindowEnumerator::activate(window); }

void SwitchItemActivator::activateTab(const TabItem& tab) { BrowserTabEnumerator::activate(tab); }

void SwitchItemActivator::ensureFinderWindow() { AppActivator::shared().ensureFinderWindow(); }

void SwitchItemActivator::launchOrActivateApp(const AppItem& app) { AppActivator::shared().activate(app); }

void SwitchItemActivator::closeTab(const TabItem& tab) { BrowserTabEnumerator::closeTab(tab); }

void SwitchItemActivator::quit(const QString& bundleID) { AppActivator::shared().quit(bundleID); }

CloseCapability SwitchItemActivator::appCloseCapability(const QString& bundleID)
{
    return AppActivator::shared().closeCapability(bundleID);
}

QSet<QString> SwitchItemActivator::runningUserAppIDs() { return AppActivator::shared().runningUserAppIDs(); }

void SwitchItemActivator::closeWindow(const WindowItem& window) { AppActivator::shared().closeWindow(window); }

HungWindow SwitchItemActivator::hungWindowState(const WindowItem& window)
{
    return AppActivator::shared().hungWindowState(window);
}

} // namespace ostrevane
