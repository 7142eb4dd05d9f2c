#pragma once

#include "core/AppDelegate.h"

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace ostrevane {

// The running copies of this user's switcher, found through one local socket per user
// (not through windows: the switcher has none while idle). The copy that keeps running
// listens on it and answers two requests, one line each: "who" (its process id and its
// executable's location) and "quit" (it ends its event loop, the polite terminate).
// Main thread only.
class LocalSocketCopies : public QObject, public RunningCopies {
    Q_OBJECT

public:
    // How long a request waits for the other copy (milliseconds).
    static constexpr int requestTimeoutMs = 1000;

    explicit LocalSocketCopies(QString serverName = defaultServerName(), QObject* parent = nullptr);
    ~LocalSocketCopies() override;

    // "ostrevane-<uid>".
    static QString defaultServerName();

    std::optional<QString> ownLocation() override;
    std::vector<Copy> others() override;
    void terminate(const Copy& copy) override;

    // Takes the name over, so later copies find this one.
    bool listen();

private:
    void answer(QLocalSocket* socket);

    QString m_serverName;
    QLocalServer* m_server = nullptr;
};

} // namespace ostrevane
