// A client that opens and closes top-level windows at a steady rate, as a program that
// pops up and drops windows all the time. Each window lives for LIFETIME_MS; after
// SECONDS it prints "done" and keeps running, windowless, until ended.
// Usage: ChurnClient WINDOWS_PER_SECOND SECONDS LIFETIME_MS
#include "../e2e/client/ClientSupport.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

using ostrevane::testclient::atom;

struct Atoms {
    xcb_atom_t pid;
    xcb_atom_t windowType;
    xcb_atom_t normal;
};

xcb_window_t open(xcb_connection_t* c, const xcb_screen_t* screen, const Atoms& atoms, int number)
{
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t background = screen->white_pixel;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 20 + number % 400, 20 + number % 300, 160, 90, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, &background);
    const std::string title = "Churn " + std::to_string(number);
    const char windowClass[] = "churn\0Churn";
    const uint32_t pid = static_cast<uint32_t>(::getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof windowClass,
                        windowClass);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(title.size()), title.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atoms.pid, XCB_ATOM_CARDINAL, 32, 1, &pid);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atoms.windowType, XCB_ATOM_ATOM, 32, 1, &atoms.normal);
    xcb_map_window(c, window);
    return window;
}

// Reads and drops whatever the server sent, so its queue never fills.
void drain(xcb_connection_t* c)
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(c))
        std::free(event);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const double rate = std::atof(argv[1]);
    const double seconds = std::atof(argv[2]);
    const auto lifetime = std::chrono::milliseconds(std::atoi(argv[3]));
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) || rate <= 0)
        return 1;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const Atoms atoms{atom(c, "_NET_WM_PID"), atom(c, "_NET_WM_WINDOW_TYPE"), atom(c, "_NET_WM_WINDOW_TYPE_NORMAL")};
    std::deque<std::pair<Clock::time_point, xcb_window_t>> living;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    const auto interval = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
    int opened = 0;
    for (auto next = start; next < end || !living.empty();) {
        const auto now = Clock::now();
        while (!living.empty() && living.front().first <= now) {
            xcb_destroy_window(c, living.front().second);
            living.pop_front();
        }
        while (next <= now && next < end) {
            living.emplace_back(now + lifetime, open(c, screen, atoms, ++opened));
            next += interval;
        }
        xcb_flush(c);
        drain(c);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    xcb_flush(c);
    std::printf("done: %d windows\n", opened);
    std::fflush(stdout);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c))
        std::free(event);
    xcb_disconnect(c);
    return 0;
}
