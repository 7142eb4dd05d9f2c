// A stand-in for Chromium with the Ostrevane extension, for the benchmarks: it owns one
// X window of class "chromium", starts the real connector as a browser starts a native
// host, and answers the extension's requests from a list of N tabs in M windows. The
// benchmarks copy it to a file named "chromium", because the program recognises the
// browser behind a connector by its executable's name.
//
//   chromium --connector PATH [--tabs 500] [--windows 20]
//
// Commands on standard input, one per line: "add" opens a tab and tells the program that
// tabs changed; it answers "changed <ns>" on standard output with the monotonic time just
// before the notice left. "ready" is written once the connector is started.

#include "../BenchExtension.h"

#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <poll.h>
#include <unistd.h>

using namespace ostrevane;

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void openWindow()
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 400, 300, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    const char wmClass[] = "chromium\0Chromium";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass,
                        wmClass);
    const char name[] = "Tab 1 - Chromium";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof name - 1, name);
    const char pidAtom[] = "_NET_WM_PID";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof pidAtom - 1, pidAtom), nullptr);
    const quint32 pid = static_cast<quint32>(::getpid());
    if (atom)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom->atom, XCB_ATOM_CARDINAL, 32, 1, &pid);
    std::free(atom);
    xcb_map_window(c, window);
    xcb_flush(c); // the connection stays open, and the window with it, until we exit
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    const char* connector = nullptr;
    int tabs = 500, windows = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--connector"))
            connector = argv[i + 1];
        else if (!std::strcmp(argv[i], "--tabs"))
            tabs = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--windows"))
            windows = std::atoi(argv[i + 1]);
    }
    if (!connector) {
        std::fprintf(stderr, "usage: %s --connector PATH [--tabs N] [--windows M]\n", argv[0]);
        return 2;
    }
    openWindow();
    // A real browser's extension connects a while after its first window is up; the
    // program lists windows a moment after they appear.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    bench::BenchExtension extension(tabs, windows);
    if (!extension.start(connector))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    std::string command;
    int commands = STDIN_FILENO;
    for (;;) {
        pollfd fds[2] = {{extension.input(), POLLIN, 0}, {commands, POLLIN, 0}};
        ::poll(fds, 2, -1);
        if ((fds[0].revents & (POLLIN | POLLHUP)) && !extension.answer())
            return 0;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char c = 0;
            if (::read(STDIN_FILENO, &c, 1) != 1) {
                commands = -1; // no more commands: keep answering until stopped
                continue;
            }
            if (c != '\n') {
                command += c;
                continue;
            }
            if (command == "add") {
                const qint64 sent = nowNs();
                extension.addTab();
                std::printf("changed %lld\n", static_cast<long long>(sent));
                std::fflush(stdout);
            }
            command.clear();
        }
    }
}
