// The switcher as a person uses it, on a private X server with real xterms and clients:
// Alt+Tab is pressed with xdotool while a client has the focus, and the outcome is read
// from the X server (the active window, which processes still run) and from the panel's
// log of the rows it showed.
#include "SwitcherSuite.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>

using namespace ostrevane::e2e;

namespace {

class RealSwitching : public SwitcherSuite {};

} // namespace

// The windows are opened after the switcher listed the desktop: they are in its first showing.
TEST_F(RealSwitching, ATapOpensThePreviousWindowADoubleTabTheOneBeforeAndShiftGoesBackwards)
{
    ASSERT_NO_FATAL_FAILURE(startSwitcher());
    useXterms({QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma")});

    withAlt({QStringLiteral("Tab")});
    EXPECT_EQ(nextRows().mid(0, 3), (QStringList{QStringLiteral("Gamma"), QStringLiteral("Beta"), QStringLiteral("Alpha")}));
    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Beta"), outcomeTimeout)) << desktop->activeWindowTitle().toStdString();

    withAlt({QStringLiteral("Tab"), QStringLiteral("Tab")});
    EXPECT_EQ(nextRows().mid(0, 3), (QStringList{QStringLiteral("Beta"), QStringLiteral("Gamma"), QStringLiteral("Alpha")}));
    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Alpha"), outcomeTimeout)) << desktop->activeWindowTitle().toStdString();

    // Alt+Shift+Tab opens on the last row, the least recent window, and moves backwards.
    withAlt({QStringLiteral("shift+Tab")});
    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Gamma"), outcomeTimeout)) << desktop->activeWindowTitle().toStdString();
    withAlt({QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab")}); // recency now Gamma, Alpha, Beta
    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Alpha"), outcomeTimeout)) << desktop->activeWindowTitle().toStdString();
}

// Three walks over Alpha and Beta. openbox binds Alt+Escape to lowering the focused
// window, but the panel holds the keyboard.
TEST_F(RealSwitching, EscapeCancelsReleasingAltOpensWithoutTheFocusAndAltXClosesTheHighlightedXterm)
{
    ASSERT_NO_FATAL_FAILURE(startSwitcher());
    useXterms({QStringLiteral("Alpha"), QStringLiteral("Beta")});

    summonAndPress({QStringLiteral("Escape")});
    ASSERT_TRUE(desktop->waitForNoVisibleWindow(app->pid(), panelTimeout)) << "Escape left the panel up";
    releaseAlt();
    withAlt({QStringLiteral("Tab")});
    nextRows(); // the cancelled showing
    EXPECT_EQ(nextRows().mid(0, 2), (QStringList{QStringLiteral("Beta"), QStringLiteral("Alpha")}))
        << "the release after Escape opened a row";
    ASSERT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Alpha"), outcomeTimeout)) << desktop->activeWindowTitle().toStdString();

    // The window the panel came from takes the focus back while Alt is held.
    holdAlt({QStringLiteral("Tab")}); // the highlight rests on Beta
    ASSERT_TRUE(waitForPanel());
    const std::optional<QString> alpha = desktop->windowTitled(QStringLiteral("Alpha"));
    ASSERT_TRUE(alpha);
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), *alpha}));
    releaseAlt();
    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Beta"), outcomeTimeout)) << desktop->activeWindowTitle().toStdString();

    summonAndPress({QStringLiteral("x")}); // the highlight rests on Alpha
    releaseAlt();
    EXPECT_TRUE(waitForEnd(*clients[0])) << "Alpha's xterm still runs";
    EXPECT_TRUE(clients[1]->isRunning());
    EXPECT_TRUE(app->isRunning()) << app->status().toStdString();
}

// Its window is hidden from the list by the user's ignore pattern, so the client is an
// application row, which quits: politely first, by force when asked again within 6 s.
TEST_F(RealSwitching, QuittingAClientThatIgnoresCloseRequestsTwiceKillsIt)
{
    const QString client = QStringLiteral(OSTREVANE_STUBBORN_CLIENT);
    startSwitcher({QStringLiteral("<key>Ostrevane.IgnoredWindowRegex</key><array><string>^Stubborn</string></array>"),
                   {{QStringLiteral("stubborn.desktop"),
                     QStringLiteral("[Desktop Entry]\nType=Application\nName=Stubborn\nExec=%1 Stubborn\n"
                                    "StartupWMClass=Stubborn\n")
                         .arg(client)}}});
    if (HasFatalFailure())
        return; // the switcher did not start
    clients.push_back(desktop->startClient(client, {QStringLiteral("Stubborn")}, QStringLiteral("Stubborn")));
    ASSERT_TRUE(clients.back());
    Child& stubborn = *clients.back();
    useXterms({QStringLiteral("Alpha")});

    search(QStringLiteral("stubborn"));
    holdAlt({QStringLiteral("x")});
    EXPECT_TRUE(stubborn.waitForLine(QStringLiteral("ignored a close request"), outcomeTimeout));
    EXPECT_TRUE(stubborn.isRunning());

    keys({QStringLiteral("x")});
    releaseAlt();
    EXPECT_TRUE(waitForEnd(stubborn));
    EXPECT_EQ(stubborn.status(), QStringLiteral("ended by a signal"));
    EXPECT_TRUE(app->isRunning()) << app->status().toStdString();
}

// The row of a window that goes drops out at once, and the highlight moves to the row
// that takes its place, which releasing Alt opens.
TEST_F(RealSwitching, AWindowThatGoesWhileThePanelIsUpDropsOutAndTheHighlightMovesToALiveRow)
{
    ASSERT_NO_FATAL_FAILURE(startSwitcher());
    useXterms({QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma")});

    holdAlt({QStringLiteral("Tab")}); // the highlight rests on Beta
    EXPECT_EQ(nextRows().mid(0, 3), (QStringList{QStringLiteral("Gamma"), QStringLiteral("Beta"), QStringLiteral("Alpha")}));
    clients[1].reset();
    const QString rebuilt = QStringLiteral("ostrevane.panel: rebuilt: ");
    QStringList rows;
    while (!(rows = nextRows(rebuilt)).contains(QStringLiteral("<no rows>")) && rows.contains(QStringLiteral("Beta"))) {
    }
    EXPECT_EQ(rows.mid(0, 2), (QStringList{QStringLiteral("Gamma"), QStringLiteral("Alpha")}));
    releaseAlt();
    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Alpha"), outcomeTimeout)) << desktop->activeWindowTitle().toStdString();
    EXPECT_TRUE(app->isRunning()) << app->status().toStdString();
}

// X drops a dead client's grabs: a switcher killed while its panel holds the keyboard
// leaves a usable keyboard, and the next start (its socket file and settings left behind)
// is a normal one.
TEST_F(RealSwitching, KillingTheSwitcherWhileItsPanelHoldsTheKeyboardLeavesAUsableKeyboard)
{
    ASSERT_NO_FATAL_FAILURE(startSwitcher());
    useXterms({QStringLiteral("Alpha"), QStringLiteral("Beta")});
    holdAlt({QStringLiteral("Tab")});
    ASSERT_TRUE(desktop->waitForKeyboardHeldBy(app->pid(), panelTimeout)) << "the panel did not take the keyboard";

    ASSERT_EQ(::kill(pid_t(app->pid()), SIGKILL), 0);
    ASSERT_TRUE(desktop->waitUntil([&] { return !app->isRunning(); }, outcomeTimeout));
    releaseAlt();
    EXPECT_TRUE(desktop->waitUntil([&] { return desktop->keyboardIsFree() && desktop->pointerIsFree(); }, outcomeTimeout));

    ASSERT_NO_FATAL_FAILURE(startSwitcher({.restart = true}));
    withAlt({QStringLiteral("Tab")});
    EXPECT_EQ(nextRows().mid(0, 2), (QStringList{QStringLiteral("Beta"), QStringLiteral("Alpha")}));
    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Alpha"), outcomeTimeout)) << desktop->activeWindowTitle().toStdString();
    EXPECT_TRUE(desktop->waitUntil([&] { return desktop->keyboardIsFree(); }, outcomeTimeout));
}

// An editor saves the settings by writing a new file and renaming it over the old one.
TEST_F(RealSwitching, AHandEditOfTheSettingsAppliesWhileRunningAndIsNeverWrittenOver)
{
    ASSERT_NO_FATAL_FAILURE(startSwitcher());
    useXterms({QStringLiteral("Alpha"), QStringLiteral("Beta")});
    const QString settings = desktop->settingsFile();
    QFile edited(settings + QStringLiteral(".edit"));
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
    edited.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                 "<key>Ostrevane.DidCompleteInteractiveOnboarding</key><true/>"
                 "<key>Ostrevane.PanelEdge</key><string>left</string></dict></plist>\n");
    edited.close();
    ASSERT_TRUE(QFile::remove(settings) && QFile::rename(edited.fileName(), settings));
    ASSERT_TRUE(app->waitForLine(QStringLiteral("Ostrevane: the settings file changed"), outcomeTimeout));

    holdAlt({QStringLiteral("Tab")});
    EXPECT_TRUE(desktop->waitForPanelAtRest(app->pid(), panelTimeout, Qt::LeftEdge)) << "the panel did not open on the left";
    releaseAlt(); // opens Alpha, which records the use in the settings file
    ASSERT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Alpha"), outcomeTimeout));
    EXPECT_TRUE(desktop->waitUntil(
        [&] {
            QFile file(settings);
            const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            return text.contains("Ostrevane.MRU.window") && text.contains("<string>left</string>");
        },
        outcomeTimeout))
        << "the recorded use replaced the hand edit";
}
