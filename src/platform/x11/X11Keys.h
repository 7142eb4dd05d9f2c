#pragma once

#include "platform/x11/X11Connection.h"

#include <QtGlobal>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace ostrevane {

// Takes ownership of a reply read on Qt's connection (the backend's own connection reads
// through X11Connection::reply()); null when the request failed.
template <class T>
X11Reply<T> adoptReply(T* reply)
{
    return X11Reply<T>(reply, &std::free);
}

// The chord vocabulary on X11: the platform-neutral key codes of the key-name table and
// Carbon modifier masks, translated to and from X keysyms and modifier state bits.
// Option is Mod1 (Alt), Command is Mod4 (Super).
namespace X11Keys {

// The keysym of a chord key code (48 = Tab -> XK_Tab, 0 = A -> XK_a); nothing for codes
// that name no key.
std::optional<xcb_keysym_t> keysym(quint32 keyCode);
// The chord key code of a keysym (either case of a letter); nothing for other keys.
std::optional<quint32> keyCode(xcb_keysym_t keysym);

// X state bits for a Carbon mask, and back (only Shift, Control, Mod1 and Mod4 count).
quint16 xModifiers(quint32 carbonModifiers);
quint32 carbonModifiers(quint16 xState);
// The state bits a chord compares: Shift, Control, Mod1, Mod4.
constexpr quint16 chordMask = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

// Every combination of Caps Lock and Num Lock: a passive grab must list each one, or the
// chord stops working while a lock is on.
std::vector<quint16> lockVariants(quint16 numLockMask);

// Whether any of `keycodes` is down in a keymap reply's 32 bytes.
bool anyKeyDown(const quint8 (&keys)[32], const std::vector<xcb_keycode_t>& keycodes);

} // namespace X11Keys

// The keyboard of one X connection: keysym lookups, which keys act as Option (Mod1) and
// which modifier bit Num Lock sets. Re-read on a mapping change.
class X11Keyboard {
public:
    explicit X11Keyboard(xcb_connection_t* connection);
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    // Every keycode that produces `keysym` (several keyboards may map one).
    std::vector<xcb_keycode_t> keycodes(xcb_keysym_t keysym) const;
    quint16 numLockMask() const { return m_numLockMask; }
    const std::vector<xcb_keycode_t>& optionKeycodes() const { return m_optionKeycodes; }
    bool isOptionKey(xcb_keycode_t keycode) const;
    bool isModifierKey(xcb_keycode_t keycode) const;
    // Asks the server which keys are down now (one round trip).
    bool isOptionDown() const;
    // After a MappingNotify.
    void refresh(xcb_mapping_notify_event_t* event);
    // Reads the whole keyboard again (after XKB changed the layout or several maps).
    void reload();

private:
    void readModifierMapping();

    xcb_connection_t* m_connection;
    xcb_key_symbols_t* m_symbols;
    quint16 m_numLockMask = 0;
    std::vector<xcb_keycode_t> m_optionKeycodes;
    std::vector<xcb_keycode_t> m_modifierKeycodes;
};

} // namespace ostrevane
