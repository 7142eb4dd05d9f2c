#pragma once

#include <xcb/xcb.h>

namespace ostrevane {

// Qt's own X connection (the GUI thread's), or null when Qt runs on another platform.
xcb_connection_t* qtX11Connection();

} // namespace ostrevane
