// Outlines set on windows that Qt makes, against a real X server.
#include "QtOnXvfb.h"

#include "platform/qt/QtDispatcher.h"
#include "platform/x11/X11Compositing.h"
#include "platform/x11/X11QtConnection.h"

#include <QRegion>

#include <xcb/shape.h>

namespace ostrevane::x11test {
namespace {

// The panel's window is made on Qt's connection, and its first outline is set right after
// (while Qt may not have sent the window to the server yet): the outline must still land.
TEST(X11Compositing, AnOutlineSetRightAfterQtMadeTheWindowLandsOnIt)
{
    ASSERT_TRUE(qtSession() && qtSession()->isReady()) << (qtSession() ? qtSession()->failure().toStdString() : "");
    xcb_connection_t* qt = qtX11Connection();
    ASSERT_TRUE(qt);
    QtDispatcher dispatcher;
    X11Compositing compositing(X11Connection::open(qtSession()->display()), dispatcher);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(qt)).data;
    const xcb_window_t window = xcb_generate_id(qt);
    // Left in Qt's output buffer, as Qt leaves a window it has just made.
    xcb_create_window(qt, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);

    compositing.setOutline(window, QRegion(10, 0, 90, 100));

    xcb_connection_t* observer = xcb_connect(qtSession()->display().constData(), nullptr);
    free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr)); // all of Qt's requests are done
    auto* extents = xcb_shape_query_extents_reply(observer, xcb_shape_query_extents(observer, window), nullptr);
    ASSERT_TRUE(extents);
    EXPECT_TRUE(extents->bounding_shaped);
    EXPECT_EQ(extents->bounding_shape_extents_x, 10);
    EXPECT_EQ(extents->bounding_shape_extents_width, 90);
    free(extents);
    xcb_disconnect(observer);
    xcb_destroy_window(qt, window);
    xcb_flush(qt);
}

} // namespace
} // namespace ostrevane::x11test

int main(int argc, char** argv)
{
    return ostrevane::x11test::runTestsWithQtOnXvfb(argc, argv, ostrevane::x11test::XvfbSession::WindowManager::none);
}
