#pragma once

// What the small X clients of the tests share; xcb only.
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace ostrevane::testclient {

// The atom of `name`, interned if new; XCB_ATOM_NONE when the server does not answer.
inline xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

} // namespace ostrevane::testclient
