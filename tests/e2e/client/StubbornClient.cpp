// A client that asks to be told of close requests (WM_DELETE_WINDOW) and then ignores
// them, as an application with unsaved work whose dialog never comes up does: only a
// kill ends it. Usage: StubbornClient TITLE
#include "ClientSupport.h"

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

using ostrevane::testclient::atom;

void setProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type, uint8_t format,
                 uint32_t length, const void* data)
{
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, type, format, length, data);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string title = argv[1];
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t background = screen->white_pixel;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 100, 100, 320, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, &background);
    const char windowClass[] = "stubborn\0Stubborn";
    setProperty(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof windowClass, windowClass);
    setProperty(c, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, static_cast<uint32_t>(title.size()), title.data());
    const uint32_t pid = static_cast<uint32_t>(::getpid());
    setProperty(c, window, atom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    const xcb_atom_t deleteWindow = atom(c, "WM_DELETE_WINDOW");
    setProperty(c, window, atom(c, "WM_PROTOCOLS"), XCB_ATOM_ATOM, 32, 1, &deleteWindow);
    xcb_map_window(c, window);
    xcb_flush(c);
    // Every event is read and dropped until the server goes; close requests are reported.
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->data.data32[0] == deleteWindow) {
            std::puts("ignored a close request");
            std::fflush(stdout);
        }
        std::free(event);
    }
    xcb_disconnect(c);
    return 0;
}
