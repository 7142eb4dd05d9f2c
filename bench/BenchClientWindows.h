#pragma once

// Tiny X clients for the benchmarks: each one window of its own process, as on a busy
// desktop, forked from the benchmark before it starts any thread of its own.

#include <QByteArray>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace ostrevane::bench {

inline xcb_atom_t internAtom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<quint16>(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = r ? r->atom : XCB_NONE;
    std::free(r);
    return result;
}

inline void setText(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, const QByteArray& text)
{
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_STRING, 8,
                        static_cast<quint32>(text.size()), text.constData());
}

// One 240 x 160 window named "Bench window <index>" with its own class and _NET_WM_PID,
// then nothing until the server goes away.
[[noreturn]] inline void runClient(const QByteArray& display, int index)
{
    xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const quint32 white = screen->white_pixel;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, (index % 20) * 40, (index / 20) * 60, 240, 160, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, &white);
    const QByteArray name = "benchclient" + QByteArray::number(index);
    setText(c, window, XCB_ATOM_WM_CLASS, name + '\0' + "Benchclient" + QByteArray::number(index) + '\0');
    setText(c, window, XCB_ATOM_WM_NAME, "Bench window " + QByteArray::number(index));
    const quint32 pid = static_cast<quint32>(::getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, internAtom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                        &pid);
    xcb_map_window(c, window);
    xcb_flush(c);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c))
        std::free(event);
    ::_exit(0);
}

// The client processes of one display; killed and reaped when this goes.
class ClientProcesses {
public:
    explicit ClientProcesses(QByteArray display) : m_display(std::move(display)) {}
    ~ClientProcesses()
    {
        for (const pid_t pid : m_children) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    ClientProcesses(const ClientProcesses&) = delete;
    ClientProcesses& operator=(const ClientProcesses&) = delete;

    // Forks clients until `count` run. Call it while this process has no other thread.
    void growTo(int count)
    {
        while (this->count() < count) {
            const pid_t pid = ::fork();
            if (pid == 0)
                runClient(m_display, this->count());
            m_children.push_back(pid);
        }
    }
    int count() const { return static_cast<int>(m_children.size()); }

private:
    QByteArray m_display;
    std::vector<pid_t> m_children;
};

} // namespace ostrevane::bench
