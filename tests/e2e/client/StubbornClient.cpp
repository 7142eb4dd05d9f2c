// A client that asks to be told of close requests (WM_DELETE_WINDOW) and then ignores
// them, as an application with unsaved work whose dialog never comes up does; it ignores
// SIGTERM too, so only a kill ends it. It answers _NET_WM_PING while its event loop runs
// (a stopped one does not). Usage: StubbornClient [OPTIONS] [TITLE]
//   --two-windows  windows TITLE and "TITLE 2"
//   --unnamed      a window without any name (no TITLE)
//   --deaf         never reads its events (pings included), as a program stuck in a long
//                  computation or a deadlock
//   --class NAME   WM_CLASS NAME (instead of "Stubborn")
//   --no-window    no window, as a tray program whose window is closed: prints "asked to
//                  terminate" and exits on SIGTERM
#include "ClientSupport.h"

#include <xcb/xcb.h>

#include <csignal>
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

int waitForTerminate()
{
    sigset_t terminate;
    sigemptyset(&terminate);
    sigaddset(&terminate, SIGTERM);
    sigprocmask(SIG_BLOCK, &terminate, nullptr);
    int received = 0;
    sigwait(&terminate, &received);
    std::puts("asked to terminate");
    std::fflush(stdout);
    return 0;
}

xcb_window_t openWindow(xcb_connection_t* c, const xcb_screen_t* screen, const std::string* title, int offset,
                        const std::string& className)
{
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t background = screen->white_pixel;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 100 + offset, 100 + offset, 320, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, &background);
    const std::string windowClass = "stubborn" + std::string(1, '\0') + className + std::string(1, '\0');
    setProperty(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, static_cast<uint32_t>(windowClass.size()),
                windowClass.data());
    if (title)
        setProperty(c, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, static_cast<uint32_t>(title->size()),
                    title->data());
    const uint32_t pid = static_cast<uint32_t>(::getpid());
    setProperty(c, window, atom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    const xcb_atom_t protocols[] = {atom(c, "WM_DELETE_WINDOW"), atom(c, "_NET_WM_PING")};
    setProperty(c, window, atom(c, "WM_PROTOCOLS"), XCB_ATOM_ATOM, 32, 2, protocols);
    xcb_map_window(c, window);
    return window;
}

// Every event is read; close requests are reported and dropped, pings are answered.
void serve(xcb_connection_t* c, const xcb_screen_t* screen)
{
    const xcb_atom_t deleteWindow = atom(c, "WM_DELETE_WINDOW"), ping = atom(c, "_NET_WM_PING");
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->data.data32[0] == deleteWindow) {
            std::puts("ignored a close request");
            std::fflush(stdout);
        } else if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->data.data32[0] == ping) {
            message->window = screen->root;
            xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                           reinterpret_cast<const char*>(message));
            xcb_flush(c);
        }
        std::free(event);
    }
}

} // namespace

int main(int argc, char** argv)
{
    bool two = false, unnamed = false, deaf = false, windowless = false;
    std::string title, className = "Stubborn";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--class" && i + 1 < argc) {
            className = argv[++i];
            continue;
        }
        two |= arg == "--two-windows";
        unnamed |= arg == "--unnamed";
        deaf |= arg == "--deaf";
        windowless |= arg == "--no-window";
        if (arg.rfind("--", 0) != 0)
            title = arg;
    }
    if (windowless)
        return waitForTerminate();
    if (title.empty() != unnamed)
        return 2;
    std::signal(SIGTERM, SIG_IGN);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    openWindow(c, screen, unnamed ? nullptr : &title, 0, className);
    if (two) {
        const std::string second = title + " 2";
        openWindow(c, screen, &second, 40, className);
    }
    xcb_flush(c);
    while (deaf)
        ::pause();
    serve(c, screen);
    xcb_disconnect(c);
    return 0;
}
