#include "platform/qt/NetworkModule.h"

#include "core/shell/ProgramFolder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QSet>

namespace ostrevane {

namespace {

using InterfaceVersion = int (*)();
using MakeLoader = NetworkURLLoader* (*)(NetworkURLLoader::Options*);

// Loads the module at `path` once; null (with the reason in `why`) when it cannot be used.
MakeLoader resolve(const QString& path, QString& why)
{
    QLibrary library(path);
    if (!library.load()) {
        why = library.errorString();
        return nullptr;
    }
    const auto version = reinterpret_cast<InterfaceVersion>(library.resolve("ostrevane_network_interface"));
    const auto make = reinterpret_cast<MakeLoader>(library.resolve("ostrevane_network_make_loader"));
    if (!version || !make || version() != NetworkURLLoader::interfaceVersion) {
        why = QStringLiteral("it was built for another version of the program");
        library.unload();
        return nullptr;
    }
    return make;
}

MakeLoader find(const QStringList& paths)
{
    static std::mutex lock;
    static QHash<QString, MakeLoader> loaded;
    static QSet<QStringList> explained;
    std::lock_guard guard(lock);
    QStringList reasons;
    for (const QString& path : paths) {
        if (!QFileInfo::exists(path))
            continue;
        auto known = loaded.find(path);
        if (known == loaded.end()) {
            QString why;
            known = loaded.insert(path, resolve(path, why));
            if (!*known)
                reasons << QStringLiteral("%1: %2").arg(path, why);
        }
        if (*known)
            return *known;
    }
    if (!explained.contains(paths)) {
        explained.insert(paths);
        qWarning("Ostrevane: the network module is missing or unusable, so nothing can be downloaded (%s)",
                 qPrintable(reasons.isEmpty() ? QStringLiteral("looked for %1").arg(paths.join(QStringLiteral(", ")))
                                              : reasons.join(QStringLiteral("; "))));
    }
    return nullptr;
}

} // namespace

QStringList NetworkModule::candidates(const QString& programFolder)
{
    return ProgramFolder::helperCandidates(programFolder, QString::fromLatin1(fileName));
}

std::unique_ptr<NetworkURLLoader> NetworkModule::makeLoader(NetworkURLLoader::Options options, const QStringList& paths)
{
    const MakeLoader make = find(paths);
    return std::unique_ptr<NetworkURLLoader>(make ? make(&options) : nullptr);
}

std::unique_ptr<NetworkURLLoader> NetworkModule::makeLoader(NetworkURLLoader::Options options)
{
    return makeLoader(std::move(options), candidates(QCoreApplication::applicationDirPath()));
}

void LazyURLLoader::fetch(const QString& url, Completion completion)
{
    std::call_once(m_made, [this] { m_loader = NetworkModule::makeLoader(); });
    if (!m_loader) {
        completion(std::nullopt);
        return;
    }
    m_loader->fetch(url, std::move(completion));
}

} // namespace ostrevane
