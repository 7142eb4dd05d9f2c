#pragma once

#include "platform/qt/NetworkURLLoader.h"

#include <QStringList>

#include <memory>
#include <mutex>

namespace ostrevane {

// Qt Network and what it brings along (Kerberos, proxy discovery, the resolver: about
// 1.1 MB resident) live in a module of their own, loaded with the first download: most
// sessions download nothing. The module stays loaded once it is, since loaders it made
// may still run.
namespace NetworkModule {
inline constexpr char fileName[] = "ostrevane-network.so";

// Where a program in `programFolder` looks for its module, as for its other helpers.
QStringList candidates(const QString& programFolder);

// A loader made by the first of `paths` that loads and was built for this program's
// interface; nothing when none is (logged once per path).
std::unique_ptr<NetworkURLLoader> makeLoader(NetworkURLLoader::Options options, const QStringList& paths);
// The same, from this program's folder.
std::unique_ptr<NetworkURLLoader> makeLoader(NetworkURLLoader::Options options = {});
} // namespace NetworkModule

// The URL loader port of the program: the module's loader, made with the first fetch.
// Without the module every fetch completes with nothing.
class LazyURLLoader : public URLLoader {
public:
    void fetch(const QString& url, Completion completion) override;

private:
    std::once_flag m_made;
    std::unique_ptr<NetworkURLLoader> m_loader; // set once, under m_made
};

} // namespace ostrevane
