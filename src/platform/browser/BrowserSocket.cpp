#include "platform/browser/BrowserSocket.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ostrevane {

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

namespace BrowserSocket {

namespace {

const QString socketName = QStringLiteral("ostrevane-browser.sock");

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

std::optional<sockaddr_un> address(const QString& path, QString* error)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.isEmpty() || encoded.size() >= static_cast<qsizetype>(sizeof address.sun_path)) {
        setError(error, QStringLiteral("the socket path is empty or too long: ") + path);
        return std::nullopt;
    }
    std::memcpy(address.sun_path, encoded.constData(), static_cast<size_t>(encoded.size()));
    return address;
}

UniqueFd newSocket(bool nonBlocking, QString* error)
{
    const int flags = SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0);
    UniqueFd fd(::socket(AF_UNIX, flags, 0));
    if (!fd.isValid())
        setError(error, systemError("socket"));
    return fd;
}

// Makes "/tmp/ostrevane-<uid>" when it is missing; another user may have made it first,
// which isPrivateFolder() then refuses.
QString temporaryFolder()
{
    const QString folder = QStringLiteral("/tmp/ostrevane-%1").arg(::geteuid());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return folder;
}

// Removes what a run that crashed (or a copy that is quitting) left at the path; refuses
// anything that is not this user's socket.
bool clearStaleSocket(const QByteArray& path, QString* error)
{
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0) {
        if (errno == ENOENT)
            return true;
        setError(error, systemError("lstat"));
        return false;
    }
    if (!S_ISSOCK(status.st_mode) || status.st_uid != ::geteuid()) {
        setError(error, QStringLiteral("something other than our socket is at ") + QFile::decodeName(path));
        return false;
    }
    if (::unlink(path.constData()) != 0) {
        setError(error, systemError("unlink"));
        return false;
    }
    return true;
}

} // namespace

bool isPrivateFolder(const QString& folder)
{
    struct stat status {};
    if (folder.isEmpty() || ::lstat(QFile::encodeName(folder).constData(), &status) != 0)
        return false;
    return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() && (status.st_mode & 077) == 0;
}

std::optional<QString> defaultPath(QString* error)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString userRun = QStringLiteral("/run/user/%1").arg(::geteuid());
    for (const QString& folder : {runtime, userRun})
        if (isPrivateFolder(folder))
            return folder + QLatin1Char('/') + socketName;
    if (const QString folder = temporaryFolder(); isPrivateFolder(folder))
        return folder + QLatin1Char('/') + socketName;
    setError(error, QStringLiteral("no private runtime folder (XDG_RUNTIME_DIR, /run/user, /tmp) for the "
                                   "browser socket"));
    return std::nullopt;
}

UniqueFd listen(const QString& path, QString* error)
{
    const std::optional<sockaddr_un> addr = address(path, error);
    if (!addr)
        return {};
    UniqueFd fd = newSocket(true, error);
    const QByteArray encoded = QFile::encodeName(path);
    if (!fd.isValid() || !clearStaleSocket(encoded, error))
        return {};
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&*addr), sizeof *addr) != 0) {
        setError(error, systemError("bind"));
        return {};
    }
    // The folder is private already; the socket file says so too, for folders shared by mistake.
    if (::chmod(encoded.constData(), 0600) != 0 || ::listen(fd.get(), SOMAXCONN) != 0) {
        setError(error, systemError("listen"));
        ::unlink(encoded.constData());
        return {};
    }
    return fd;
}

UniqueFd connectTo(const QString& path, QString* error)
{
    const std::optional<sockaddr_un> addr = address(path, error);
    if (!addr)
        return {};
    UniqueFd fd = newSocket(false, error);
    if (!fd.isValid())
        return {};
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*addr), sizeof *addr) != 0) {
        setError(error, systemError("connect"));
        return {};
    }
    if (!isSameUserPeer(fd.get())) {
        setError(error, QStringLiteral("the socket's listener runs as another user: ") + path);
        return {};
    }
    return fd;
}

std::optional<PeerCredentials> peerCredentials(int fd)
{
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || length != sizeof credentials)
        return std::nullopt;
    return PeerCredentials{credentials.pid, credentials.uid};
}

bool isSameUserPeer(const std::optional<PeerCredentials>& peer, uid_t ownUid) { return peer && peer->uid == ownUid; }

bool isSameUserPeer(int fd) { return isSameUserPeer(peerCredentials(fd), ::geteuid()); }

bool readAvailable(int fd, QByteArray& buffer)
{
    for (;;) {
        char chunk[64 * 1024];
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count > 0)
            buffer.append(chunk, count);
        else if (count == 0)
            return true;
        else if (errno != EINTR)
            return errno != EAGAIN && errno != EWOULDBLOCK;
    }
}

bool writeAvailable(int fd, QByteArray& buffer)
{
    while (!buffer.isEmpty()) {
        const size_t size = static_cast<size_t>(buffer.size());
        // send() spares the process SIGPIPE when a peer has gone; a pipe (the connector's
        // output) is no socket, and the connector ignores the signal instead.
        ssize_t written = ::send(fd, buffer.constData(), size, MSG_NOSIGNAL);
        if (written < 0 && errno == ENOTSOCK)
            written = ::write(fd, buffer.constData(), size);
        if (written > 0)
            buffer.remove(0, written);
        else if (written < 0 && errno == EINTR)
            continue;
        else
            return written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}

bool setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

} // namespace BrowserSocket

} // namespace ostrevane
