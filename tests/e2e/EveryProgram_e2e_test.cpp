// Every program on the desktop is switched to, recorded, ignored, hidden and quit alike:
// those without a desktop entry, those without windows, those that hang; and the
// switcher's own windows are never rows.
#include "SwitcherSuite.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace ostrevane::e2e;

namespace {

const QString client = QStringLiteral(OSTREVANE_STUBBORN_CLIENT);
const QString notResponding = QStringLiteral("ostrevane.panel: not responding: ");

class EveryProgram : public SwitcherSuite {
protected:
    Child& startStubborn(const QStringList& arguments, const QString& title)
    {
        clients.push_back(desktop->startClient(client, arguments, title));
        EXPECT_TRUE(clients.back()) << "no window " << title.toStdString();
        return *clients.back();
    }
    bool isHidden(const QString& window)
    {
        return desktop->atomNames(window, "_NET_WM_STATE").contains(QStringLiteral("_NET_WM_STATE_HIDDEN"));
    }
};

} // namespace

// Clients without a desktop entry, known as x11:Plain and x11:Other. Plain gets the focus
// without being raised, so only its recorded use, not the stacking order, puts it first.
TEST_F(EveryProgram, AProgramWithoutADesktopEntryIsRecordedSwitchedToAndHiddenWithTheDesktop)
{
    ASSERT_NO_FATAL_FAILURE(startSwitcher());
    startStubborn({QStringLiteral("--class"), QStringLiteral("Plain"), QStringLiteral("Plain")}, QStringLiteral("Plain"));
    startStubborn({QStringLiteral("--class"), QStringLiteral("Other"), QStringLiteral("Other")}, QStringLiteral("Other"));
    useXterms({QStringLiteral("Alpha")});
    const std::optional<QString> plain = desktop->windowTitled(QStringLiteral("Plain"));
    const std::optional<QString> other = desktop->windowTitled(QStringLiteral("Other"));
    ASSERT_TRUE(plain && other);
    ASSERT_TRUE(desktop->activate(QStringLiteral("Other")));
    ASSERT_TRUE(desktop->activate(QStringLiteral("Alpha")));
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), *plain}));
    ASSERT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Plain"), outcomeTimeout));
    ASSERT_TRUE(desktop->activate(QStringLiteral("Alpha")));

    withAlt({QStringLiteral("Tab")}); // its focus was recorded, so it is the window just left
    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Plain"), outcomeTimeout)) << desktop->activeWindowTitle().toStdString();

    summonAndPress({QStringLiteral("q")});
    releaseAlt();
    EXPECT_TRUE(desktop->waitUntil([&] { return isHidden(*plain) && isHidden(*other); }, outcomeTimeout));
}

// A program that runs without a window (a tray program whose window is closed) is listed;
// quitting it politely ends it with SIGTERM once the close requests had their chance.
TEST_F(EveryProgram, ARunningApplicationWithoutWindowsIsListedAndAPoliteQuitEndsIt)
{
    // Installed applications are not offered, so the Tray row is the running program's.
    startSwitcher({QStringLiteral("<key>Ostrevane.ShowAppsWithoutWindows</key><false/>"),
                   {{QStringLiteral("tray.desktop"),
                     QStringLiteral("[Desktop Entry]\nType=Application\nName=Tray\nExec=%1 --no-window\n").arg(client)}}});
    if (HasFatalFailure())
        return; // the switcher did not start
    clients.push_back(std::make_unique<Child>(client, QStringList{QStringLiteral("--no-window")}, desktop->environment()));
    Child& tray = *clients.back();
    useXterms({QStringLiteral("Alpha")});

    // Programs without windows are looked for about once a second: look until it shows.
    ASSERT_TRUE(desktop->waitUntil(
        [&] {
            summonAndPress({QStringLiteral("Escape")});
            releaseAlt();
            return nextRows().contains(QStringLiteral("Tray"));
        },
        outcomeTimeout));

    search(QStringLiteral("tray"));
    withAlt({QStringLiteral("x")});
    EXPECT_TRUE(tray.waitForLine(QStringLiteral("asked to terminate"), outcomeTimeout)) << tray.status().toStdString();
    EXPECT_TRUE(waitForEnd(tray));
    EXPECT_EQ(tray.status(), QStringLiteral("exited with 0"));
}

// A stopped program cannot close its window: the row says so and offers to force-quit it,
// which the second close does.
TEST_F(EveryProgram, AStoppedProgramsOnlyWindowIsForceQuitByASecondClose)
{
    ASSERT_NO_FATAL_FAILURE(startSwitcher());
    Child& stopped = startStubborn({QStringLiteral("Frozen")}, QStringLiteral("Frozen"));
    ASSERT_TRUE(desktop->activate(QStringLiteral("Frozen")));
    useXterms({QStringLiteral("Alpha")});
    ::kill(static_cast<pid_t>(stopped.pid()), SIGSTOP);

    summonAndPress({QStringLiteral("x")}); // the highlight rests on Frozen
    const std::optional<QString> marked = app->waitForLine(notResponding, outcomeTimeout);
    ASSERT_TRUE(marked);
    EXPECT_EQ(*marked, notResponding + QStringLiteral("Frozen (closing again force-quits)"));
    keys({QStringLiteral("x")});
    releaseAlt();
    EXPECT_TRUE(waitForEnd(stopped));
    EXPECT_EQ(stopped.status(), QStringLiteral("ended by a signal"));
}

// A program that reads no events answers no ping. Killing it would take its other window
// too, so its row only says that it does not respond.
TEST_F(EveryProgram, AHungProgramWithTwoWindowsIsOnlySaidNotToRespond)
{
    ASSERT_NO_FATAL_FAILURE(startSwitcher());
    Child& hung = startStubborn({QStringLiteral("--deaf"), QStringLiteral("--two-windows"), QStringLiteral("Pair")},
                                QStringLiteral("Pair 2"));
    ASSERT_TRUE(desktop->activate(QStringLiteral("Pair")));
    useXterms({QStringLiteral("Alpha")});

    summonAndPress({QStringLiteral("x")}); // the highlight rests on Pair
    EXPECT_EQ(app->waitForLine(notResponding, outcomeTimeout), notResponding + QStringLiteral("Pair"));
    keys({QStringLiteral("x")});
    EXPECT_EQ(app->waitForLine(notResponding, outcomeTimeout), notResponding + QStringLiteral("Pair"));
    releaseAlt();
    EXPECT_TRUE(hung.isRunning());
}

// xclock, which has no desktop entry, is ignored by its identity x11:XClock.
TEST_F(EveryProgram, TheRowsNameUnnamedWindowsByTheirApplicationAndLeaveOutIgnoredProgramsAndTheGuide)
{
    startSwitcher({QStringLiteral("<key>Ostrevane.IgnoredAppBundleIDs</key><array><string>x11:XClock</string></array>"),
                   {},
                   false});
    if (HasFatalFailure())
        return; // the switcher did not start
    ASSERT_TRUE(waitForPanel()) << "the guide did not open"; // the first of the program's windows
    clients.push_back(desktop->startClient(QStringLiteral("xclock"), {}, QStringLiteral("xclock")));
    ASSERT_TRUE(clients.back()) << "no xclock";
    clients.push_back(std::make_unique<Child>(client, QStringList{QStringLiteral("--unnamed")}, desktop->environment()));
    const qint64 unnamed = clients.back()->pid();
    ASSERT_TRUE(desktop->waitUntil([&] { return desktop->visibleWindowOf(unnamed).has_value(); }, outcomeTimeout));
    useXterms({QStringLiteral("Alpha")});

    summonAndPress({QStringLiteral("Escape")});
    releaseAlt();
    const QStringList rows = nextRows();
    const std::string shown = rows.join(", ").toStdString();
    EXPECT_TRUE(rows.contains(QStringLiteral("Stubborn"))) << shown;
    EXPECT_TRUE(rows.contains(QStringLiteral("Alpha"))) << shown;
    for (const char* absent : {"Unnamed Window", "Ostrevane Guide", "xclock"})
        EXPECT_FALSE(rows.contains(QLatin1String(absent))) << absent << " in " << shown;
}
