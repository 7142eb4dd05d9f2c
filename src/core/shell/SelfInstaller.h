#pragma once

#include "core/platform/Alerts.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace ostrevane {

class Dispatcher;
class RunningCopies;

// Offers, at launch, to install a copy that runs from a removable drive (a mounted disk
// image on macOS) into the user's programs folder, then starts the installed copy and
// quits. Stateless; main thread, before anything else of the launch exists.
namespace SelfInstaller {

// Where a copy is offered installation and where it goes, and what the offer says.
struct Layout {
    QStringList mountPrefixes; // a copy under one of these is offered installation
    // The installed copy: `destination` when set, else `applicationsFolder` followed by
    // the copy's folder name.
    QString destination;
    QString applicationsFolder;
    // A copy counts only when its folder holds this file (empty: any folder).
    QString requiredMarker;
    // Where a desktop entry for the installed copy goes (empty: none).
    QString desktopEntryFile;
    // macOS: clear the download quarantine and start the copy through "open".
    bool macOSBundle = false;
    // English texts of the offer (looked up when shown).
    const char* offerMessage = nullptr;
    const char* offerText = nullptr;

    // The disk image and the Applications folder.
    static Layout macOS();
    // Removable media and ~/.local/opt/Ostrevane with a desktop entry under `home`'s
    // ~/.local/share/applications (XDG_DATA_HOME when set).
    static Layout linuxDesktop(const QString& home);
};

struct Ports {
    Alerts* alerts = nullptr;
    RunningCopies* copies = nullptr; // none: nothing is asked to quit
    Dispatcher* dispatcher = nullptr;
    // Starts `program` with `arguments`, detached or (`wait`) until it exits; false when
    // it could not be started.
    std::function<bool(const QString& program, const QStringList& arguments, bool wait)> run;
    // Blocks for the given seconds (while a copy that was asked to quit ends).
    std::function<void(double seconds)> pause;
    // Ends this process.
    std::function<void()> quit;
};

// How long a running installed copy gets to quit, and when this copy quits after
// starting the installed one.
constexpr double quitWait = 0.4;
constexpr double quitDelay = 0.4;

// True when this copy (the program folder or bundle at `bundlePath`) was installed and
// is about to quit, so that the launch stops; false when nothing was offered, the offer
// was declined or the installation failed (after telling why).
bool offerInstallIfNeeded(const QString& bundlePath, const Layout& layout, const Ports& ports);
// Copies `from` to `to`, replacing an installed copy (which is asked to quit first),
// then starts the installed copy and schedules this process's end. False after
// showing why it failed.
bool install(const QString& from, const QString& to, const Layout& layout, const Ports& ports);
// The "Install failed" alert with `message` as its text.
void presentError(const QString& message, const Ports& ports);

} // namespace SelfInstaller

} // namespace ostrevane
