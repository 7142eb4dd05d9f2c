#include "platform/sim/SimServices.h"

#include "platform/sim/SimWorkspace.h"

namespace ostrevane {

void SimWindowServer::setWindowList(std::vector<WindowListEntry> entries)
{
    std::lock_guard lock(m_mutex);
    m_entries = std::move(entries);
}

void SimWindowServer::setCaptureAllowed(bool allowed)
{
    std::lock_guard lock(m_mutex);
    m_captureAllowed = allowed;
}

void SimWindowServer::setCapture(quint32 windowNumber, ImageHandle image)
{
    std::lock_guard lock(m_mutex);
    m_captures[windowNumber] = std::move(image);
}

int SimWindowServer::captureCount() const
{
    std::lock_guard lock(m_mutex);
    return m_captureCount;
}

std::vector<WindowListEntry> SimWindowServer::windowList()
{
    std::lock_guard lock(m_mutex);
    return m_entries;
}

bool SimWindowServer::preflightScreenCaptureAccess()
{
    std::lock_guard lock(m_mutex);
    return m_captureAllowed;
}

ImageHandle SimWindowServer::captureWindow(quint32 windowNumber)
{
    std::lock_guard lock(m_mutex);
    ++m_captureCount;
    auto it = m_captures.find(windowNumber);
    return it == m_captures.end() ? nullptr : it->second;
}

void SimWindowServer::leaveScreen(quint32 windowNumber, ImageHandle picture)
{
    std::map<Token, PictureObserver> observers;
    {
        std::lock_guard lock(m_mutex);
        observers = m_observers;
    }
    for (const auto& [token, observer] : observers)
        observer(windowNumber, picture);
}

WindowServer::Token SimWindowServer::observeLeavingPictures(PictureObserver observer)
{
    std::lock_guard lock(m_mutex);
    m_observers.emplace(++m_lastToken, std::move(observer));
    return m_lastToken;
}

void SimWindowServer::removeObserver(Token token)
{
    std::lock_guard lock(m_mutex);
    m_observers.erase(token);
}

QStringList SimProcessSignals::log() const
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

bool SimProcessSignals::kill(ProcessID pid, int signal)
{
    {
        std::lock_guard lock(m_mutex);
        m_log << QStringLiteral("kill %1 %2").arg(pid).arg(signal);
    }
    if (!m_workspace.isRunning(pid))
        return false;
    if (signal == 9 && !m_workspace.behaviour(pid).survivesKill)
        m_workspace.setTerminated(pid);
    return true;
}

QStringList SimFolderEvents::watchedFolders() const
{
    std::lock_guard lock(m_mutex);
    QStringList folders;
    for (const auto& [token, watch] : m_watches)
        folders << watch.first;
    return folders;
}

void SimFolderEvents::change(const QString& folder)
{
    std::vector<std::function<void()>> callbacks;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [token, watch] : m_watches)
            if (watch.first == folder)
                callbacks.push_back(watch.second);
    }
    for (const auto& callback : callbacks)
        callback();
}

FolderEvents::Token SimFolderEvents::watch(const QString& folder, std::function<void()> onChange)
{
    std::lock_guard lock(m_mutex);
    m_watches[m_next] = {folder, std::move(onChange)};
    return m_next++;
}

void SimFolderEvents::unwatch(Token token)
{
    std::lock_guard lock(m_mutex);
    m_watches.erase(token);
}

QStringList SimMediaControl::log() const
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

void SimMediaControl::pause(const QString& bundleID, const QString& playerName)
{
    std::lock_guard lock(m_mutex);
    m_log << QStringLiteral("pause ") + bundleID + QLatin1Char(' ') + playerName;
}

int SimLoginItems::registerCount() const
{
    std::lock_guard lock(m_mutex);
    return m_registers;
}

int SimLoginItems::unregisterCount() const
{
    std::lock_guard lock(m_mutex);
    return m_unregisters;
}

void SimLoginItems::setFailure(std::optional<QString> reason)
{
    std::lock_guard lock(m_mutex);
    m_failure = std::move(reason);
}

bool SimLoginItems::isEnabled()
{
    std::lock_guard lock(m_mutex);
    return m_enabled;
}

std::optional<QString> SimLoginItems::registerItem() { return change(true, m_registers); }

std::optional<QString> SimLoginItems::unregisterItem() { return change(false, m_unregisters); }

std::optional<QString> SimLoginItems::change(bool enabled, int& counter)
{
    std::lock_guard lock(m_mutex);
    ++counter;
    if (m_failure)
        return m_failure;
    m_enabled = enabled;
    return std::nullopt;
}

} // namespace ostrevane
