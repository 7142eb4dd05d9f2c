#include "X11BackendFixture.h"

#include <map>
#include <mutex>

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
    } cases[] = {{"Small", "150x120", QSize(150, 120)}, {"Large", "600x300", QSize(192, 96)}};
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
    // The clock's background is white; read from the screen, the black terminal on top
    // would show instead.
    EXPECT_EQ(QColor(covered->pixel(30, 30)).lightness(), 255);
}

// The pictures windows leave as they go off screen, collected from any thread.
class LeftPictures {
public:
    explicit LeftPictures(WindowServer& server)
        : m_server(server)
        , m_token(server.observeLeavingPictures([this](quint32 window, ImageHandle picture) {
            std::lock_guard lock(m_lock);
            m_pictures[window] = std::move(picture);
        }))
    {
    }
    ~LeftPictures() { m_server.removeObserver(m_token); }
    ImageHandle of(xcb_window_t window)
    {
        std::lock_guard lock(m_lock);
        return m_pictures.contains(window) ? m_pictures[window] : nullptr;
    }

private:
    WindowServer& m_server;
    WindowServer::Token m_token;
    std::mutex m_lock;
    std::map<quint32, ImageHandle> m_pictures;
};

// Iconified, a window is unmapped and can no longer be read: it leaves the picture it had.
TEST_F(X11WindowServerTest, AnIconifiedWindowLeavesThePictureItHadAndIsCapturedLiveWhenBack)
{
    LeftPictures left(*windowServer);
    const xcb_window_t window = startClient({QStringLiteral("xterm"), QStringLiteral("-T"), QStringLiteral("Folded"),
                                             QStringLiteral("-bg"), QStringLiteral("white")});
    ASSERT_NE(window, XCB_NONE);
    ASSERT_TRUE(waitUntil([&] { return windowServer->isFollowing(window); }));
    const ImageHandle live = windowServer->captureWindow(window);
    ASSERT_TRUE(live);

    clients->iconify(window);
    ASSERT_TRUE(waitUntil([&] { return left.of(window) != nullptr; }));
    const ImageHandle picture = left.of(window);
    EXPECT_EQ(picture->size(), live->size());
    EXPECT_EQ(QColor(picture->pixel(picture->width() / 2, picture->height() / 2)).lightness(), 255)
        << "the window's contents, not an empty picture";
    EXPECT_EQ(windowServer->captureWindow(window), picture) << "kept for later captures";

    clients->activate(window); // restores it
    ASSERT_TRUE(waitUntil([&] { return !isHidden(window) && windowServer->isFollowing(window); }));
    EXPECT_NE(windowServer->captureWindow(window), picture);
}

TEST_F(X11WindowServerTest, AWindowOnAnotherDesktopSaysWhichAndLeavesItsPicture)
{
    LeftPictures left(*windowServer);
    pid_t pid = 0;
    const xcb_window_t window = startXterm(QStringLiteral("Travelling"), &pid);
    ASSERT_NE(window, XCB_NONE);
    ASSERT_TRUE(waitUntil([&] { return windowServer->isFollowing(window); }));
    const AXElement element = X11Accessibility::windowElement(window, pid);
    const auto xdotool = [&](const QStringList& arguments) {
        s_session->start(QStringList{QStringLiteral("xdotool")} + arguments);
    };

    xdotool({QStringLiteral("set_desktop_for_window"), QString::number(window), QStringLiteral("1")});
    ASSERT_TRUE(waitUntil([&] { return left.of(window) != nullptr; })) << "openbox unmaps windows of other desktops";
    EXPECT_TRUE(waitUntil([&] { return accessibility->copyText(element, AX::otherDesktop) == QStringLiteral("2"); }));

    xdotool({QStringLiteral("set_desktop"), QStringLiteral("1")});
    EXPECT_TRUE(waitUntil([&] { return !accessibility->copyText(element, AX::otherDesktop); }));
    xdotool({QStringLiteral("set_desktop"), QStringLiteral("0")});
    EXPECT_TRUE(waitUntil([&] { return clients->currentDesktop() == 0u; }));
}

} // namespace
} // namespace ostrevane::x11test
