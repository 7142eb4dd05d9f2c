#include "app/SingleInstance.h"

#include "support/OtherUser.h"
#include "support/QtPrinting.h"
#include "support/ScopedEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <poll.h>

using namespace ostrevane;
using ostrevane::test::OtherUser;
using ostrevane::test::ScopedEnvironment;

namespace {

// Runs the event loop (the listening copy answers there) until `done`; false on time-out.
bool pumpUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 1000 && !done(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return done();
}

mode_t modeOf(const QString& path)
{
    struct stat status {};
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status.st_mode & 07777;
}

struct Folders {
    QTemporaryDir root;
    ScopedEnvironment environment;
    QString runtime = root.filePath(QStringLiteral("runtime"));
    QString shared = root.filePath(QStringLiteral("tmp")); // like /tmp: everyone may write
    QString home = root.filePath(QStringLiteral("home"));

    Folders()
    {
        QDir().mkpath(runtime);
        QDir().mkpath(shared);
        QDir().mkpath(home);
        ::chmod(QFile::encodeName(runtime).constData(), 0700);
        ::chmod(QFile::encodeName(shared).constData(), 01777);
        ::chmod(QFile::encodeName(root.path()).constData(), 0755); // others may reach the shared folder
        environment.set("TMPDIR", QFile::encodeName(shared));
        environment.set("HOME", QFile::encodeName(home));
        environment.set("XDG_CACHE_HOME", QByteArray());
    }
    QString fallback() const { return shared + QStringLiteral("/ostrevane-%1").arg(::geteuid()); }
};

} // namespace

TEST(InstanceFolder, IsTheRuntimeFolderElseOneOfOurOwnInTheTemporaryFolderMadeForUsAlone)
{
    Folders f;
    f.environment.set("XDG_RUNTIME_DIR", QFile::encodeName(f.runtime));
    EXPECT_EQ(InstanceFolder::find(), std::optional<QString>(f.runtime + QStringLiteral("/ostrevane")));
    EXPECT_EQ(modeOf(f.runtime + QStringLiteral("/ostrevane")), 0700u);

    f.environment.set("XDG_RUNTIME_DIR", QByteArray());
    { // an older version's socket had the fallback folder's name
        LocalSocketCopies old(f.shared);
        old.settle({});
        ASSERT_TRUE(QFile::rename(*old.socketPath(), f.fallback()));
    }
    EXPECT_EQ(InstanceFolder::find(), std::optional<QString>(f.fallback()));
    EXPECT_EQ(modeOf(f.fallback()), 0700u);

    ::chmod(QFile::encodeName(f.fallback()).constData(), 0755); // ours, but open to others: tightened
    EXPECT_EQ(InstanceFolder::find(), std::optional<QString>(f.fallback()));
    EXPECT_EQ(modeOf(f.fallback()), 0700u);
}

TEST(InstanceFolder, ALinkInPlaceOfTheFolderIsNotFollowed)
{
    Folders f;
    f.environment.set("XDG_RUNTIME_DIR", QByteArray());
    const QString elsewhere = f.root.filePath(QStringLiteral("elsewhere"));
    QDir().mkpath(elsewhere);
    ::chmod(QFile::encodeName(elsewhere).constData(), 0700);
    ASSERT_TRUE(QFile::link(elsewhere, f.fallback()));
    EXPECT_EQ(InstanceFolder::find(), std::optional<QString>(f.home + QStringLiteral("/.cache/ostrevane")));
}

TEST(LocalSocketCopies, AnotherUsersListenerCannotAnswerForOurCopy)
{
    OtherUser other;
    if (!other.isAvailable())
        GTEST_SKIP() << other.unavailableBecause().toStdString();
    Folders f;
    const QByteArray socket = QFile::encodeName(f.shared + QStringLiteral("/instance.socket"));
    const QByteArray heard = QFile::encodeName(f.shared + QStringLiteral("/heard"));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t squatter = other.start([&] {
        return test::serveSocket(socket.constData(), "1\t/usr/bin/ostrevane\nok\n", ready[1], heard.constData());
    });
    pollfd watched{ready[0], POLLIN, 0};
    ASSERT_EQ(::poll(&watched, 1, 10000), 1);

    EXPECT_EQ(askRunningCopy(QString::fromLocal8Bit(socket), "who", 2000), std::nullopt);
    LocalSocketCopies copies(f.shared);
    EXPECT_TRUE(copies.others().empty()); // an "installed copy" of another user is nobody
    OtherUser::stop(squatter);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(heard))); // it never heard a request of ours
}

TEST(LocalSocketCopies, RequestsOfAnotherUserAreRefusedUnanswered)
{
    OtherUser other;
    if (!other.isAvailable())
        GTEST_SKIP() << other.unavailableBecause().toStdString();
    Folders f;
    LocalSocketCopies copies(f.shared);
    std::vector<LaunchRequest> requests;
    copies.settle([&](const LaunchRequest& request) { requests.push_back(request); });
    const QByteArray socket = QFile::encodeName(*copies.socketPath());
    ::chmod(socket.constData(), 0777); // as if the folder let others in

    std::atomic<int> answered{-2};
    std::thread intruder([&] {
        // Plain system calls: the intruder sends without asking who listens.
        answered = other.run([&] {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, socket.constData(), sizeof(address.sun_path) - 1);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
                return 2;
            if (::write(fd, "show\nquit\n", 10) != 10)
                return 3;
            char answer[16];
            return ::read(fd, answer, sizeof(answer)) > 0 ? 1 : 0; // closed without a word: 0
        });
    });
    EXPECT_TRUE(pumpUntil([&] { return answered != -2; }));
    intruder.join();
    EXPECT_EQ(answered, 0);
    EXPECT_TRUE(requests.empty());

    std::thread ours([&] { answered = askRunningCopy(QString::fromLocal8Bit(socket), "show", 3000) == "ok" ? 1 : 0; });
    EXPECT_TRUE(pumpUntil([&] { return !requests.empty(); }));
    ours.join();
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(requests, (std::vector<LaunchRequest>{{LaunchRequest::Kind::show, {}}}));
}

TEST(LocalSocketCopies, ACopyEndingLeavesTheSocketOfTheOneThatTookOver)
{
    Folders f;
    auto old = std::make_unique<LocalSocketCopies>(f.runtime);
    old->settle({});
    LocalSocketCopies newer(f.runtime); // took over: a stale-looking socket is replaced
    newer.settle({});
    old.reset();
    EXPECT_TRUE(QFile::exists(*newer.socketPath()));
    std::atomic<int> answered{-1};
    std::thread asker([&] { answered = askRunningCopy(*newer.socketPath(), "who", 3000).has_value() ? 1 : 0; });
    EXPECT_TRUE(pumpUntil([&] { return answered != -1; })); // answered while the asker waits
    asker.join();
    EXPECT_EQ(answered, 1);
}

// Requests come as lines, several in one write or one in pieces; a line without end is
// no request, and the copy hangs up on it rather than keep what it sends.
TEST(LocalSocketCopies, AnswersEachLineInTurnAndDropsAConnectionThatNeverEndsItsLine)
{
    Folders f;
    LocalSocketCopies copies(f.runtime);
    std::vector<LaunchRequest> requests;
    copies.settle([&](const LaunchRequest& request) { requests.push_back(request); });
    const auto connected = [&] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, QFile::encodeName(*copies.socketPath()).constData(), sizeof(address.sun_path) - 1);
        return ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 ? fd : -1;
    };
    // What `fd` gives until `wanted` bytes or its end; nothing when it stays silent for 5 s.
    const auto readAll = [](int fd, qsizetype wanted) -> std::optional<QByteArray> {
        QByteArray got;
        char buffer[64];
        while (got.size() < wanted) {
            pollfd watched{fd, POLLIN, 0};
            if (::poll(&watched, 1, 5000) <= 0)
                return std::nullopt;
            const ssize_t n = ::read(fd, buffer, sizeof(buffer));
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
        return got;
    };

    const int asker = connected();
    ASSERT_GE(asker, 0);
    ASSERT_EQ(::write(asker, "show\nsh", 7), 7);
    ASSERT_TRUE(pumpUntil([&] { return requests.size() == 1; }));
    ASSERT_EQ(::write(asker, "ow\nnonsense\n", 12), 12);
    ASSERT_TRUE(pumpUntil([&] { return requests.size() == 2; }));
    EXPECT_EQ(readAll(asker, 14), QByteArray("ok\nok\nunknown\n"));
    ::close(asker);

    const int flooder = connected();
    ASSERT_GE(flooder, 0);
    const QByteArray endless(LocalSocketCopies::maxRequestBytes + 1024, 'x');
    ASSERT_EQ(::write(flooder, endless.constData(), size_t(endless.size())), endless.size());
    std::atomic<int> closed{-1};
    std::thread waiter([&] { closed = readAll(flooder, 1) == QByteArray() ? 1 : 0; });
    EXPECT_TRUE(pumpUntil([&] { return closed != -1; }));
    waiter.join();
    EXPECT_EQ(closed, 1);
    ::close(flooder);
    EXPECT_EQ(requests.size(), 2u);
}
