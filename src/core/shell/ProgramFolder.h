#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace ostrevane {

// The relocatable program folder: the install layout (bin/ostrevane, share/...) in one
// folder of its own that runs from wherever it is unpacked. The self-installer copies
// it and the updater replaces it; both stage the new folder beside the old one and
// put it in place by renaming, so a failure at any step leaves the old folder as it was.
//
// Errors are the system's own texts ("Permission denied"); every call blocks on the
// file system and runs off the main thread where it may take long.
namespace ProgramFolder {

// Relative to the folder: the program, and the file that marks a relocatable folder
// (only the relocatable archive has it, never a package or a plain install).
inline const QString binaryPath = QStringLiteral("bin/ostrevane");
inline const QString markerPath = QStringLiteral("share/ostrevane/relocatable");
inline const QString desktopEntryPath = QStringLiteral("share/applications/com.local.ostrevane.desktop");
inline const QString iconPath = QStringLiteral("share/icons/hicolor/scalable/apps/com.local.ostrevane.svg");

// The program folder of the binary at `binary`: the parent of its "bin" folder; empty
// when the binary does not live in a "bin" folder.
QString containing(const QString& binary);

// Where the program in `binaryFolder` looks for a helper file of its own (the browser
// connector, the network module), in order: beside it (a build), then in its prefix's
// library folders (the program folder, the package).
QStringList helperCandidates(const QString& binaryFolder, const QString& name);

enum class Kind {
    relocatable,    // marked, and the person may replace it
    unwritable,     // marked, but its parent folder cannot be changed by this user
    packageManaged, // under /usr: the package manager's
    other,          // not a program folder (a build folder, an install prefix)
};
Kind kind(const QString& folder);

// Copies the folder `source` to `destination`, replacing what is there; `beforeReplacing`
// runs once the copy is staged, just before it is put in place.
bool install(const QString& source, const QString& destination, QString* error,
             const std::function<void()>& beforeReplacing = {});
// Unpacks a .tar.gz holding one program folder and puts it in place of `folder`.
bool installArchive(const QByteArray& archive, const QString& folder, QString* error);

// Puts the folder `staged` at `destination`: swapped atomically where the file system
// can, else by two renames that are undone when the second fails. The old folder is
// removed afterwards.
bool replace(const QString& staged, const QString& destination, QString* error);

// A desktop entry for the copy in `folder`: the one the folder carries, with Exec and
// TryExec naming its binary and Icon its icon by absolute path (quoted as desktop
// entries require), so launchers find a copy outside the system's folders.
QByteArray desktopEntryFor(const QString& folder, QString* error);

} // namespace ProgramFolder

} // namespace ostrevane
