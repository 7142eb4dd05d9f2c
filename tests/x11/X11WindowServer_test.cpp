#include "X11BackendFixture.h"

namespace ostrevane::x11test {
namespace {

using X11WindowServerTest = X11BackendTest;

TEST_F(X11WindowServerTest, ListsOnScreenWindowsWithOwnerClassAndPid)
{
    pid_t terminal = 0, clock = 0;
    ASSERT_NE(startXterm(QStringLiteral("Listed"), &terminal), XCB_NONE);
    const xcb_window_t hidden = startXclock(QStringLiteral("Away"), QStringLiteral("90x90"), &clock);
    ASSERT_NE(hidden, XCB_NONE);
    clients->iconify(hidden);
    ASSERT_TRUE(waitUntil([&] { return isHidden(hidden); }));

    const std::vector<WindowListEntry> list = windowServer->windowList();

    ASSERT_EQ(list.size(), 1u) << "iconified windows are not on screen";
    EXPECT_EQ(list.front().ownerName, QStringLiteral("XTerm"));
    EXPECT_EQ(list.front().ownerPID, terminal);
}

// A small window at its own size, a large one scaled down keeping its shape.
TEST_F(X11WindowServerTest, CapturesAWindowAtItsOwnSizeOrScaledDownKeepingItsShape)
{
    const struct {
        const char* title;
        const char* geometry;
        QSize captured;
    } cases[] = {{"Small", "90x60", QSize(90, 60)}, {"Large", "600x300", QSize(96, 48)}};
    for (const auto& c : cases) {
        const xcb_window_t window = startXclock(QLatin1String(c.title), QLatin1String(c.geometry));
        ASSERT_NE(window, XCB_NONE) << c.title;
        const ImageHandle image = windowServer->captureWindow(window);
        ASSERT_TRUE(image) << c.title;
        EXPECT_EQ(image->size(), c.captured) << c.title;
    }
}

TEST_F(X11WindowServerTest, CoveredWindowShowsItsOwnContent)
{
    const xcb_window_t below = startXclock(QStringLiteral("Below"), QStringLiteral("200x200+0+0"));
    ASSERT_NE(below, XCB_NONE);
    const ImageHandle uncovered = windowServer->captureWindow(below);
    ASSERT_TRUE(uncovered);
    ASSERT_NE(startClient({QStringLiteral("xterm"), QStringLiteral("-T"), QStringLiteral("Cover"), QStringLiteral("-bg"),
                           QStringLiteral("black"), QStringLiteral("-geometry"), QStringLiteral("80x24+0+0")}),
              XCB_NONE);

    const ImageHandle covered = windowServer->captureWindow(below);

    ASSERT_TRUE(covered);
    EXPECT_EQ(covered->size(), uncovered->size());
    // The clock's background is white (a corner, away from its face and moving hands);
    // read from the screen, the black terminal on top would show instead.
    EXPECT_EQ(QColor(covered->pixel(2, 2)).lightness(), 255);
}

} // namespace
} // namespace ostrevane::x11test
