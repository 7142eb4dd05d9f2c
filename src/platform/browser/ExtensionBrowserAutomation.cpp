#include "platform/browser/ExtensionBrowserAutomation.h"

#include "core/sources/NativeMessaging.h"
#include "platform/browser/ExtensionProtocol.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>
#include <cmath>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrevane {

namespace {

Q_LOGGING_CATEGORY(browserLog, "ostrevane.browser", QtInfoMsg)

using Frame = NativeMessaging::Frame;

std::chrono::steady_clock::duration seconds(double value)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(value));
}

std::optional<pid_t> parentOf(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "pid (comm) state ppid ...": the command may hold spaces and parentheses.
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    const QList<QByteArray> fields = line.mid(close + 1).simplified().split(' ');
    bool ok = false;
    const pid_t parent = fields.size() > 1 ? fields[1].toInt(&ok) : 0;
    return ok && parent > 0 ? std::optional<pid_t>(parent) : std::nullopt;
}

} // namespace

struct ExtensionBrowserAutomation::Connection {
    UniqueFd fd;
    ConnectedBrowser info;
    QByteArray inbox;  // the I/O thread's alone
    QByteArray outbox; // under m_mutex
    bool warnedMalformed = false;
};

struct ExtensionBrowserAutomation::Pending {
    quint64 connection = 0;
    bool done = false;
    std::optional<QJsonObject> answer;
    // Asynchronous requests only: called once, with the answer or none, off the lock.
    std::function<void(std::optional<QJsonObject>)> completion;
    Clock::time_point deadline;
};

ExtensionBrowserAutomation::ExtensionBrowserAutomation(Options options) : m_options(std::move(options))
{
    if (!m_options.identify)
        m_options.identify = &ExtensionBrowserAutomation::parentBrowser;
}

ExtensionBrowserAutomation::~ExtensionBrowserAutomation()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    if (m_thread.joinable()) {
        wake();
        m_thread.join();
    }
    std::vector<quint64> ids;
    for (const auto& [id, connection] : m_connections)
        ids.push_back(id);
    for (quint64 id : ids)
        closeConnection(id); // answers whoever still waits
    if (m_listener.isValid() && m_listenerIdentity) {
        // Only our own socket file: a copy started since may have replaced it.
        struct stat status {};
        const QByteArray path = QFile::encodeName(m_options.socketPath);
        if (::lstat(path.constData(), &status) == 0 && status.st_ino == m_listenerIdentity->first
            && status.st_dev == m_listenerIdentity->second)
            ::unlink(path.constData());
    }
}

bool ExtensionBrowserAutomation::start(QString* error)
{
    m_listener = BrowserSocket::listen(m_options.socketPath, error);
    m_wakeup = UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!m_listener.isValid() || !m_wakeup.isValid())
        return false;
    struct stat status {};
    if (::lstat(QFile::encodeName(m_options.socketPath).constData(), &status) == 0)
        m_listenerIdentity = std::make_pair(status.st_ino, status.st_dev);
    m_thread = std::thread([this] { run(); });
    return true;
}

std::vector<ConnectedBrowser> ExtensionBrowserAutomation::connectedBrowsers() const
{
    std::lock_guard lock(m_mutex);
    std::vector<ConnectedBrowser> result;
    for (const auto& [id, connection] : m_connections)
        result.push_back(connection->info);
    return result;
}

std::optional<BrowserProcess> ExtensionBrowserAutomation::parentBrowser(pid_t connectorPID)
{
    const std::optional<pid_t> parent = parentOf(connectorPID);
    if (!parent)
        return std::nullopt;
    QString executable = QFileInfo(QStringLiteral("/proc/%1/exe").arg(*parent)).symLinkTarget();
    // A browser updated while it runs points at its replaced file.
    executable.remove(QStringLiteral(" (deleted)"));
    return BrowserProcess{*parent, QFileInfo(executable).fileName()};
}

// ---- Requests (any thread)

std::optional<qint64> ExtensionBrowserAutomation::send(const BrowserSpec& browser,
                                                        const std::function<QJsonObject(qint64)>& makeRequest,
                                                        std::shared_ptr<Pending> pending)
{
    qint64 id = 0;
    {
        std::lock_guard lock(m_mutex);
        // The latest connector of the row: an earlier one may belong to a browser that is quitting.
        auto found = std::find_if(m_connections.rbegin(), m_connections.rend(),
                                  [&](const auto& entry) { return entry.second->info.bundleID == browser.bundleID; });
        if (found == m_connections.rend() || m_stopping)
            return std::nullopt;
        id = m_nextRequest++;
        const QByteArray frame = NativeMessaging::frame(makeRequest(id), NativeMessaging::maxToBrowser);
        if (frame.isEmpty())
            return std::nullopt; // larger than a browser accepts
        found->second->outbox.append(frame);
        if (pending) {
            pending->connection = found->first;
            m_pending.emplace(id, std::move(pending));
        }
    }
    wake();
    return id;
}

std::optional<QJsonObject> ExtensionBrowserAutomation::request(const BrowserSpec& browser,
                                                                const std::function<QJsonObject(qint64)>& makeRequest,
                                                                double timeoutSeconds)
{
    auto pending = std::make_shared<Pending>();
    const Clock::time_point deadline = Clock::now() + seconds(std::max(timeoutSeconds, 0.0));
    const std::optional<qint64> id = send(browser, makeRequest, pending);
    if (!id)
        return std::nullopt;
    std::unique_lock lock(m_mutex);
    m_answered.wait_until(lock, deadline, [&] { return pending->done; });
    m_pending.erase(*id);
    return pending->answer;
}

std::optional<std::vector<BrowserTabRow>> ExtensionBrowserAutomation::listTabs(const BrowserSpec& browser,
                                                                             double timeoutSeconds)
{
    const std::optional<QJsonObject> answer = request(browser, &ExtensionProtocol::listRequest, timeoutSeconds);
    return answer ? ExtensionProtocol::tabRows(*answer) : std::nullopt;
}

std::optional<bool> ExtensionBrowserAutomation::activateTab(const BrowserSpec& browser, const BrowserTabAddress& tab)
{
    const auto make = [&](qint64 id) { return ExtensionProtocol::activateRequest(id, browser.family, tab); };
    const std::optional<QJsonObject> answer = request(browser, make, m_options.activationTimeoutSeconds);
    if (!answer)
        return std::nullopt;
    return ExtensionProtocol::resultOK(*answer);
}

void ExtensionBrowserAutomation::activateTabAsync(const BrowserSpec& browser, const BrowserTabAddress& tab,
                                                  ActivationCompletion completion)
{
    auto pending = std::make_shared<Pending>();
    pending->deadline = Clock::now() + seconds(m_options.activationTimeoutSeconds);
    pending->completion = [completion](std::optional<QJsonObject> answer) {
        completion(answer ? std::optional<bool>(ExtensionProtocol::resultOK(*answer)) : std::nullopt);
    };
    const auto make = [&](qint64 id) { return ExtensionProtocol::activateRequest(id, browser.family, tab); };
    if (!send(browser, make, pending))
        completion(std::nullopt); // no extension to ask: answered at once
}

void ExtensionBrowserAutomation::closeTab(const BrowserSpec& browser, const BrowserTabAddress& tab)
{
    // Not waited for: the browser's "changed" notice and the panel's refreshes show the result.
    send(browser, [&](qint64 id) { return ExtensionProtocol::closeRequest(id, tab); }, nullptr);
}

void ExtensionBrowserAutomation::wake()
{
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeup.get(), &one, sizeof one);
}

// ---- The I/O thread

void ExtensionBrowserAutomation::run()
{
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return;
        }
        pollOnce();
    }
}

void ExtensionBrowserAutomation::pollOnce()
{
    std::vector<pollfd> fds{{m_listener.get(), POLLIN, 0}, {m_wakeup.get(), POLLIN, 0}};
    std::vector<quint64> ids;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [id, connection] : m_connections) {
            const short events = static_cast<short>(POLLIN | (connection->outbox.isEmpty() ? 0 : POLLOUT));
            fds.push_back({connection->fd.get(), events, 0});
            ids.push_back(id);
        }
    }
    if (::poll(fds.data(), fds.size(), pollTimeoutMs()) < 0 && errno != EINTR)
        qCWarning(browserLog, "Ostrevane: waiting for browser connections failed: %s", std::strerror(errno));
    if (fds[1].revents & POLLIN) {
        quint64 count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_wakeup.get(), &count, sizeof count);
    }
    if (fds[0].revents & POLLIN)
        acceptConnections();
    for (size_t i = 0; i < ids.size(); ++i) {
        const short revents = fds[i + 2].revents;
        if (revents & POLLOUT)
            writeTo(ids[i]);
        if (revents & (POLLIN | POLLHUP | POLLERR))
            readFrom(ids[i]);
    }
    expireAsyncRequests();
}

int ExtensionBrowserAutomation::pollTimeoutMs() const
{
    std::lock_guard lock(m_mutex);
    std::optional<Clock::time_point> nearest;
    for (const auto& [id, pending] : m_pending)
        if (pending->completion && (!nearest || pending->deadline < *nearest))
            nearest = pending->deadline;
    if (!nearest)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*nearest - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

void ExtensionBrowserAutomation::acceptConnections()
{
    for (;;) {
        UniqueFd fd(::accept4(m_listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd.isValid())
            return; // EAGAIN: none left (other errors: try again at the next wake)
        const std::optional<BrowserSocket::PeerCredentials> peer = BrowserSocket::peerCredentials(fd.get());
        if (!BrowserSocket::isSameUserPeer(peer, ::geteuid())) {
            qCWarning(browserLog, "Ostrevane: refused a browser connection from another user (uid %d)",
                      peer ? static_cast<int>(peer->uid) : -1);
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->fd = std::move(fd);
        connection->info.connectorPID = peer->pid;
        connection->info.browser = m_options.identify(peer->pid).value_or(BrowserProcess{});
        connection->info.bundleID = bundleIDFor(connection->info.browser);
        const QString bundleID = connection->info.bundleID;
        {
            std::lock_guard lock(m_mutex);
            connection->info.connection = m_nextConnection++;
            qCInfo(browserLog, "Ostrevane: browser connected: %s (pid %d, %s)", qPrintable(bundleID),
                   static_cast<int>(connection->info.browser.pid), qPrintable(connection->info.browser.executable));
            m_connections.emplace(connection->info.connection, std::move(connection));
        }
        if (!bundleID.isEmpty() && m_options.onTabsChanged)
            m_options.onTabsChanged(bundleID);
    }
}

void ExtensionBrowserAutomation::writeTo(quint64 id)
{
    std::unique_lock lock(m_mutex);
    const auto found = m_connections.find(id);
    if (found == m_connections.end())
        return;
    if (!BrowserSocket::writeAvailable(found->second->fd.get(), found->second->outbox)) {
        lock.unlock();
        closeConnection(id);
    }
}

void ExtensionBrowserAutomation::readFrom(quint64 id)
{
    Connection* connection = nullptr;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_connections.find(id);
        if (found == m_connections.end())
            return;
        connection = found->second.get(); // only this thread removes connections
    }
    const bool ended = BrowserSocket::readAvailable(connection->fd.get(), connection->inbox);
    takeFrames(id, *connection);
    if (ended)
        closeConnection(id); // the connector ended (its browser closed it) or broke
}

void ExtensionBrowserAutomation::takeFrames(quint64 id, Connection& connection)
{
    qsizetype offset = 0;
    for (;;) {
        const Frame frame = NativeMessaging::readFrame(QByteArrayView(connection.inbox).sliced(offset),
                                                       NativeMessaging::maxFromBrowser);
        if (frame.status == Frame::Status::incomplete)
            break;
        if (frame.status == Frame::Status::oversized) {
            qCWarning(browserLog, "Ostrevane: a browser connector sent an oversized message; disconnected");
            closeConnection(id);
            return;
        }
        offset += frame.consumed;
        if (frame.status == Frame::Status::malformed) {
            if (!std::exchange(connection.warnedMalformed, true))
                qCWarning(browserLog, "Ostrevane: a browser connector sent a malformed message; skipped");
            continue;
        }
        handleMessage(id, frame.message);
    }
    connection.inbox.remove(0, offset);
}

void ExtensionBrowserAutomation::handleMessage(quint64 id, const QJsonObject& message)
{
    std::function<void(std::optional<QJsonObject>)> completion;
    QString changedBrowser;
    {
        std::lock_guard lock(m_mutex);
        Connection& connection = *m_connections.at(id);
        const QString type = message.value(ExtensionProtocol::typeKey).toString();
        if (const std::optional<qint64> replyID = ExtensionProtocol::replyID(message)) {
            const auto found = m_pending.find(*replyID);
            if (found == m_pending.end() || found->second->connection != id)
                return; // an answer nobody waits for any more
            if (found->second->completion) {
                completion = std::move(found->second->completion);
                m_pending.erase(found);
            } else {
                found->second->done = true;
                found->second->answer = message;
                m_answered.notify_all();
            }
        } else if (type == ExtensionProtocol::hello) {
            connection.info.extensionVersion = message.value(QStringLiteral("version")).toString();
            connection.info.browserVersion = message.value(QStringLiteral("browser")).toString();
            changedBrowser = connection.info.bundleID;
        } else if (type == ExtensionProtocol::changed) {
            changedBrowser = connection.info.bundleID;
        }
    }
    if (completion)
        completion(message);
    if (!changedBrowser.isEmpty() && m_options.onTabsChanged)
        m_options.onTabsChanged(changedBrowser);
}

void ExtensionBrowserAutomation::closeConnection(quint64 id)
{
    std::vector<std::function<void(std::optional<QJsonObject>)>> completions;
    QString bundleID;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_connections.find(id);
        if (found == m_connections.end())
            return;
        bundleID = found->second->info.bundleID;
        qCInfo(browserLog, "Ostrevane: browser disconnected: %s", qPrintable(bundleID));
        m_connections.erase(found);
        for (auto it = m_pending.begin(); it != m_pending.end();) {
            Pending& pending = *it->second;
            if (pending.connection != id) {
                ++it;
            } else if (pending.completion) {
                completions.push_back(std::move(pending.completion));
                it = m_pending.erase(it);
            } else {
                pending.done = true; // its waiter removes it
                ++it;
            }
        }
        m_answered.notify_all();
    }
    for (const auto& completion : completions)
        completion(std::nullopt);
    if (!bundleID.isEmpty() && m_options.onTabsChanged)
        m_options.onTabsChanged(bundleID);
}

void ExtensionBrowserAutomation::expireAsyncRequests()
{
    std::vector<std::function<void(std::optional<QJsonObject>)>> expired;
    {
        std::lock_guard lock(m_mutex);
        const Clock::time_point now = Clock::now();
        for (auto it = m_pending.begin(); it != m_pending.end();) {
            if (it->second->completion && it->second->deadline <= now) {
                expired.push_back(std::move(it->second->completion));
                it = m_pending.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& completion : expired)
        completion(std::nullopt);
}

QString ExtensionBrowserAutomation::bundleIDFor(const BrowserProcess& browser) const
{
    for (const BrowserSpec& spec : m_options.browsers)
        if (!browser.executable.isEmpty() && spec.executableNames.contains(browser.executable))
            return spec.bundleID;
    return QString();
}

} // namespace ostrevane
