#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

namespace ostrevane {

// A file descriptor that closes itself.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// The per-user local socket between the program and the browsers' connectors. It lives
// in the user's private runtime folder, so only the user can reach it; both ends also
// check that the process at the other end runs as the same user.
namespace BrowserSocket {

// "$XDG_RUNTIME_DIR/ostrevane-browser.sock" when that folder is private to the user
// (owned by the user, no access for group or others); else the same name in
// "/run/user/<uid>" under the same condition; else in "/tmp/ostrevane-<uid>", which is
// created private. None when no such folder can be had (the caller says why, once).
std::optional<QString> defaultPath(QString* error = nullptr);

// Whether `folder` exists, is a real folder (not a link), belongs to this user and
// grants nothing to group or others.
bool isPrivateFolder(const QString& folder);

// Listens on `path`, non-blocking and close-on-exec, with a socket file only the user can
// use. A socket of this user already there (left by a run that crashed, or by a copy
// that is quitting) is replaced; anything else at the path (another user's socket, a
// file, a link) is left alone and the call fails. Invalid fd and `error` set on failure.
UniqueFd listen(const QString& path, QString* error);

// Connects to the program's socket, blocking and close-on-exec. Fails (invalid fd and
// `error` set) when nobody listens or the listener runs as another user.
UniqueFd connectTo(const QString& path, QString* error);

struct PeerCredentials {
    pid_t pid = 0;
    uid_t uid = 0;
};
// The credentials of the process at the other end of a connected socket.
std::optional<PeerCredentials> peerCredentials(int fd);
// Whether the other end runs as `ownUid` (this process's effective user by default).
bool isSameUserPeer(const std::optional<PeerCredentials>& peer, uid_t ownUid);
bool isSameUserPeer(int fd);

// Appends to `buffer` what a non-blocking descriptor has to give; true when the other
// end has closed or the read failed (what was read before is kept).
bool readAvailable(int fd, QByteArray& buffer);
// Writes what a non-blocking descriptor takes now from the front of `buffer` and removes
// it; false when the other end has gone or the write failed.
bool writeAvailable(int fd, QByteArray& buffer);
// Makes a descriptor non-blocking.
bool setNonBlocking(int fd);

} // namespace BrowserSocket

} // namespace ostrevane
