#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ostrevane {

namespace {

const QByteArray whoRequest = QByteArrayLiteral("who");
const QByteArray okAnswer = QByteArrayLiteral("ok");
const QString socketName = QStringLiteral("instance.socket");
const QString lockName = QStringLiteral("instance.lock");

QString ownExecutable()
{
    const QString path = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    return path.isEmpty() ? QCoreApplication::applicationFilePath() : path;
}

std::optional<QString> socketIn(const std::optional<QString>& folder)
{
    return folder ? std::optional<QString>(*folder + QLatin1Char('/') + socketName) : std::nullopt;
}

// A path that fits a local socket address; nothing for one too long.
std::optional<sockaddr_un> socketAddress(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.size() >= qsizetype(sizeof(address.sun_path)))
        return std::nullopt;
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    return address;
}

// Whether the process at the other end of `fd` runs as this user. A socket another user
// made can be connected to in a folder that user controls, and a user can connect to ours
// where the folder lets them: neither may ever speak for or to this user's copy.
bool peerIsThisUser(int fd)
{
    ucred peer{};
    socklen_t length = sizeof(peer);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return false;
    if (peer.uid == ::geteuid())
        return true;
    qWarning("Ostrevane: a process of user %u spoke on this user's instance socket; ignored", unsigned(peer.uid));
    return false;
}

// Reads up to a newline; with `untilClosed`, on until the other side closes.
std::optional<QByteArray> readAnswer(int fd, const QDeadlineTimer& deadline, bool untilClosed)
{
    QByteArray received;
    pollfd watched{fd, POLLIN, 0};
    for (;;) {
        const bool answered = received.contains('\n');
        if (answered && !untilClosed)
            break;
        if (::poll(&watched, 1, int(deadline.remainingTime())) <= 0)
            return std::nullopt; // no answer, or the copy did not end, in time
        char buffer[256];
        const ssize_t got = ::read(fd, buffer, sizeof(buffer));
        if (got <= 0) {
            if (answered)
                break; // closed after answering: the copy has ended
            return std::nullopt;
        }
        received.append(buffer, got);
    }
    return received.left(received.indexOf('\n'));
}

// Whether process `pid` has ended: gone, or a zombie its parent has not collected yet.
bool hasEnded(ProcessID pid)
{
    if (::kill(pid, 0) != 0)
        return errno == ESRCH;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype state = line.lastIndexOf(')') + 2; // after "pid (name) "
    return state < line.size() && line.at(state) == 'Z';
}

// Asks the copy to quit and waits until its connection closes (everything it held is let
// go by then) and the process itself has ended.
bool quitAndWait(const QString& socketPath, ProcessID pid)
{
    const QDeadlineTimer deadline(LocalSocketCopies::quitTimeoutMs);
    if (askRunningCopy(socketPath, LaunchRequest{LaunchRequest::Kind::quit, {}}.encode(),
                       int(deadline.remainingTime()), true)
        != okAnswer)
        return false;
    while (!hasEnded(pid)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(5);
    }
    return true;
}

QString cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/ostrevane");
}

// Creates `path` for this user alone (its parent must exist) and checks it.
std::optional<QString> privateFolder(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::lstat(name.constData(), &status) == 0 && S_ISSOCK(status.st_mode) && status.st_uid == ::geteuid())
        ::unlink(name.constData()); // an older version's socket had this name
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    if (!InstanceFolder::isPrivate(path)) {
        qWarning("Ostrevane: %s is not a folder of this user alone; not used", name.constData());
        return std::nullopt;
    }
    return path;
}

} // namespace

bool InstanceFolder::isPrivate(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::lstat(name.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid())
        return false;
    return (status.st_mode & 077) == 0 || ::chmod(name.constData(), 0700) == 0;
}

std::optional<QString> InstanceFolder::find()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        if (auto folder = privateFolder(runtime + QStringLiteral("/ostrevane")))
            return folder;
    if (auto folder = privateFolder(QDir::tempPath() + QStringLiteral("/ostrevane-%1").arg(::geteuid())))
        return folder;
    QDir().mkpath(QFileInfo(cacheFolder()).path());
    if (auto folder = privateFolder(cacheFolder()))
        return folder;
    qWarning("Ostrevane: no private folder for the instance socket; other copies cannot be found");
    return std::nullopt;
}

std::optional<QByteArray> askRunningCopy(const QString& socketPath, const QByteArray& line, int timeoutMs,
                                         bool untilClosed)
{
    const std::optional<sockaddr_un> address = socketAddress(socketPath);
    if (!address)
        return std::nullopt;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> answer;
    const QByteArray request = line + '\n';
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) == 0 && peerIsThisUser(fd)
        && ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size())
        answer = readAnswer(fd, QDeadlineTimer(timeoutMs), untilClosed);
    ::close(fd);
    return answer;
}

LocalSocketCopies::LocalSocketCopies(QObject* parent) : QObject(parent) {}

LocalSocketCopies::LocalSocketCopies(std::optional<QString> folder, QObject* parent)
    : QObject(parent)
    , m_folder(std::move(folder))
{
}

const std::optional<QString>& LocalSocketCopies::folder()
{
    if (!m_folder)
        m_folder = InstanceFolder::find();
    return *m_folder;
}

LocalSocketCopies::~LocalSocketCopies()
{
    while (!m_received.empty())
        closeConnection(m_received.begin()->first);
    if (m_listenFd >= 0) {
        delete m_notifier;
        ::close(m_listenFd);
        // A copy that took over meanwhile made a new socket file: leave that one alone.
        struct stat status {};
        const QByteArray name = QFile::encodeName(*socketPath());
        if (::lstat(name.constData(), &status) == 0 && quint64(status.st_ino) == m_socketInode)
            ::unlink(name.constData());
    }
    unlockStart();
}

std::optional<QString> LocalSocketCopies::socketPath() { return socketIn(folder()); }

std::optional<QString> LocalSocketCopies::ownLocation() { return ownExecutable(); }

// Waits (up to a limit) while another copy is deciding; a copy that hangs there must not
// keep every later one from starting.
void LocalSocketCopies::lockStart()
{
    if (!folder() || m_lockFd >= 0)
        return;
    const QByteArray name = QFile::encodeName(*folder() + QLatin1Char('/') + lockName);
    m_lockFd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lockFd < 0)
        return;
    const QDeadlineTimer deadline(startLockTimeoutMs);
    while (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        if (deadline.hasExpired()) {
            qWarning("Ostrevane: another copy has been starting for %d s; going on", startLockTimeoutMs / 1000);
            return;
        }
        QThread::msleep(10);
    }
}

void LocalSocketCopies::unlockStart()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd); // releases the lock
    m_lockFd = -1;
}

std::vector<RunningCopies::Copy> LocalSocketCopies::others()
{
    lockStart();
    const std::optional<QString> path = socketPath();
    const std::optional<QByteArray> line = path ? askRunningCopy(*path, whoRequest, requestTimeoutMs) : std::nullopt;
    if (!line)
        return {}; // nobody of this user listens (a stale socket file is replaced by settle())
    const qsizetype tab = line->indexOf('\t');
    bool numeric = false;
    const ProcessID pid = line->left(tab).toInt(&numeric);
    if (tab < 0 || !numeric) {
        qWarning("Ostrevane: another copy answered unexpectedly: %s", line->constData());
        return {};
    }
    return {Copy{pid, QString::fromUtf8(line->mid(tab + 1))}};
}

void LocalSocketCopies::terminate(const Copy& copy)
{
    const std::optional<QString> path = socketPath();
    if (!path || !quitAndWait(*path, copy.pid))
        qWarning("Ostrevane: the copy at %s (process %d) did not end when asked", qPrintable(copy.location),
                 copy.pid);
}

bool LocalSocketCopies::handOver(const Copy& copy, const LaunchRequest& request)
{
    const std::optional<QString> path = socketPath();
    if (path && askRunningCopy(*path, request.encode(), requestTimeoutMs) == okAnswer)
        return true;
    qWarning("Ostrevane: the running copy (process %d) did not take the request \"%s\"", copy.pid,
             request.encode().constData());
    return false;
}

void LocalSocketCopies::settle(std::function<void(const LaunchRequest&)> handler)
{
    m_handler = std::move(handler);
    if (!folder())
        return;
    lockStart(); // settle() without others() still decides in turn
    listen();
    unlockStart();
}

// The socket file may be left from a copy that crashed, or from one that was asked to
// quit and has ended: nobody answered for it while this copy held the start lock.
bool LocalSocketCopies::listen()
{
    const std::optional<sockaddr_un> address = socketAddress(*socketPath());
    const QByteArray name = QFile::encodeName(*socketPath());
    m_listenFd = address ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1;
    ::unlink(name.constData());
    struct stat status {};
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0
        || ::listen(m_listenFd, 8) != 0 || ::lstat(name.constData(), &status) != 0) {
        qWarning("Ostrevane: cannot listen for other copies at %s: %s", name.constData(), std::strerror(errno));
        if (m_listenFd >= 0)
            ::close(m_listenFd);
        m_listenFd = -1;
        return false;
    }
    m_socketInode = quint64(status.st_ino);
    m_notifier = new QSocketNotifier(m_listenFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalSocketCopies::acceptConnections);
    return true;
}

void LocalSocketCopies::acceptConnections()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        if (!peerIsThisUser(fd)) {
            ::close(fd);
            continue;
        }
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        m_received[notifier];
        connect(notifier, &QSocketNotifier::activated, this, [this, notifier] { readFrom(notifier); });
    }
}

// Answers each whole line that came; the connection ends when the asker hangs up, or
// sends more than a request can be without ending its line.
void LocalSocketCopies::readFrom(QSocketNotifier* notifier)
{
    const int fd = int(notifier->socket());
    QByteArray& received = m_received[notifier];
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof(buffer))) > 0)
        received.append(buffer, got);
    const bool hungUp = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
    std::vector<QByteArray> lines;
    for (qsizetype end = received.indexOf('\n'); end >= 0; end = received.indexOf('\n')) {
        lines.push_back(received.left(end).trimmed());
        received.remove(0, end + 1);
    }
    const bool overlong = received.size() > maxRequestBytes;
    for (const QByteArray& line : lines)
        if (m_received.contains(notifier)) // a request's handler may have ended it meanwhile
            answer(fd, line);
    if (hungUp || overlong)
        closeConnection(notifier);
}

void LocalSocketCopies::closeConnection(QSocketNotifier* notifier)
{
    if (m_received.erase(notifier) == 0)
        return;
    notifier->setEnabled(false);
    ::close(int(notifier->socket()));
    notifier->deleteLater();
}

// A closed connection is written to in vain, which is no fault here.
void LocalSocketCopies::answer(int fd, const QByteArray& line)
{
    const auto reply = [fd](const QByteArray& text) { ::send(fd, text.constData(), size_t(text.size()), MSG_NOSIGNAL); };
    if (line == whoRequest) {
        reply(QByteArray::number(QCoreApplication::applicationPid()) + '\t' + ownExecutable().toUtf8() + '\n');
        return;
    }
    const std::optional<LaunchRequest> request = LaunchRequest::decode(line);
    reply(request ? okAnswer + '\n' : QByteArrayLiteral("unknown\n"));
    if (!request)
        return;
    if (request->kind == LaunchRequest::Kind::quit) {
        // The connection stays open until this copy has ended, which the asker waits for.
        QCoreApplication::quit();
    } else if (m_handler) {
        m_handler(*request);
    }
}

bool LocalSocketCopies::quitRunningCopy(const std::optional<QString>& instanceFolder)
{
    LocalSocketCopies copies(instanceFolder);
    const std::vector<Copy> running = copies.others();
    copies.unlockStart();
    return !running.empty() && quitAndWait(*copies.socketPath(), running.front().pid);
}

} // namespace ostrevane
