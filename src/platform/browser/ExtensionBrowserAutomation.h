#pragma once

#include "core/shell/PlatformProfile.h"
#include "core/platform/BrowserAutomation.h"
#include "platform/browser/BrowserSocket.h"

#include <QJsonObject>
#include <QString>

#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace ostrevane {

// The browser behind a connector: the connector's parent process.
struct BrowserProcess {
    pid_t pid = 0;
    QString executable; // the last component of its executable's path

    friend bool operator==(const BrowserProcess&, const BrowserProcess&) = default;
};

// One connector connected to the program, and what is known of its browser.
struct ConnectedBrowser {
    quint64 connection = 0;  // numbered from 1 in order of arrival
    pid_t connectorPID = 0;
    BrowserProcess browser;
    QString bundleID;         // the browser table's row for its executable; empty when none
    QString extensionVersion; // from the extension's greeting; empty before it
    QString browserVersion;   // likewise

    friend bool operator==(const ConnectedBrowser&, const ConnectedBrowser&) = default;
};

// The browser automation port on Linux: the browser extension, reached through its
// native-messaging connector over the per-user browser socket.
//
// One I/O thread owns the socket and every connection: it accepts connectors (only of
// this user: SO_PEERCRED), reads their frames, matches answers to the requests waiting
// for them and reports unasked notices. Requests may be made from any thread; the
// synchronous ones wait at most their time-out, and a browser that goes away fails its
// waiting requests at once. A browser is matched to the browser table by the executable
// of the connector's parent; with several connectors for one row, the latest is asked.
class ExtensionBrowserAutomation final : public BrowserAutomation {
public:
    struct Options {
        QString socketPath;
        std::vector<BrowserSpec> browsers;
        // Called on the I/O thread with a browser row's id when its tabs may have changed:
        // its extension connected, said so, or went away.
        std::function<void(const QString& bundleID)> onTabsChanged;
        // Finds the browser behind a connector process; by default its parent, read from /proc.
        std::function<std::optional<BrowserProcess>(pid_t connectorPID)> identify;
        // How long a tab selection may take before the accessibility fallback is tried.
        double activationTimeoutSeconds = 1.5;
    };

    explicit ExtensionBrowserAutomation(Options options);
    ~ExtensionBrowserAutomation() override;
    ExtensionBrowserAutomation(const ExtensionBrowserAutomation&) = delete;
    ExtensionBrowserAutomation& operator=(const ExtensionBrowserAutomation&) = delete;

    // Listens on the socket (replacing a stale one) and starts the I/O thread. False, with
    // `error` set, when the socket cannot be had; the port then answers nothing.
    bool start(QString* error = nullptr);

    // The connectors connected now, in order of arrival. Any thread.
    std::vector<ConnectedBrowser> connectedBrowsers() const;
    // The browser process behind a connector, read from /proc: its parent and that
    // parent's executable.
    static std::optional<BrowserProcess> parentBrowser(pid_t connectorPID);

    std::optional<std::vector<BrowserTabRow>> listTabs(const BrowserSpec& browser, double timeoutSeconds) override;
    std::optional<bool> activateTab(const BrowserSpec& browser, const BrowserTabAddress& tab) override;
    void activateTabAsync(const BrowserSpec& browser, const BrowserTabAddress& tab,
                          ActivationCompletion completion) override;
    void closeTab(const BrowserSpec& browser, const BrowserTabAddress& tab) override;

private:
    struct Connection;
    struct Pending;
    using Clock = std::chrono::steady_clock;

    // Sends a request to the row's latest connector; its id, or none when no connector
    // serves the row.
    std::optional<qint64> send(const BrowserSpec& browser, const std::function<QJsonObject(qint64)>& makeRequest,
                                std::shared_ptr<Pending> pending);
    std::optional<QJsonObject> request(const BrowserSpec& browser,
                                       const std::function<QJsonObject(qint64)>& makeRequest, double timeoutSeconds);
    void run();
    void pollOnce();
    void acceptConnections();
    void readFrom(quint64 id);
    // Handles the whole frames at the front of the inbox (closes on an oversized one).
    void takeFrames(quint64 id, Connection& connection);
    void writeTo(quint64 id);
    void handleMessage(quint64 id, const QJsonObject& message);
    void closeConnection(quint64 id);
    void expireAsyncRequests();
    int pollTimeoutMs() const;
    void wake();
    QString bundleIDFor(const BrowserProcess& browser) const;

    Options m_options;
    UniqueFd m_listener;
    std::optional<std::pair<ino_t, dev_t>> m_listenerIdentity; // of the socket file we made
    UniqueFd m_wakeup; // an eventfd the requesting threads poke
    std::thread m_thread;

    mutable std::mutex m_mutex; // guards everything below
    std::condition_variable m_answered;
    bool m_stopping = false;
    quint64 m_nextConnection = 1;
    qint64 m_nextRequest = 1;
    std::map<quint64, std::unique_ptr<Connection>> m_connections;
    std::map<qint64, std::shared_ptr<Pending>> m_pending;
};

} // namespace ostrevane
