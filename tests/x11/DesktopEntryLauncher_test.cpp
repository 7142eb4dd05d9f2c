// Starting desktop entries for real: programs run with their startup id in their working
// folder, or inside a terminal when they ask for one; a private session bus stands in for
// the user's.
#include "X11BackendFixture.h"

#include "platform/x11/DesktopEntryLauncher.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <mutex>

namespace ostrevane::x11test {
namespace {

using namespace Qt::StringLiterals;

// A program that writes what it was started with to "<itself>.out", then waits to be ended.
QString writeProbe(const QString& folder)
{
    const QString path = folder + u"/probe.sh"_s;
    QFile probe(path);
    probe.open(QIODevice::WriteOnly);
    probe.write("#!/bin/sh\n"
                "{ echo \"$DESKTOP_STARTUP_ID\"; pwd; echo \"$@\"; } > \"$0.tmp\"\n"
                "mv \"$0.tmp\" \"$0.out\"\n"
                "exec sleep 600\n");
    probe.close();
    probe.setPermissions(probe.permissions() | QFileDevice::ExeOwner);
    return path;
}

// org.freedesktop.Application on a bus name of its own, answering on a thread of its own
// (the test's thread waits for the launcher meanwhile).
class ActivatableApplication : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != u"org.freedesktop.Application"_s || message.member() != u"Activate"_s)
            return false;
        {
            std::lock_guard lock(m_lock);
            m_platformData = qdbus_cast<QVariantMap>(message.arguments().value(0));
            m_path = message.path();
        }
        connection.send(message.createReply());
        return true;
    }
    std::pair<QString, QVariantMap> received()
    {
        std::lock_guard lock(m_lock);
        return {m_path, m_platformData};
    }

private:
    std::mutex m_lock;
    QString m_path;
    QVariantMap m_platformData;
};

class DesktopEntryLauncherTest : public X11BackendTest {
protected:
    static void SetUpTestSuite()
    {
        X11BackendTest::SetUpTestSuite();
        // A private session bus, in place before anything in this process reaches for one.
        s_bus = new QProcess;
        s_bus->start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        if (s_bus->waitForReadyRead(15000))
            qputenv("DBUS_SESSION_BUS_ADDRESS", s_bus->readLine().trimmed());
    }
    static void TearDownTestSuite()
    {
        s_bus->kill();
        s_bus->waitForFinished();
        delete s_bus;
        X11BackendTest::TearDownTestSuite();
    }

    void SetUp() override
    {
        X11BackendTest::SetUp();
        probe = writeProbe(m_folder.path());
    }
    void TearDown() override
    {
        for (const ProcessID pid : m_launched)
            ::kill(pid, SIGKILL); // detached: not the session's children
        X11BackendTest::TearDown();
    }

    DesktopEntry entry(const QString& id, const QString& exec)
    {
        DesktopEntry e;
        e.id = id;
        e.name = e.localizedName = u"Probe"_s;
        e.path = m_folder.filePath(id + u".desktop"_s);
        e.exec = exec;
        return e;
    }

    struct Outcome {
        QString startupID;
        std::optional<ProcessID> pid;
        std::optional<QString> error;
    };
    std::optional<Outcome> launch(DesktopEntryLauncher& launcher, const DesktopEntry& e)
    {
        std::optional<Outcome> outcome;
        launcher.launch(e, [&](const QString& id, std::optional<ProcessID> pid, std::optional<QString> error) {
            outcome = Outcome{id, pid, error};
            if (pid)
                m_launched.push_back(*pid);
        });
        dispatcher->runMainUntil([&] { return outcome.has_value(); }, windowTimeout);
        return outcome;
    }

    // What the probe wrote: startup id, working folder, parent program, arguments.
    QStringList probeReport()
    {
        QFile report(probe + u".out"_s);
        if (!waitUntil([&] { return report.exists(); }) || !report.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(report.readAll()).split(u'\n');
        lines.removeLast(); // after the last line's end
        return lines;
    }

    static inline QProcess* s_bus = nullptr;
    QString probe;

private:
    QTemporaryDir m_folder;
    std::vector<ProcessID> m_launched;
};

TEST(DesktopEntryLauncherRules, PassesTheProgramToEachTerminalTheWayItExpects)
{
    const QStringList vim = {u"vim"_s, u"notes.txt"_s};
    EXPECT_EQ(DesktopEntryLauncher::inTerminal({u"xterm"_s}, vim), (QStringList{"xterm", "-e", "vim", "notes.txt"}));
    EXPECT_EQ(DesktopEntryLauncher::inTerminal({u"/usr/bin/gnome-terminal"_s}, vim),
              (QStringList{"/usr/bin/gnome-terminal", "--", "vim", "notes.txt"}));
    EXPECT_EQ(DesktopEntryLauncher::inTerminal({u"kitty"_s, u"--single-instance"_s}, vim),
              (QStringList{"kitty", "--single-instance", "vim", "notes.txt"}));
}

TEST(DesktopEntryLauncherRules, FindsTheUsersTerminalBeforeAnyOther)
{
    QTemporaryDir config;
    QFile kdeglobals(config.filePath(u"kdeglobals"_s));
    kdeglobals.open(QIODevice::WriteOnly);
    kdeglobals.write("[General]\nTerminalApplication=konsole --separate\n");
    kdeglobals.close();
    const auto sources = [&](const QString& variable, const QStringList& desktops, const QStringList& installed) {
        return TerminalSources{variable, desktops, config.path(),
                               [installed](const QString& p) { return installed.contains(p) ? u"/usr/bin/"_s + p : QString(); }};
    };
    const QStringList everything = {u"alacritty"_s, u"konsole"_s, u"exo-open"_s, u"x-terminal-emulator"_s, u"xterm"_s};
    const struct {
        TerminalSources sources;
        std::optional<QStringList> terminal;
    } rows[] = {
        {sources(u"alacritty -o x=1"_s, {u"KDE"_s}, everything), QStringList{"alacritty", "-o", "x=1"}},
        {sources(u"missing-term"_s, {u"KDE"_s}, everything), QStringList{"konsole", "--separate"}},
        {sources({}, {u"XFCE"_s}, everything), QStringList{"exo-open", "--launch", "TerminalEmulator"}},
        {sources({}, {}, {u"xterm"_s}), QStringList{"xterm"}},
        {sources({}, {u"KDE"_s}, {}), std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DesktopEntryLauncher::terminalCommand(row.sources), row.terminal)
            << row.sources.terminalVariable.toStdString() << " " << row.sources.currentDesktops.join(',').toStdString();
}

TEST(DesktopEntryLauncherRules, StartupMessagesQuoteEveryValue)
{
    EXPECT_EQ(DesktopEntryLauncher::startupMessage(u"new"_s, {{u"ID"_s, u"a/b_TIME5"_s}, {u"NAME"_s, u"Say \"hi\" \\o/"_s}}),
              QByteArray(R"(new: ID="a/b_TIME5" NAME="Say \"hi\" \\o/")"));
}

TEST_F(DesktopEntryLauncherTest, RunsTheEntryInItsFolderWithItsStartupId)
{
    DesktopEntryLauncher launcher(connection, *dispatcher);
    DesktopEntry e = entry(u"org.example.Probe"_s, probe + u" --title=%c %f"_s);
    e.workingDirectory = QDir::tempPath();

    const std::optional<Outcome> outcome = launch(launcher, e);
    ASSERT_TRUE(outcome);
    ASSERT_FALSE(outcome->error) << outcome->error->toStdString();
    EXPECT_TRUE(outcome->pid);
    const QStringList report = probeReport();
    ASSERT_EQ(report.size(), 3) << report.join('|').toStdString();
    EXPECT_EQ(report[0], outcome->startupID);
    EXPECT_TRUE(report[0].contains(u"_TIME"_s)) << "window managers read the request's time from the id";
    EXPECT_EQ(report[1], QDir::tempPath());
    EXPECT_EQ(report[2], u"--title=Probe"_s);
}

TEST_F(DesktopEntryLauncherTest, AnEntryThatCannotStartSaysWhyAndStartsNothing)
{
    TerminalSources noTerminal = TerminalSources::fromEnvironment();
    noTerminal.terminalVariable.clear();
    noTerminal.findExecutable = [](const QString&) { return QString(); };
    DesktopEntryLauncher launcher(connection, *dispatcher, noTerminal);
    DesktopEntry missingTryExec = entry(u"a"_s, probe), invalid = entry(u"b"_s, probe + u" %x"_s),
                 missingProgram = entry(u"c"_s, u"/nonexistent/program"_s), missingFolder = entry(u"d"_s, probe),
                 inTerminal = entry(u"e"_s, probe);
    missingTryExec.tryExec = u"/nonexistent/program"_s;
    missingFolder.workingDirectory = u"/nonexistent/folder"_s;
    inTerminal.terminal = true;

    for (const DesktopEntry& e : {missingTryExec, invalid, missingProgram, missingFolder, inTerminal}) {
        const std::optional<Outcome> outcome = launch(launcher, e);
        ASSERT_TRUE(outcome) << e.id.toStdString();
        EXPECT_FALSE(outcome->pid) << e.id.toStdString();
        EXPECT_TRUE(outcome->error && !outcome->error->isEmpty()) << e.id.toStdString();
    }
    EXPECT_FALSE(QFile::exists(probe + u".out"_s));
}

// An entry that asks to be started over the bus is asked there, with its startup id; one
// whose application is not on the bus runs its Exec line instead.
TEST_F(DesktopEntryLauncherTest, ABusActivatableEntryIsAskedOverTheBusWithItsStartupId)
{
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "no private session bus";
    QThread serviceThread;
    serviceThread.start();
    ActivatableApplication application;
    application.moveToThread(&serviceThread);
    QDBusConnection service = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"activatable"_s);
    ASSERT_TRUE(service.registerService(u"org.example.Activatable"_s));
    ASSERT_TRUE(service.registerVirtualObject(u"/org/example/Activatable"_s, &application));
    DesktopEntryLauncher launcher(connection, *dispatcher);
    DesktopEntry activatable = entry(u"org.example.Activatable"_s, probe);
    activatable.dbusActivatable = true;
    DesktopEntry unreachable = entry(u"org.example.NotOnTheBus"_s, probe + u" fallback"_s);
    unreachable.dbusActivatable = true;

    const std::optional<Outcome> asked = launch(launcher, activatable);
    const std::optional<Outcome> fellBack = launch(launcher, unreachable);
    service.unregisterObject(u"/org/example/Activatable"_s);
    QDBusConnection::disconnectFromBus(u"activatable"_s);
    serviceThread.quit();
    serviceThread.wait();

    ASSERT_TRUE(asked && fellBack);
    EXPECT_FALSE(asked->error);
    EXPECT_FALSE(asked->pid) << "the bus started nothing of ours";
    const auto [path, platformData] = application.received();
    EXPECT_EQ(path, u"/org/example/Activatable"_s);
    EXPECT_EQ(platformData.value(u"desktop-startup-id"_s).toString(), asked->startupID);
    EXPECT_FALSE(fellBack->error);
    EXPECT_TRUE(fellBack->pid);
    const QStringList report = probeReport();
    ASSERT_EQ(report.size(), 3) << report.join('|').toStdString();
    EXPECT_EQ(report[2], u"fallback"_s);
}

} // namespace
} // namespace ostrevane::x11test
