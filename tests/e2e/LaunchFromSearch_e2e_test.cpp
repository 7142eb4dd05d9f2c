// Installed applications opened from the switcher's search on a private X server: the
// program starts and its window takes the focus, a terminal program opens in a terminal,
// and one that cannot start is reported without anything opening in its place.
#include "E2eDesktop.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace ostrevane::e2e;

namespace {

constexpr Timeout panelTimeout = 10s;
constexpr Timeout outcomeTimeout = 15s;
const QString shownPrefix = QStringLiteral("ostrevane.panel: shown: ");

class LaunchFromSearch : public E2eSuite {
protected:
    void TearDown() override
    {
        E2eSuite::TearDown();
        // What the switcher launched is detached from it: ended here by the pids it wrote.
        for (const QString& name : {QStringLiteral("program.sh.pid"), QStringLiteral("terminal.sh.out")}) {
            QFile file(m_folder.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                for (const QByteArray& line : file.readAll().split('\n').mid(0, 2))
                    if (line.toInt() > 1)
                        ::kill(line.toInt(), SIGKILL);
        }
    }

    QString script(const QString& name, const QByteArray& body)
    {
        const QString path = m_folder.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n" + body);
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return path;
    }
    static QString entry(const QString& name, const QString& exec, const QString& more = {})
    {
        return QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n%3").arg(name, exec, more);
    }

    void startSwitcher(const E2eDesktop::SwitcherSetup& setup)
    {
        app = desktop->startSwitcher(setup);
        ASSERT_TRUE(app) << "the switcher did not start";
        clients.push_back(desktop->startXterm(QStringLiteral("Before")));
        ASSERT_TRUE(clients.back());
        ASSERT_TRUE(desktop->activate(QStringLiteral("Before")));
    }
    // Alt+Tab, Return for search, then the query and Return to open the first match.
    void search(const QString& query)
    {
        holdAlt({QStringLiteral("Tab")});
        ASSERT_TRUE(desktop->waitForKeyboardHeldBy(app->pid(), panelTimeout)) << "the panel did not take the keyboard";
        keys({QStringLiteral("Return")});
        releaseAlt();
        ASSERT_TRUE(app->waitForLine(shownPrefix, panelTimeout));
        type(query);
        keys({QStringLiteral("Return")});
    }
    QStringList fileLines(const QString& name)
    {
        QFile file(m_folder.filePath(name));
        if (!desktop->waitUntil([&] { return file.exists(); }, outcomeTimeout) || !file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir m_folder;
};

} // namespace

TEST_F(LaunchFromSearch, AnInstalledAppStartsAndItsWindowTakesTheFocus)
{
    // xterm takes the focus (xclock never does).
    const QString program = script(QStringLiteral("program.sh"),
                                   "echo $$ > \"$0.pid\"\nexec xterm -title 'Zebra Launched' -e sleep 600\n");
    startSwitcher({.desktopEntries = {{QStringLiteral("zebra-term.desktop"), entry(QStringLiteral("Zebra Term"), program)}}});

    search(QStringLiteral("zebra"));

    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Zebra Launched"), outcomeTimeout))
        << desktop->activeWindowTitle().toStdString();
}

TEST_F(LaunchFromSearch, ATerminalProgramOpensInTheUsersTerminal)
{
    const QString program = script(QStringLiteral("terminal.sh"),
                                   "{ echo $$; echo $PPID; cat /proc/$PPID/comm; } > \"$0.tmp\"\n"
                                   "mv \"$0.tmp\" \"$0.out\"\nexec sleep 600\n");
    startSwitcher({.desktopEntries = {{QStringLiteral("zebra-editor.desktop"),
                                       entry(QStringLiteral("Zebra Editor"), program, QStringLiteral("Terminal=true\n"))}},
                   .environment = {{QStringLiteral("TERMINAL"), QStringLiteral("xterm")}}});

    search(QStringLiteral("zebra"));

    const QStringList started = fileLines(QStringLiteral("terminal.sh.out"));
    ASSERT_EQ(started.size(), 3) << started.join('|').toStdString();
    EXPECT_EQ(started[2], QStringLiteral("xterm")) << "the program's parent is the terminal";
}

TEST_F(LaunchFromSearch, AnAppThatCannotStartIsReportedAndNothingOpensInItsPlace)
{
    // Opening the entry as a document would go through xdg-open: this one notes that it ran.
    QDir().mkpath(m_folder.filePath(QStringLiteral("bin")));
    script(QStringLiteral("bin/xdg-open"), "touch \"$0.used\"\n");
    startSwitcher({.desktopEntries = {{QStringLiteral("zebra-broken.desktop"),
                                       entry(QStringLiteral("Zebra Broken"), QStringLiteral("/nonexistent/zebra-editor"))}},
                   .environment = {{QStringLiteral("PATH"),
                                    m_folder.filePath(QStringLiteral("bin")) + QLatin1Char(':') + qEnvironmentVariable("PATH")}}});

    search(QStringLiteral("zebra"));

    const std::optional<QString> logged =
        app->waitForLine(QStringLiteral("[Ostrevane] Failed to open app Zebra Broken: "), outcomeTimeout);
    ASSERT_TRUE(logged) << app->transcript().toStdString();
    EXPECT_TRUE(logged->contains(QStringLiteral("/nonexistent/zebra-editor"))) << logged->toStdString();
    // The program carries on: the next showing comes, and by then nothing was opened.
    withAlt({QStringLiteral("Tab")});
    EXPECT_TRUE(app->waitForLine(shownPrefix, panelTimeout));
    EXPECT_FALSE(QFile::exists(m_folder.filePath(QStringLiteral("bin/xdg-open.used"))));
}
