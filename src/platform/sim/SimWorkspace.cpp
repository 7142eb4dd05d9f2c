#include "platform/sim/SimWorkspace.h"

#include "core/platform/Dispatcher.h"

namespace ostrevane {

void SimWorkspace::addApplication(const RunningApplication& app, Behaviour behaviour)
{
    std::lock_guard lock(m_mutex);
    m_apps.push_back({app, behaviour});
}

void SimWorkspace::updateApplication(const RunningApplication& app)
{
    std::lock_guard lock(m_mutex);
    for (auto& entry : m_apps)
        if (entry.app.processIdentifier == app.processIdentifier)
            entry.app = app;
}

void SimWorkspace::setFrontmost(std::optional<ProcessID> pid)
{
    std::lock_guard lock(m_mutex);
    m_frontmost = pid;
}

void SimWorkspace::setTerminated(ProcessID pid)
{
    std::lock_guard lock(m_mutex);
    if (Entry* entry = findLocked(pid))
        entry->app.isTerminated = true;
}

void SimWorkspace::addInstalled(const QString& path, RunningApplication launched)
{
    std::lock_guard lock(m_mutex);
    m_installed[path] = std::move(launched);
}

void SimWorkspace::setOpenFails(const QString& path, QString error)
{
    std::lock_guard lock(m_mutex);
    m_openErrors[path] = std::move(error);
}

void SimWorkspace::setFileIcon(const QString& path, ImageHandle icon)
{
    std::lock_guard lock(m_mutex);
    m_fileIcons[path] = std::move(icon);
}

void SimWorkspace::postActivation(ProcessID pid) { post(pid, true); }
void SimWorkspace::postTermination(ProcessID pid) { post(pid, false); }

void SimWorkspace::setResponsiveness(ProcessID pid, Responsiveness responsiveness)
{
    std::lock_guard lock(m_mutex);
    m_responsiveness[pid] = responsiveness;
}

Responsiveness SimWorkspace::responsiveness(ProcessID pid, std::optional<quint32>)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_responsiveness.find(pid);
    return found == m_responsiveness.end() ? Responsiveness::unknown : found->second;
}

void SimWorkspace::postWindowListChange()
{
    m_dispatcher.async([this] {
        std::vector<std::function<void()>> observers;
        {
            std::lock_guard lock(m_mutex);
            for (const auto& [token, observer] : m_windowListObservers)
                observers.push_back(observer);
        }
        for (const auto& observer : observers)
            observer();
    });
}

void SimWorkspace::post(ProcessID pid, bool activation)
{
    m_dispatcher.async([this, pid, activation] {
        std::vector<AppObserver> observers;
        std::optional<RunningApplication> app;
        {
            std::lock_guard lock(m_mutex);
            if (Entry* entry = findLocked(pid))
                app = entry->app;
            for (const auto& [token, observer] : m_observers)
                if (observer.first == activation)
                    observers.push_back(observer.second);
        }
        if (!app)
            return;
        for (const AppObserver& observer : observers)
            observer(*app);
    });
}

QStringList SimWorkspace::log() const
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

void SimWorkspace::clearLog()
{
    std::lock_guard lock(m_mutex);
    m_log.clear();
}

void SimWorkspace::clearObserversForRestart()
{
    std::lock_guard lock(m_mutex);
    m_observers.clear();
    m_windowListObservers.clear();
}

bool SimWorkspace::isRunning(ProcessID pid) const
{
    std::lock_guard lock(m_mutex);
    for (const Entry& entry : m_apps)
        if (entry.app.processIdentifier == pid)
            return !entry.app.isTerminated;
    return false;
}

SimWorkspace::Behaviour SimWorkspace::behaviour(ProcessID pid) const
{
    std::lock_guard lock(m_mutex);
    for (const Entry& entry : m_apps)
        if (entry.app.processIdentifier == pid)
            return entry.behaviour;
    return {};
}

void SimWorkspace::record(QString line)
{
    std::lock_guard lock(m_mutex);
    m_log << std::move(line);
}

SimWorkspace::Entry* SimWorkspace::findLocked(ProcessID pid)
{
    for (Entry& entry : m_apps)
        if (entry.app.processIdentifier == pid)
            return &entry;
    return nullptr;
}

std::vector<RunningApplication> SimWorkspace::runningApplications()
{
    std::lock_guard lock(m_mutex);
    std::vector<RunningApplication> result;
    for (const Entry& entry : m_apps)
        result.push_back(entry.app);
    return result;
}

std::optional<RunningApplication> SimWorkspace::frontmostApplication()
{
    std::lock_guard lock(m_mutex);
    if (!m_frontmost)
        return std::nullopt;
    Entry* entry = findLocked(*m_frontmost);
    return entry ? std::optional(entry->app) : std::nullopt;
}

std::optional<RunningApplication> SimWorkspace::runningApplication(ProcessID pid)
{
    std::lock_guard lock(m_mutex);
    Entry* entry = findLocked(pid);
    if (!entry || entry->app.isTerminated)
        return std::nullopt;
    return entry->app;
}

void SimWorkspace::activate(ProcessID pid, ActivationOption options)
{
    record(QStringLiteral("activate ") + QString::number(pid)
           + (options == ActivationOption::activateAllWindows ? QStringLiteral(" all") : QString()));
    std::lock_guard lock(m_mutex);
    if (findLocked(pid))
        m_frontmost = pid;
}

void SimWorkspace::hide(ProcessID pid) { record(QStringLiteral("hide ") + QString::number(pid)); }

void SimWorkspace::terminate(ProcessID pid)
{
    record(QStringLiteral("terminate ") + QString::number(pid));
    std::lock_guard lock(m_mutex);
    if (Entry* entry = findLocked(pid); entry && entry->behaviour.quitsWhenAsked)
        entry->app.isTerminated = true;
}

void SimWorkspace::openApplication(const QString& path, bool activates, OpenCompletion completion)
{
    record(QStringLiteral("open ") + path + (activates ? QString() : QStringLiteral(" (background)")));
    std::optional<RunningApplication> launched;
    std::optional<QString> error;
    {
        std::lock_guard lock(m_mutex);
        if (auto failure = m_openErrors.find(path); failure != m_openErrors.end()) {
            error = failure->second;
        } else if (auto installed = m_installed.find(path); installed != m_installed.end()) {
            launched = installed->second;
            if (!findLocked(launched->processIdentifier))
                m_apps.push_back({*launched, {}});
            if (activates)
                m_frontmost = launched->processIdentifier;
        } else {
            error = QStringLiteral("The application cannot be found.");
        }
    }
    if (completion)
        completion(launched, error);
}

bool SimWorkspace::openURL(const QString& url)
{
    record(QStringLiteral("openURL ") + url);
    return true;
}

ImageHandle SimWorkspace::iconForFile(const QString& path)
{
    std::lock_guard lock(m_mutex);
    auto it = m_fileIcons.find(path);
    return it == m_fileIcons.end() ? nullptr : it->second;
}

Workspace::Token SimWorkspace::observeActivation(AppObserver observer)
{
    std::lock_guard lock(m_mutex);
    m_observers[m_nextToken] = {true, std::move(observer)};
    return m_nextToken++;
}

Workspace::Token SimWorkspace::observeTermination(AppObserver observer)
{
    std::lock_guard lock(m_mutex);
    m_observers[m_nextToken] = {false, std::move(observer)};
    return m_nextToken++;
}

Workspace::Token SimWorkspace::observeWindowListChange(std::function<void()> observer)
{
    std::lock_guard lock(m_mutex);
    m_windowListObservers[m_nextToken] = std::move(observer);
    return m_nextToken++;
}

void SimWorkspace::removeObserver(Token token)
{
    std::lock_guard lock(m_mutex);
    m_observers.erase(token);
    m_windowListObservers.erase(token);
}

} // namespace ostrevane
