// The real switcher in its test panel mode on a private X server: keys and clicks are
// sent with xdotool, choices are read from its output lines.
#include "E2eDesktop.h"

#include <gtest/gtest.h>

using namespace ostrevane::e2e;

namespace {

constexpr Timeout panelTimeout = 10s;
constexpr Timeout lineTimeout = 5s;
const QString selectedPrefix = QStringLiteral("Ostrevane test panel selected: ");

class TestPanel : public E2eSuite {
protected:
    // Starts a fresh copy of the switcher and waits until its panel is up with the keyboard focus.
    void start(const std::optional<QString>& selection = std::nullopt)
    {
        app = desktop->startTestPanel(selection);
        ASSERT_TRUE(desktop->waitForKeyboardHeldBy(app->pid(), panelTimeout))
            << "the panel did not appear; the program: " << app->status().toStdString();
    }
};

} // namespace

// Each case starts the panel anew: where the highlight starts (a number, the top or the
// bottom), how Alt chords and arrows move it through the X server, across both ends, and
// which row Return, then the search text, then Return opens.
TEST_F(TestPanel, TheHighlightStartsWhereToldMovesAndWrapsAndReturnOpensItsRow)
{
    const struct {
        const char* name;
        std::optional<QString> selection;
        QStringList withAlt, keys;
        QString search;
        QString opened;
    } cases[] = {
        {"third row", QStringLiteral("3"), {}, {}, {}, QStringLiteral("Safari")},
        {"Alt+W from the top wraps to the last", QStringLiteral("top"), {QStringLiteral("w")}, {}, {},
         QStringLiteral("Claude")},
        {"Alt+S from the bottom wraps to the top", QStringLiteral("bottom"), {QStringLiteral("s"), QStringLiteral("s")}, {},
         {}, QStringLiteral("Ostrevane")},
        {"arrows wrap at both ends", QStringLiteral("top"), {},
         {QStringLiteral("Up"), QStringLiteral("Up"), QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down")},
         {}, QStringLiteral("Ostrevane")},
        {"search opens the best match", std::nullopt, {}, {}, QStringLiteral("release"),
         QStringLiteral("Release Checklist")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        app.reset();
        ASSERT_NO_FATAL_FAILURE(start(c.selection));
        if (!c.withAlt.isEmpty())
            withAlt(c.withAlt);
        if (!c.keys.isEmpty())
            keys(c.keys);
        keys({QStringLiteral("Return")}); // search on
        if (!c.search.isEmpty())
            type(c.search);
        keys({QStringLiteral("Return")});
        EXPECT_EQ(app->waitForLine(selectedPrefix, lineTimeout), selectedPrefix + c.opened);
    }
}

// Escape and Alt+X are proven on real windows (RealSwitching); a click outside only here.
TEST_F(TestPanel, AClickOutsideHidesThePanelAndTheProgramKeepsRunning)
{
    start();
    // Clicks count only once the panel has slid in.
    ASSERT_TRUE(desktop->waitForPanelAtRest(app->pid(), panelTimeout));
    ASSERT_TRUE(desktop->xdotool(
        {QStringLiteral("mousemove"), QStringLiteral("40"), QStringLiteral("40"), QStringLiteral("click"), QStringLiteral("1")}));
    EXPECT_TRUE(desktop->waitForNoVisibleWindow(app->pid(), panelTimeout)) << "a click outside";
    EXPECT_TRUE(app->isRunning());
}
