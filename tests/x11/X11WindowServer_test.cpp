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

TEST_F(X11WindowServerTest, CapturesAWindowAtItsOwnSize)
{
    const xcb_window_t window = startXclock(QStringLiteral("Small"), QStringLiteral("150x120"));
    ASSERT_NE(window, XCB_NONE);

    const ImageHandle image = windowServer->captureWindow(window);

    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(150, 120));
}

TEST_F(X11WindowServerTest, ScalesLargeCapturesDownKeepingTheirShape)
{
    const xcb_window_t window = startXclock(QStringLiteral("Large"), QStringLiteral("600x300"));
    ASSERT_NE(window, XCB_NONE);

    const ImageHandle image = windowServer->captureWindow(window);

    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(192, 96));
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
    // The clock's background is white; read from the screen, the black terminal on top
    // would show instead.
    EXPECT_EQ(QColor(covered->pixel(30, 30)).lightness(), 255);
}

TEST_F(X11WindowServerTest, IconifiedWindowGivesNoCapture)
{
    const xcb_window_t window = startXclock(QStringLiteral("Folded"), QStringLiteral("100x100"));
    ASSERT_NE(window, XCB_NONE);
    clients->iconify(window);
    ASSERT_TRUE(waitUntil([&] { return isHidden(window); }));

    EXPECT_EQ(windowServer->captureWindow(window), nullptr);
}

} // namespace
} // namespace ostrevane::x11test
