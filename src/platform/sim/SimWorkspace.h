#pragma once

#include "core/platform/Workspace.h"

#include <QStringList>

#include <map>
#include <mutex>

namespace ostrevane {

class Dispatcher;

// How a simulated application answers requests.
struct SimAppBehaviour {
    bool quitsWhenAsked = true; // a polite terminate ends it
    bool survivesKill = false;  // even SIGKILL leaves it running
};

// The workspace of the simulated desktop: applications in a list the test controls,
// and a log of every request made of them.
class SimWorkspace : public Workspace {
public:
    using Behaviour = SimAppBehaviour;

    explicit SimWorkspace(Dispatcher& dispatcher) : m_dispatcher(dispatcher) {}

    // Test verbs.
    void addApplication(const RunningApplication& app, Behaviour behaviour = {});
    // Replaces what is known of the running application with the same pid.
    void updateApplication(const RunningApplication& app);
    void setFrontmost(std::optional<ProcessID> pid);
    void setTerminated(ProcessID pid);
    // Registers an installed application that openApplication can launch.
    void addInstalled(const QString& path, RunningApplication launched);
    void setOpenFails(const QString& path, QString error);
    void setFileIcon(const QString& path, ImageHandle icon);
    // Sends the activation / termination event to the observers (on the main queue).
    void postActivation(ProcessID pid);
    void postTermination(ProcessID pid);
    // Tells the window-list observers (on the main queue) that windows came or went.
    void postWindowListChange();
    // What responsiveness() answers for the process (unknown unless set).
    void setResponsiveness(ProcessID pid, Responsiveness responsiveness);
    // What the workspace was asked, in order: "activate 12", "activate 12 all", "hide 12",
    // "terminate 12", "open /path", "openURL url".
    QStringList log() const;
    void clearLog();
    bool isRunning(ProcessID pid) const;
    // Drops the observers of a simulated process that has exited.
    void clearObserversForRestart();
    Behaviour behaviour(ProcessID pid) const;

    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<RunningApplication> runningApplication(ProcessID pid) override;
    void activate(ProcessID pid, ActivationOption options) override;
    void hide(ProcessID pid) override;
    void terminate(ProcessID pid) override;
    Responsiveness responsiveness(ProcessID pid, std::optional<quint32> windowNumber) override;
    void openApplication(const QString& path, bool activates, OpenCompletion completion) override;
    bool openURL(const QString& url) override;
    ImageHandle iconForFile(const QString& path) override;
    Token observeActivation(AppObserver observer) override;
    Token observeTermination(AppObserver observer) override;
    Token observeWindowListChange(std::function<void()> observer) override;
    void removeObserver(Token token) override;

private:
    struct Entry {
        RunningApplication app;
        Behaviour behaviour;
    };
    void record(QString line);
    Entry* findLocked(ProcessID pid);
    void post(ProcessID pid, bool activation);

    Dispatcher& m_dispatcher;
    mutable std::mutex m_mutex;
    std::vector<Entry> m_apps;
    std::optional<ProcessID> m_frontmost;
    std::map<QString, RunningApplication> m_installed;
    std::map<QString, QString> m_openErrors;
    std::map<QString, ImageHandle> m_fileIcons;
    std::map<Token, std::pair<bool, AppObserver>> m_observers; // bool: activation observer
    std::map<Token, std::function<void()>> m_windowListObservers;
    std::map<ProcessID, Responsiveness> m_responsiveness;
    Token m_nextToken = 1;
    QStringList m_log;
};

} // namespace ostrevane
