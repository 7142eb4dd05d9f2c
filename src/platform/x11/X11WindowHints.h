#pragma once

#include <xcb/xcb.h>

class QWindow;

namespace ostrevane {

// Qt's own X connection (the GUI thread's), or null when Qt runs on another platform.
xcb_connection_t* qtX11Connection();

// Puts one of our panel windows, before it is mapped, on every desktop and out of task
// bars and pagers: the panel belongs to whichever desktop the user is on when summoning it.
void applyPanelWindowHints(QWindow* window);

} // namespace ostrevane
