#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace ostrevane::test {

// A second local user for tests of what another user can do to ours: created with
// useradd when the tests run as root (as in CI) and removed afterwards. Without root
// (or useradd) it is unavailable and says why, and the test skips.
class OtherUser {
public:
    OtherUser()
    {
        if (::geteuid() != 0) {
            m_why = QStringLiteral("needs root to create a second user account");
            return;
        }
        m_name = QStringLiteral("ostrevane-t%1").arg(::getpid());
        QProcess add;
        add.start(QStringLiteral("useradd"), {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                                              QStringLiteral("--user-group"), QStringLiteral("--shell"),
                                              QStringLiteral("/usr/sbin/nologin"), m_name});
        const passwd* entry = nullptr;
        if (add.waitForFinished(30000) && add.exitCode() == 0)
            entry = ::getpwnam(m_name.toLocal8Bit().constData());
        if (!entry) {
            m_why = QStringLiteral("useradd could not create a user: ") + QString::fromLocal8Bit(add.readAllStandardError());
            return;
        }
        m_uid = entry->pw_uid;
        m_gid = entry->pw_gid;
        m_created = true;
    }
    ~OtherUser()
    {
        if (!m_created)
            return;
        QProcess remove;
        remove.start(QStringLiteral("userdel"), {m_name});
        remove.waitForFinished(30000);
    }
    OtherUser(const OtherUser&) = delete;
    OtherUser& operator=(const OtherUser&) = delete;

    bool isAvailable() const { return m_created; }
    const QString& unavailableBecause() const { return m_why; }
    uid_t uid() const { return m_uid; }

    // Runs `body` in a child process as this user; its result is the child's exit status
    // (-1 when it could not become the user or died). Only plain system calls belong in
    // `body`: the child is a fork of a threaded program.
    int run(const std::function<int()>& body) const
    {
        const pid_t child = start(body);
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
            return -1;
        return WEXITSTATUS(status) == becomeFailed ? -1 : WEXITSTATUS(status);
    }
    // The same, left running: the caller ends it with stop().
    pid_t start(const std::function<int()>& body) const
    {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(m_gid) != 0 || ::setuid(m_uid) != 0)
                ::_exit(becomeFailed);
            ::_exit(body());
        }
        return child;
    }
    static void stop(pid_t child)
    {
        if (child <= 0)
            return;
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }

private:
    static constexpr int becomeFailed = 99;

    QString m_name;
    QString m_why;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    bool m_created = false;
};

// A listening socket at `path` that answers every line with `answer` (plain system
// calls, for use inside OtherUser::start). Writes one byte to `ready` once it listens.
// Each line it was sent is appended to the file `heard` (open for everyone).
inline int serveSocket(const char* path, const char* answer, int ready, const char* heard)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path, sizeof(address.sun_path) - 1);
    ::unlink(path);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd, 8) != 0)
        return 2;
    ::chmod(path, 0777); // anyone may connect, as a squatter would allow
    if (::write(ready, "r", 1) != 1)
        return 3;
    for (;;) {
        const int client = ::accept(fd, nullptr, nullptr);
        if (client < 0)
            continue;
        char buffer[256];
        const ssize_t got = ::read(client, buffer, sizeof(buffer));
        if (got > 0) {
            const int log = ::open(heard, O_WRONLY | O_APPEND | O_CREAT, 0666);
            if (log >= 0) {
                (void)::write(log, buffer, size_t(got));
                ::close(log);
            }
            (void)::write(client, answer, std::strlen(answer));
        }
        ::close(client);
    }
}

} // namespace ostrevane::test
