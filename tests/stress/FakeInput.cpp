#include "FakeInput.h"

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>

namespace ostrevane::stress {

namespace {

// The keysyms of the keys the stress tests press (X11/keysymdef.h); a lower-case letter
// is its own keysym.
xcb_keysym_t keysymOf(const char* key)
{
    static const std::map<QString, xcb_keysym_t> named = {
        {QStringLiteral("Alt_L"), 0xffe9}, {QStringLiteral("Shift_L"), 0xffe1}, {QStringLiteral("Tab"), 0xff09},
        {QStringLiteral("Escape"), 0xff1b}, {QStringLiteral("Return"), 0xff0d},
    };
    if (const auto found = named.find(QString::fromLatin1(key)); found != named.end())
        return found->second;
    return std::strlen(key) == 1 && key[0] >= 'a' && key[0] <= 'z' ? xcb_keysym_t(key[0]) : 0;
}

} // namespace

FakeInput::FakeInput(const QString& display)
    : m_connection(xcb_connect(display.toLatin1().constData(), nullptr))
{
    if (!xcb_connection_has_error(m_connection))
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

FakeInput::~FakeInput()
{
    releaseAll();
    xcb_disconnect(m_connection);
}

bool FakeInput::isUsable() const { return !xcb_connection_has_error(m_connection) && m_root != XCB_NONE; }

// Looked up once per name through the server's keyboard map.
xcb_keycode_t FakeInput::keycode(const char* key)
{
    const QString name = QString::fromLatin1(key);
    if (const auto known = m_codes.find(name); known != m_codes.end())
        return known->second;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_connection);
    const xcb_keysym_t keysym = keysymOf(key);
    xcb_keycode_t* codes = symbols && keysym != 0 ? xcb_key_symbols_get_keycode(symbols, keysym) : nullptr;
    const xcb_keycode_t code = codes && codes[0] != XCB_NO_SYMBOL ? codes[0] : 0;
    std::free(codes);
    xcb_key_symbols_free(symbols);
    m_codes[name] = code;
    return code;
}

void FakeInput::key(quint8 type, xcb_keycode_t code)
{
    if (code == 0)
        return;
    xcb_test_fake_input(m_connection, type, code, XCB_CURRENT_TIME, m_root, 0, 0, 0);
    m_held[code] = type == XCB_KEY_PRESS;
}

void FakeInput::press(const char* key) { this->key(XCB_KEY_PRESS, keycode(key)); }
void FakeInput::release(const char* key) { this->key(XCB_KEY_RELEASE, keycode(key)); }

void FakeInput::tap(const char* key)
{
    press(key);
    release(key);
}

void FakeInput::click(int x, int y)
{
    xcb_test_fake_input(m_connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root, qint16(x), qint16(y), 0);
    xcb_test_fake_input(m_connection, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, m_root, 0, 0, 0);
    xcb_test_fake_input(m_connection, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, m_root, 0, 0, 0);
}

void FakeInput::releaseAll()
{
    for (const auto& [code, down] : m_held)
        if (down)
            xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, m_root, 0, 0, 0);
    m_held.clear();
    flush();
}

void FakeInput::flush() { xcb_flush(m_connection); }

} // namespace ostrevane::stress
