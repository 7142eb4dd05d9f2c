#include "platform/x11/X11QtConnection.h"

#include <QGuiApplication>

namespace ostrevane {

xcb_connection_t* qtX11Connection()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace ostrevane
