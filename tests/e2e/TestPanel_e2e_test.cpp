// The real switcher in its test panel mode on a private X server: keys and clicks are
// sent with xdotool, choices are read from its output lines.
#include "E2eDesktop.h"

#include <gtest/gtest.h>

using namespace ostrevane::e2e;

namespace {

constexpr Timeout panelTimeout = 10s;
constexpr Timeout lineTimeout = 5s;
const QString selectedPrefix = QStringLiteral("Ostrevane test panel selected: ");
const QString closePrefix = QStringLiteral("Ostrevane test panel close: ");

class TestPanel : public E2eSuite {
protected:
    // Starts the switcher and waits until its panel is up with the keyboard focus.
    void start(const std::optional<QString>& selection = std::nullopt)
    {
        app = desktop->startTestPanel(selection);
        ASSERT_TRUE(desktop->waitForKeyboardHeldBy(app->pid(), panelTimeout))
            << "the panel did not appear; the program: " << app->status().toStdString();
    }
    // Return turns search on, the second Return opens the highlighted row.
    QString openHighlighted()
    {
        keys({QStringLiteral("Return"), QStringLiteral("Return")});
        return app->waitForLine(selectedPrefix, lineTimeout).value_or(QStringLiteral("<no line>"));
    }
};

struct Highlight {
    const char* selection;
    const char* title;
};

class InitialHighlight : public TestPanel, public ::testing::WithParamInterface<Highlight> {};

} // namespace

TEST_P(InitialHighlight, OpensTheRowTheSelectionVariableNames)
{
    start(QString::fromLatin1(GetParam().selection));
    EXPECT_EQ(openHighlighted(), selectedPrefix + QString::fromUtf8(GetParam().title));
}

INSTANTIATE_TEST_SUITE_P(TestPanel, InitialHighlight,
                         ::testing::Values(Highlight{"top", "Google Chrome"}, Highlight{"bottom", "Claude"},
                                           Highlight{"3", "Safari"}, Highlight{"abc", "WeChat"}),
                         [](const auto& info) {
                             return std::string(info.param.selection[0] == '3' ? "three" : info.param.selection);
                         });

TEST_F(TestPanel, ReturnThenTypingThenReturnOpensTheBestMatch)
{
    start();
    keys({QStringLiteral("Return")});
    type(QStringLiteral("release"));
    keys({QStringLiteral("Return")});
    EXPECT_EQ(app->waitForLine(selectedPrefix, lineTimeout), selectedPrefix + QStringLiteral("Release Checklist"));
}

TEST_F(TestPanel, CloseShortcutReportsAClosableRow)
{
    start();
    keys({QStringLiteral("Return")});
    type(QStringLiteral("github"));
    withAlt({QStringLiteral("x")});
    EXPECT_EQ(app->waitForLine(closePrefix, lineTimeout), closePrefix + QStringLiteral("Ostrevane GitHub"));
}

TEST_F(TestPanel, EscapeHidesThePanelAndTheProgramKeepsRunning)
{
    start();
    keys({QStringLiteral("Escape")});
    EXPECT_TRUE(desktop->waitForNoVisibleWindow(app->pid(), panelTimeout));
    EXPECT_TRUE(app->isRunning());
}

TEST_F(TestPanel, AClickOutsideHidesThePanel)
{
    start();
    // Clicks count only once the panel has slid in.
    ASSERT_TRUE(desktop->waitForPanelAtRest(app->pid(), panelTimeout));
    ASSERT_TRUE(desktop->xdotool(
        {QStringLiteral("mousemove"), QStringLiteral("40"), QStringLiteral("40"), QStringLiteral("click"), QStringLiteral("1")}));
    EXPECT_TRUE(desktop->waitForNoVisibleWindow(app->pid(), panelTimeout));
    EXPECT_TRUE(app->isRunning());
}

TEST_F(TestPanel, AltWMovesUpFromTheTopRowToTheLast)
{
    start(QStringLiteral("top"));
    withAlt({QStringLiteral("w")});
    EXPECT_EQ(openHighlighted(), selectedPrefix + QStringLiteral("Claude"));
}

TEST_F(TestPanel, AltSMovesDownFromTheLastRowToTheTop)
{
    start(QStringLiteral("bottom"));
    withAlt({QStringLiteral("s"), QStringLiteral("s")});
    EXPECT_EQ(openHighlighted(), selectedPrefix + QStringLiteral("Ostrevane"));
}

TEST_F(TestPanel, ArrowsWrapAtBothEnds)
{
    start(QStringLiteral("top"));
    keys({QStringLiteral("Up"), QStringLiteral("Up"), QStringLiteral("Down"), QStringLiteral("Down"),
          QStringLiteral("Down")});
    EXPECT_EQ(openHighlighted(), selectedPrefix + QStringLiteral("Ostrevane"));
}
