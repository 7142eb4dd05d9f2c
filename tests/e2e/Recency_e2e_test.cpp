// Where a quick Alt+Tab goes on a Linux desktop: to the window just left, whatever opened,
// shared a title or was hidden a moment before, and only once every Alt key is released.
#include "SwitcherSuite.h"

#include <gtest/gtest.h>

using namespace ostrevane::e2e;

namespace {

class Recency : public SwitcherSuite {
protected:
    // Each xterm's window, in the order given (several may share a title).
    QStringList startXtermsTitled(const QStringList& titles)
    {
        QStringList windows;
        for (const QString& title : titles) {
            const QStringList before = desktop->windowsTitled(title);
            clients.push_back(std::make_unique<Child>(
                QStringLiteral("xterm"),
                QStringList{QStringLiteral("-title"), title, QStringLiteral("-e"), QStringLiteral("sleep"), QStringLiteral("600")},
                desktop->environment()));
            QString added;
            desktop->waitUntil(
                [&] {
                    for (const QString& window : desktop->windowsTitled(title))
                        if (!before.contains(window))
                            added = window;
                    return !added.isEmpty();
                },
                outcomeTimeout);
            windows << added;
        }
        return windows;
    }
};

} // namespace

// Two terminals both titled "bash": Alt+Tab toggles between the two windows last used.
TEST_F(Recency, WindowsWithOneTitleEachKeepTheirOwnRecency)
{
    ASSERT_NO_FATAL_FAILURE(startSwitcher());
    const QStringList windows =
        startXtermsTitled({QStringLiteral("bash"), QStringLiteral("bash"), QStringLiteral("Notes")});
    ASSERT_EQ(windows.size(), 3);
    ASSERT_FALSE(windows.contains(QString()));
    const QString &first = windows[0], &second = windows[1], &notes = windows[2];
    for (const QString& window : {first, notes, second})
        ASSERT_TRUE(desktop->activateWindow(window));

    withAlt({QStringLiteral("Tab")});
    EXPECT_TRUE(desktop->waitUntil([&] { return desktop->activeWindow() == notes; }, outcomeTimeout));
    withAlt({QStringLiteral("Tab")});
    EXPECT_TRUE(desktop->waitUntil([&] { return desktop->activeWindow() == second; }, outcomeTimeout))
        << "went to " << desktop->activeWindow().toStdString() << " instead of the other bash " << second.toStdString();
    withAlt({QStringLiteral("Tab"), QStringLiteral("Tab")});
    EXPECT_TRUE(desktop->waitUntil([&] { return desktop->activeWindow() == first; }, outcomeTimeout));
}

// After Show Desktop a quick Alt+Tab returns to the window just left. With both Alt keys
// held, releasing one keeps the panel: the next Tab still moves the highlight, and the
// row opens when the last Alt key goes up.
TEST_F(Recency, AfterShowDesktopAQuickAltTabReturnsToTheWindowJustLeftAndOnlyTheLastAltKeyOpensARow)
{
    ASSERT_NO_FATAL_FAILURE(startSwitcher());
    useXterms({QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma")});
    const std::optional<QString> gamma = desktop->windowTitled(QStringLiteral("Gamma"));
    ASSERT_TRUE(gamma);

    summonAndPress({QStringLiteral("q")}); // Alt+Q shows the desktop
    releaseAlt();
    ASSERT_TRUE(desktop->waitUntil(
        [&] { return desktop->atomNames(*gamma, "_NET_WM_STATE").contains(QStringLiteral("_NET_WM_STATE_HIDDEN")); },
        outcomeTimeout))
        << "Gamma was not hidden";
    withAlt({QStringLiteral("Tab")});
    ASSERT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Gamma"), outcomeTimeout)) << desktop->activeWindowTitle().toStdString();

    ASSERT_TRUE(desktop->xdotool({QStringLiteral("keydown"), QStringLiteral("Alt_L"), QStringLiteral("keydown"),
                                  QStringLiteral("Alt_R"), QStringLiteral("key"), QStringLiteral("Tab")}));
    ASSERT_TRUE(desktop->waitForKeyboardHeldBy(app->pid(), panelTimeout));
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("keyup"), QStringLiteral("Alt_L"), QStringLiteral("key"), QStringLiteral("Tab")}));
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("keyup"), QStringLiteral("Alt_R")}));
    EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Alpha"), outcomeTimeout)) << desktop->activeWindowTitle().toStdString();
}
