#pragma once

#include "core/shell/PlatformProfile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace ostrevane {

// Where a supported browser looks for native-messaging hosts of its user, and how it is
// packaged when a sandbox keeps it from starting one.
struct BrowserHostLocation {
    QString bundleID;
    // The browser's own folder and its hosts folder, under the user's configuration folder
    // ($XDG_CONFIG_HOME, ~/.config) for the Chromium family, under home for Mozilla's.
    QString browserFolder;
    QString hostsFolder;
    bool mozilla = false;
    QString snapName;  // the Snap package's name; empty when there is none
    QString flatpakID; // the Flatpak application id; empty when there is none
    // The page where the user manages the browser's extensions.
    QString extensionsPage;
};

// How a browser is installed on this machine.
enum class BrowserPackaging {
    absent,
    native,  // its own package or archive: it starts our connector
    snap,    // confined: it cannot start a program outside its sandbox
    flatpak, // likewise
};

// The per-user host manifests that tell each browser where Ostrevane's connector is,
// written at start for every supported browser this user has (and refreshed when the
// program has moved). The package installs system-wide copies as well.
namespace NativeHostManifests {

inline const QString hostName = QStringLiteral("com.local.ostrevane");
// The extension's id in the Chromium family (fixed by the public key in its manifest)
// and in Firefox (its gecko id).
inline const QString chromiumExtensionID = QStringLiteral("ioggjechejedhbfhpecckojgchhbjfph");
inline const QString firefoxExtensionID = QStringLiteral("browser-tabs@ostrevane.local");

// One row per supported browser of the Linux profile, in its order.
const std::vector<BrowserHostLocation>& locations();
const BrowserHostLocation* location(const QString& bundleID);

// The manifest's text for a browser family, naming the connector's absolute path.
QByteArray manifest(const BrowserHostLocation& location, const QString& connectorPath);

// What is looked at on the machine; tests point it at temporary folders.
struct Machine {
    QString home;
    QString configHome;
    // Whether a program of this name is on PATH.
    std::function<bool(const QString& name)> hasExecutable;
    QStringList snapFolders;    // where Snap puts its launchers
    QStringList flatpakFolders; // where Flatpak keeps installed applications

    static Machine current();
};

// How the browser is installed here: natively when its folder exists or one of its
// executables is on PATH, else as a Snap or Flatpak package when one is installed.
BrowserPackaging packaging(const BrowserSpec& browser, const Machine& machine);
// The Snap or Flatpak copy of a browser, even when a native one exists too; absent when
// there is none.
BrowserPackaging sandboxedPackaging(const BrowserSpec& browser, const Machine& machine);

// The manifest file of a browser for this user.
QString manifestPath(const BrowserHostLocation& location, const Machine& machine);

struct Report {
    QStringList written;   // bundle ids whose manifest was missing or stale
    QStringList unchanged; // bundle ids whose manifest was already right
    QStringList failed;    // bundle ids whose manifest could not be written
};

// Writes the manifest of every natively installed browser of `browsers` that has no
// manifest or one that differs (another connector path, an old format), atomically.
// Folders are made as needed. Others' manifests in the same folders are left alone.
Report install(const std::vector<BrowserSpec>& browsers, const QString& connectorPath, const Machine& machine);

} // namespace NativeHostManifests

} // namespace ostrevane
