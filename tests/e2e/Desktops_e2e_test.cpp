// Activating a window that lies on another desktop, under openbox and under fluxbox: both
// ignore a bare activation request for such a window.
#include "SwitcherSuite.h"

#include <gtest/gtest.h>

using namespace ostrevane::e2e;

namespace {

class DesktopsUnderOpenbox : public SwitcherSuite {
protected:
    void choosingAWindowOnAnotherDesktopSwitchesThere()
    {
        ASSERT_NO_FATAL_FAILURE(startSwitcher());
        useXterms({QStringLiteral("Beta"), QStringLiteral("Alpha")});
        const std::optional<QString> beta = desktop->windowTitled(QStringLiteral("Beta"));
        ASSERT_TRUE(beta);
        ASSERT_EQ(desktop->currentDesktop(), 0);
        ASSERT_TRUE(desktop->xdotool({QStringLiteral("set_desktop_for_window"), *beta, QStringLiteral("1")}));
        ASSERT_TRUE(desktop->waitUntil([&] { return !desktop->windowTitled(QStringLiteral("Beta")); }, outcomeTimeout));

        withAlt({QStringLiteral("Tab")});
        EXPECT_EQ(nextRows().mid(0, 2), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta")}));
        EXPECT_TRUE(desktop->waitForActiveTitle(QStringLiteral("Beta"), outcomeTimeout))
            << desktop->activeWindowTitle().toStdString();
        EXPECT_EQ(desktop->currentDesktop(), 1);
    }
};

class DesktopsUnderFluxbox : public DesktopsUnderOpenbox {
protected:
    static void SetUpTestSuite() { desktop = new E2eDesktop(E2eDesktop::WindowManager::fluxbox); }
};

} // namespace

TEST_F(DesktopsUnderOpenbox, ChoosingAWindowOnAnotherDesktopSwitchesThereAndActivatesIt)
{
    choosingAWindowOnAnotherDesktopSwitchesThere();
}

TEST_F(DesktopsUnderFluxbox, ChoosingAWindowOnAnotherDesktopSwitchesThereAndActivatesIt)
{
    choosingAWindowOnAnotherDesktopSwitchesThere();
}
