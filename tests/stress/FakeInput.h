#pragma once

#include <QString>

#include <xcb/xcb.h>

#include <map>

namespace ostrevane::stress {

// Keys and clicks sent through XTEST on a connection of its own, as fast as a program
// can send them (xdotool starts a process per call). Keys are named by keysym name
// ("Alt_L", "Tab", "a"). What it holds down it can let go of all at once.
class FakeInput {
public:
    explicit FakeInput(const QString& display);
    ~FakeInput();
    FakeInput(const FakeInput&) = delete;
    FakeInput& operator=(const FakeInput&) = delete;

    bool isUsable() const;

    void press(const char* key);
    void release(const char* key);
    void tap(const char* key);
    // Moves the pointer to (x, y) and clicks the first button there.
    void click(int x, int y);
    // Lets go of every key still held.
    void releaseAll();
    // Sends what was queued.
    void flush();

private:
    xcb_keycode_t keycode(const char* key);
    void key(quint8 type, xcb_keycode_t code);

    xcb_connection_t* m_connection;
    xcb_window_t m_root = XCB_NONE;
    std::map<QString, xcb_keycode_t> m_codes;
    std::map<xcb_keycode_t, bool> m_held;
};

} // namespace ostrevane::stress
