// How the panel looks over other windows with and without a compositing manager: without
// one it is cut to its outline (nothing of it can be see-through), with one (xcompmgr) it
// is whole and translucent beside the wave; the change follows the manager as it comes
// and goes. Both looks are saved as screenshots on every run.
#include "E2eDesktop.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

using namespace ostrevane::e2e;

namespace {

constexpr Timeout panelTimeout = 10s;
constexpr Timeout lookTimeout = 10s;
// The backdrop's colour: what shows where the panel is cut away.
const QColor backdrop(0x6f, 0x94, 0xc8);

class PanelLook : public E2eSuite {
protected:
    void SetUp() override
    {
        E2eSuite::SetUp();
        // A window covering the screen behind the panel, so that what shows through is known.
        clients.push_back(desktop->startXterm(
            QStringLiteral("Backdrop"),
            {QStringLiteral("-bg"), backdrop.name(), QStringLiteral("-geometry"), QStringLiteral("400x120+0+0")}));
        ASSERT_TRUE(clients.back());
    }

    static bool contains(const std::vector<QRect>& shape, QPoint point)
    {
        return std::any_of(shape.begin(), shape.end(), [&](const QRect& r) { return r.contains(point); });
    }
    // The screen's pixel at a point of the panel, from a screenshot saved as `name`.
    QColor pixel(const QString& name, QPoint inPanel)
    {
        const QString path = artifactsDirectory() + QLatin1Char('/') + name;
        EXPECT_TRUE(desktop->screenshot(path));
        return QImage(path).pixelColor(frame.topLeft() + inPanel);
    }
    bool waitForShape(bool shaped)
    {
        return desktop->waitUntil([&] { return desktop->boundingShape(panel).has_value() == shaped; }, lookTimeout);
    }

    QString panel;
    QRect frame;
};

} // namespace

TEST_F(PanelLook, WithoutACompositorThePanelIsCutToItsOutlineAndFollowsOneThatComesAndGoes)
{
    app = desktop->startTestPanel(QStringLiteral("top"));
    ASSERT_TRUE(desktop->waitForPanelAtRest(app->pid(), panelTimeout)) << app->status().toStdString();
    panel = desktop->visibleWindowOf(app->pid()).value_or(QString());
    frame = desktop->windowGeometry(panel).value_or(QRect());
    // On the right edge the inner side, with its rounded corners and the wave, is on the left.
    const QPoint innerCorner(2, 2), besideTheWave(2, frame.height() - 40), body(frame.width() / 2, frame.height() / 2),
        outerCorner(frame.width() - 6, frame.height() - 6);

    ASSERT_TRUE(waitForShape(true)) << "no outline without a compositor";
    const std::vector<QRect> shape = desktop->boundingShape(panel).value_or(std::vector<QRect>{});
    EXPECT_TRUE(contains(shape, body));
    EXPECT_TRUE(contains(shape, outerCorner)) << "the outer side is square, against the screen's edge";
    EXPECT_FALSE(contains(shape, innerCorner));
    EXPECT_FALSE(contains(shape, besideTheWave));
    EXPECT_EQ(pixel(QStringLiteral("panel-without-compositor.png"), besideTheWave), backdrop);
    EXPECT_LT(pixel(QStringLiteral("panel-without-compositor.png"), outerCorner).lightness(), 40);

    auto compositor = std::make_unique<Child>(QStringLiteral("xcompmgr"), QStringList{}, desktop->environment());
    ASSERT_TRUE(waitForShape(false)) << "still cut to its outline under xcompmgr: " << compositor->status().toStdString();
    // Translucent beside the wave: the backdrop shows, darkened by the panel's shadow.
    const QColor seen = pixel(QStringLiteral("panel-with-compositor.png"), besideTheWave);
    EXPECT_GT(seen.blue(), seen.red());
    EXPECT_GT(seen.lightness(), 40) << seen.name().toStdString();

    compositor.reset();
    EXPECT_TRUE(waitForShape(true)) << "the outline did not come back when the compositor quit";
}

// A minimised window and one on another desktop cannot be captured any more: their rows
// show the pictures taken as they left the screen (each window's own colour appears in
// the panel although the window is nowhere on screen).
TEST_F(PanelLook, WindowsOutOfViewShowThePicturesTheyLeft)
{
    app = desktop->startSwitcher();
    ASSERT_TRUE(app) << "the switcher did not start";
    const QColor minimised(0xf0, 0xe0, 0xa0), elsewhere(0xa0, 0xf0, 0xb0);
    for (const auto& [title, colour] : {std::pair{QStringLiteral("Minimised"), minimised}, {QStringLiteral("Elsewhere"), elsewhere}}) {
        clients.push_back(desktop->startXterm(title, {QStringLiteral("-bg"), colour.name()}));
        ASSERT_TRUE(clients.back());
    }
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^Minimised$"),
                                  QStringLiteral("windowminimize")}));
    ASSERT_TRUE(desktop->xdotool({QStringLiteral("set_desktop_for_window"),
                                  desktop->windowTitled(QStringLiteral("Elsewhere")).value_or(QString()),
                                  QStringLiteral("1")}));
    ASSERT_TRUE(desktop->waitUntil([&] { return !desktop->windowTitled(QStringLiteral("Elsewhere")); }, lookTimeout));
    ASSERT_TRUE(desktop->activate(QStringLiteral("Backdrop")));

    holdAlt({QStringLiteral("Tab")});
    ASSERT_TRUE(desktop->waitForKeyboardHeldBy(app->pid(), panelTimeout));
    ASSERT_TRUE(desktop->waitForPanelAtRest(app->pid(), panelTimeout));
    panel = desktop->visibleWindowOf(app->pid()).value_or(QString());
    frame = desktop->windowGeometry(panel).value_or(QRect());
    const QString path = artifactsDirectory() + QStringLiteral("/panel-windows-out-of-view.png");
    const auto shows = [&](const QColor& colour) {
        const QImage shot = QImage(path).copy(frame);
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (shot.pixelColor(x, y) == colour)
                    return true;
        return false;
    };
    // Pictures are loaded off the main thread and drawn when they arrive.
    EXPECT_TRUE(desktop->waitUntil([&] { return desktop->screenshot(path) && shows(minimised) && shows(elsewhere); },
                                   lookTimeout));
    keys({QStringLiteral("Escape")});
    releaseAlt();
}
