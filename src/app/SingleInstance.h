#pragma once

#include "core/shell/AppDelegate.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <optional>

class QSocketNotifier;

namespace ostrevane {

// Where this user's copies meet: a folder only this user can enter, holding the socket
// the running copy listens on and the lock that lets copies starting at the same moment
// decide one after the other. The folder is $XDG_RUNTIME_DIR/ostrevane, or else
// /tmp/ostrevane-<uid>, or else ~/.cache/ostrevane: the first that is (or can be made) a
// real folder of this user with no access for anyone else. One that another user
// created first, or that others may enter, is never used.
namespace InstanceFolder {
// Nothing when no candidate is usable (logged).
std::optional<QString> find();
// Whether `path` is a folder (not a link) owned by this user with no group or other
// access; a folder of ours with looser access is tightened first.
bool isPrivate(const QString& path);
} // namespace InstanceFolder

// One request line to the copy listening on `socketPath`, and its one answer line.
// Nothing when nobody listens, when the listener belongs to another user (checked with
// SO_PEERCRED: another user can never answer for our copy), or when no answer comes in
// time. With `untilClosed`, also waits until the other side closes the connection (the
// copy has ended).
std::optional<QByteArray> askRunningCopy(const QString& socketPath, const QByteArray& line, int timeoutMs,
                                         bool untilClosed = false);

// The running copies of this user's switcher, found through the local socket in the
// instance folder (not through windows: the switcher has none while idle). The copy that
// keeps running listens there and answers one line per request: "who" (its process id and
// executable's location), a launch request ("start", "show", "preferences <pane>") which
// it carries out, or "quit", which ends its event loop (the polite terminate). Connections
// from other users are refused. Main thread only.
class LocalSocketCopies : public QObject, public RunningCopies {
    Q_OBJECT

public:
    // How long a request waits for the other copy, and for a quitting copy to end.
    static constexpr int requestTimeoutMs = 2000;
    static constexpr int quitTimeoutMs = 5000;
    // How long a starting copy waits for another one that is deciding at the same moment.
    static constexpr int startLockTimeoutMs = 10000;
    // Requests are short lines; a connection sending more without a line end is dropped.
    static constexpr qsizetype maxRequestBytes = 4096;

    // The instance folder is looked for when first needed (a test panel never needs it).
    explicit LocalSocketCopies(QObject* parent = nullptr);
    // `folder`: the instance folder; nothing disables finding other copies.
    explicit LocalSocketCopies(std::optional<QString> folder, QObject* parent = nullptr);
    ~LocalSocketCopies() override;

    std::optional<QString> socketPath();

    std::optional<QString> ownLocation() override;
    std::vector<Copy> others() override;
    void terminate(const Copy& copy) override;
    bool handOver(const Copy& copy, const LaunchRequest& request) override;
    void settle(std::function<void(const LaunchRequest&)> handler) override;

    // `ostrevane --quit`: asks this user's running copy to end and waits until its process
    // has ended. False when none runs (or it did not end in time).
    static bool quitRunningCopy(const std::optional<QString>& instanceFolder = InstanceFolder::find());

private:
    const std::optional<QString>& folder();
    void lockStart();
    void unlockStart();
    bool listen();
    void acceptConnections();
    void readFrom(QSocketNotifier* notifier);
    void closeConnection(QSocketNotifier* notifier);
    void answer(int fd, const QByteArray& line);

    std::optional<std::optional<QString>> m_folder; // outer: looked for yet
    int m_lockFd = -1;
    int m_listenFd = -1;
    quint64 m_socketInode = 0; // of the socket file this copy made, removed only if still ours
    QSocketNotifier* m_notifier = nullptr;
    std::map<QSocketNotifier*, QByteArray> m_received; // per connection, what has no line end yet
    std::function<void(const LaunchRequest&)> m_handler;
};

} // namespace ostrevane
