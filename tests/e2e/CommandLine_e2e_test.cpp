// The program as a shell and a desktop start it: its command line, with and without an X
// display, second starts, several starts at once, and another user's squatting in the
// temporary folder. Outcomes are read from exit codes and output, from the X server
// (whose panel Alt+Tab opens, the active window) and from the running copy's log.
#include "E2eDesktop.h"

#include "../support/OtherUser.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>

using namespace ostrevane::e2e;
using ostrevane::test::OtherUser;

namespace {

constexpr Timeout outcomeTimeout = 10s;

class CommandLine : public E2eSuite {
protected:
    QProcessEnvironment environment;

    void SetUp() override
    {
        E2eSuite::SetUp();
        environment = desktop->switcherEnvironment();
        ASSERT_FALSE(environment.isEmpty());
    }
    void startFirstCopy()
    {
        app = desktop->startSwitcherIn(environment);
        ASSERT_TRUE(app) << "the switcher did not start";
    }
    E2eDesktop::Finished run(const QStringList& arguments) { return desktop->runSwitcher(environment, arguments); }
};

} // namespace

// No running copy is needed: help and version, usage errors, a missing or unreachable
// display, quitting what does not run.
TEST_F(CommandLine, AnswersAndFailuresWithoutARunningCopy)
{
    const E2eDesktop::Finished unknown = run({QStringLiteral("--frobnicate")});
    EXPECT_EQ(unknown.exitCode, 2) << unknown.err.toStdString(); // the message's text has its unit test

    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(variable));
    const E2eDesktop::Finished help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: ostrevane [--show | --preferences [PANE] | --quit]")))
        << help.out.toStdString();
    EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();
    const E2eDesktop::Finished version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Ostrevane \\d+\\.\\d+\\.\\d+( \\(.+\\))?\\n$")).match(version.out).hasMatch())
        << version.out.toStdString();
    const E2eDesktop::Finished quit = run({QStringLiteral("--quit")}); // quitting needs no display
    EXPECT_EQ(quit.exitCode, 1);
    EXPECT_EQ(quit.err, QStringLiteral("ostrevane: Ostrevane is not running.\n"));

    const E2eDesktop::Finished unset = run({});
    EXPECT_EQ(unset.exitCode, 1);
    EXPECT_EQ(unset.err, QStringLiteral("ostrevane: no X display is set (DISPLAY is empty); Ostrevane runs in an X11 "
                                        "session.\n"));
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4711"));
    const E2eDesktop::Finished unreachable = run({QStringLiteral("--show")});
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_EQ(unreachable.err, QStringLiteral("ostrevane: cannot open the X display \":4711\"; Ostrevane runs in an "
                                              "X11 session.\n"));

    environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("fr_FR:zh_CN:en_US"));
    EXPECT_TRUE(run({QStringLiteral("-h")}).out.startsWith(QStringLiteral("用法："))) << "no Chinese help";
}

// --show, a second start and --preferences reach the running copy and never replace it;
// --quit returns once it has ended cleanly.
TEST_F(CommandLine, LaterStartsReachTheRunningCopyAndQuitEndsIt)
{
    clients.push_back(desktop->startXterm(QStringLiteral("Alpha")));
    ASSERT_TRUE(clients.back());
    startFirstCopy();

    EXPECT_EQ(run({QStringLiteral("--show")}).exitCode, 0);
    ASSERT_TRUE(desktop->waitForKeyboardHeldBy(app->pid(), outcomeTimeout)) << "no panel";
    keys({QStringLiteral("Escape")});
    EXPECT_TRUE(desktop->waitForNoVisibleWindow(app->pid(), outcomeTimeout));

    EXPECT_EQ(run({}).exitCode, 0);
    EXPECT_TRUE(app->waitForLine(QStringLiteral("ostrevane.preferences: opened on general"), outcomeTimeout))
        << app->transcript().toStdString();
    // A real window, in front with the keyboard, that the window manager lists.
    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Ostrevane Preferences"), outcomeTimeout))
        << desktop->activeWindowTitle().toStdString();
    EXPECT_EQ(run({QStringLiteral("--preferences"), QStringLiteral("exceptions")}).exitCode, 0);
    EXPECT_TRUE(app->waitForLine(QStringLiteral("ostrevane.preferences: opened on exceptions"), outcomeTimeout));
    EXPECT_TRUE(app->isRunning());

    const E2eDesktop::Finished quit = run({QStringLiteral("--quit")});
    EXPECT_EQ(quit.exitCode, 0) << quit.err.toStdString();
    // --quit returns once the copy has ended: it is a zombie of this test by then, which the
    // test's own process bookkeeping learns of from SIGCHLD a moment later.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(app->pid()));
    const QByteArray state = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    EXPECT_TRUE(state.isEmpty() || state.mid(state.lastIndexOf(')') + 2, 1) == "Z") << state.constData();
    EXPECT_TRUE(desktop->waitUntil([&] { return !app->isRunning(); }, outcomeTimeout));
    EXPECT_EQ(app->status(), QStringLiteral("exited with 0"));
}

TEST_F(CommandLine, ThreeCopiesStartedAtOnceLeaveExactlyOneHoldingAltTab)
{
    std::vector<std::unique_ptr<Child>> copies;
    for (int i = 0; i < 3; ++i)
        copies.push_back(std::make_unique<Child>(QStringLiteral(OSTREVANE_BINARY), QStringList{}, environment,
                                                 Child::Errors::merged));
    const auto running = [&] {
        return std::count_if(copies.begin(), copies.end(), [](const auto& copy) { return copy->isRunning(); });
    };
    ASSERT_TRUE(desktop->waitUntil([&] { return running() == 1; }, 30s)) << running() << " copies run";
    for (const auto& copy : copies) {
        if (!copy->isRunning()) {
            EXPECT_EQ(copy->status(), QStringLiteral("exited with 0")) << copy->transcript().toStdString();
        }
    }
    const auto survivor = std::find_if(copies.begin(), copies.end(), [](const auto& copy) { return copy->isRunning(); });
    app = std::move(*survivor);
    holdAlt({QStringLiteral("Tab")});
    EXPECT_TRUE(desktop->waitForKeyboardHeldBy(app->pid(), outcomeTimeout)) << "Alt+Tab opened no panel";
    releaseAlt();
}

TEST_F(CommandLine, AnotherUsersSquatInTheTemporaryFolderNeitherStopsNorFoolsTheProgram)
{
    OtherUser other;
    if (!other.isAvailable())
        GTEST_SKIP() << other.unavailableBecause().toStdString();
    QTemporaryDir root;
    const QString shared = root.filePath(QStringLiteral("tmp"));
    const QString home = root.filePath(QStringLiteral("home"));
    ASSERT_TRUE(QDir().mkpath(shared) && QDir().mkpath(home));
    ::chmod(QFile::encodeName(root.path()).constData(), 0755);
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    // The squatter makes our fallback folder first and answers there as an "installed copy".
    const QByteArray folder = QFile::encodeName(shared + QStringLiteral("/ostrevane-%1").arg(::geteuid()));
    const QByteArray socket = folder + "/instance.socket";
    const QByteArray heard = QFile::encodeName(shared + QStringLiteral("/heard"));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t squatter = other.start([&] {
        ::mkdir(folder.constData(), 0777);
        ::chmod(folder.constData(), 0777);
        return ostrevane::test::serveSocket(socket.constData(), "1\t/usr/bin/ostrevane\nok\n", ready[1],
                                            heard.constData());
    });
    pollfd watched{ready[0], POLLIN, 0};
    ASSERT_EQ(::poll(&watched, 1, 10000), 1);

    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    environment.remove(QStringLiteral("XDG_CACHE_HOME"));
    environment.insert(QStringLiteral("TMPDIR"), shared);
    environment.insert(QStringLiteral("HOME"), home);
    app = std::make_unique<Child>(QStringLiteral(OSTREVANE_BINARY), QStringList{}, environment, Child::Errors::merged);
    const QString ownSocket = home + QStringLiteral("/.cache/ostrevane/instance.socket");
    EXPECT_TRUE(desktop->waitUntil([&] { return QFile::exists(ownSocket) || !app->isRunning(); }, 20s));
    EXPECT_TRUE(app->isRunning()) << app->transcript().toStdString();

    EXPECT_EQ(run({QStringLiteral("--preferences"), QStringLiteral("feedback")}).exitCode, 0); // finds the real one
    EXPECT_TRUE(app->waitForLine(QStringLiteral("ostrevane.preferences: opened on feedback"), outcomeTimeout));
    OtherUser::stop(squatter);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(heard))) << "the squatter was asked something";
}
