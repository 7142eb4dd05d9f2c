#pragma once

#include "core/platform/SystemServices.h"
#include "core/platform/WindowServer.h"

#include <QStringList>

#include <map>
#include <mutex>

namespace ostrevane {

class SimWorkspace;

// The window list and captures of the simulated desktop.
class SimWindowServer : public WindowServer {
public:
    void setWindowList(std::vector<WindowListEntry> entries);
    void setCaptureAllowed(bool allowed);
    void setCapture(quint32 windowNumber, ImageHandle image); // null: the capture fails
    int captureCount() const;
    // The window leaves the screen with `picture`: observers are told on the calling thread.
    void leaveScreen(quint32 windowNumber, ImageHandle picture);

    std::vector<WindowListEntry> windowList() override;
    bool preflightScreenCaptureAccess() override;
    ImageHandle captureWindow(quint32 windowNumber) override;
    Token observeLeavingPictures(PictureObserver observer) override;
    void removeObserver(Token token) override;

private:
    mutable std::mutex m_mutex;
    std::vector<WindowListEntry> m_entries;
    bool m_captureAllowed = true;
    std::map<quint32, ImageHandle> m_captures;
    int m_captureCount = 0;
    std::map<Token, PictureObserver> m_observers;
    Token m_lastToken = 0;
};

// Signals delivered to the simulated workspace's applications: SIGKILL ends an
// application unless it is set to survive.
class SimProcessSignals : public ProcessSignals {
public:
    explicit SimProcessSignals(SimWorkspace& workspace) : m_workspace(workspace) {}
    QStringList log() const; // "kill 12 9"
    bool kill(ProcessID pid, int signal) override;

private:
    SimWorkspace& m_workspace;
    mutable std::mutex m_mutex;
    QStringList m_log;
};

// Folder watches whose changes the test fires by hand.
class SimFolderEvents : public FolderEvents {
public:
    QStringList watchedFolders() const;
    // Calls every watcher of `folder`, on the calling thread.
    void change(const QString& folder);

    Token watch(const QString& folder, std::function<void()> onChange) override;
    void unwatch(Token token) override;

private:
    mutable std::mutex m_mutex;
    std::map<Token, std::pair<QString, std::function<void()>>> m_watches;
    Token m_next = 1;
};

// The platform's login item as a switch: counts register and unregister calls, and can
// be told to fail them.
class SimLoginItems : public LoginItemService {
public:
    int registerCount() const;
    int unregisterCount() const;
    // From now on register and unregister fail with `reason` (nothing: they succeed).
    void setFailure(std::optional<QString> reason);

    bool isEnabled() override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;
    QString location() const override { return {}; }

private:
    std::optional<QString> change(bool enabled, int& counter);

    mutable std::mutex m_mutex;
    bool m_enabled = false;
    int m_registers = 0;
    int m_unregisters = 0;
    std::optional<QString> m_failure;
};

// Records pause requests.
class SimMediaControl : public MediaControl {
public:
    QStringList log() const; // "pause com.apple.Music Music"
    void pause(const QString& bundleID, const QString& playerName) override;

private:
    mutable std::mutex m_mutex;
    QStringList m_log;
};

} // namespace ostrevane
