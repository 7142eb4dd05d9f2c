// Installed applications opened from the switcher's search on a private X server: the
// program starts and its window takes the focus, a terminal program opens in a terminal,
// and one that cannot start is reported without anything opening in its place.
#include "SwitcherSuite.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace ostrevane::e2e;

namespace {

class LaunchFromSearch : public SwitcherSuite {
protected:
    static constexpr Timeout outcomeTimeout = 15s; // a program starting takes longer than a switch
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

TEST_F(LaunchFromSearch, AnAppTakesTheFocusATerminalProgramOpensInTheTerminalAndABrokenOneIsReported)
{
    // xterm takes the focus (xclock never does).
    const QString program = script(QStringLiteral("program.sh"),
                                   "echo $$ > \"$0.pid\"\nexec xterm -title 'Zebra Launched' -e sleep 600\n");
    const QString inTerminal = script(QStringLiteral("terminal.sh"),
                                      "{ echo $$; echo $PPID; cat /proc/$PPID/comm; } > \"$0.tmp\"\n"
                                      "mv \"$0.tmp\" \"$0.out\"\nexec sleep 600\n");
    // Opening the broken entry as a document would go through xdg-open: this one notes that it ran.
    QDir().mkpath(m_folder.filePath(QStringLiteral("bin")));
    script(QStringLiteral("bin/xdg-open"), "touch \"$0.used\"\n");
    startSwitcher(
        {.desktopEntries = {{QStringLiteral("zebra-term.desktop"), entry(QStringLiteral("Zebra Term"), program)},
                            {QStringLiteral("yak-editor.desktop"),
                             entry(QStringLiteral("Yak Editor"), inTerminal, QStringLiteral("Terminal=true\n"))},
                            {QStringLiteral("quokka-broken.desktop"),
                             entry(QStringLiteral("Quokka Broken"), QStringLiteral("/nonexistent/quokka-editor"))}},
         .environment = {{QStringLiteral("TERMINAL"), QStringLiteral("xterm")},
                         {QStringLiteral("PATH"),
                          m_folder.filePath(QStringLiteral("bin")) + QLatin1Char(':') + qEnvironmentVariable("PATH")}}});
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_NO_FATAL_FAILURE(useXterms({QStringLiteral("Before")}));

    searchAndOpen(QStringLiteral("zebra"));
    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Zebra Launched"), outcomeTimeout))
        << desktop->activeWindowTitle().toStdString();

    searchAndOpen(QStringLiteral("yak"));
    const QStringList started = fileLines(QStringLiteral("terminal.sh.out"));
    ASSERT_EQ(started.size(), 3) << started.join('|').toStdString();
    EXPECT_EQ(started[2], QStringLiteral("xterm")) << "the program's parent is the terminal";

    searchAndOpen(QStringLiteral("quokka"));
    const std::optional<QString> logged =
        app->waitForLine(QStringLiteral("[Ostrevane] Failed to open app Quokka Broken: "), outcomeTimeout);
    ASSERT_TRUE(logged) << app->transcript().toStdString();
    EXPECT_TRUE(logged->contains(QStringLiteral("/nonexistent/quokka-editor"))) << logged->toStdString();
    // The program carries on: the next showing comes, and by then nothing was opened.
    withAlt({QStringLiteral("Tab")});
    EXPECT_TRUE(app->waitForLine(shownPrefix, panelTimeout));
    EXPECT_FALSE(QFile::exists(m_folder.filePath(QStringLiteral("bin/xdg-open.used"))));
}
