#include "platform/network/QtURLLoader.h"

// What the program looks up in this module (see platform/qt/NetworkModule.h).

extern "C" Q_DECL_EXPORT int ostrevane_network_interface() { return ostrevane::NetworkURLLoader::interfaceVersion; }

extern "C" Q_DECL_EXPORT ostrevane::NetworkURLLoader* ostrevane_network_make_loader(
    ostrevane::NetworkURLLoader::Options* options)
{
    return new ostrevane::QtURLLoader(std::move(*options));
}
