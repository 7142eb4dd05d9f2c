#include "core/shell/SelfInstaller.h"

#include "core/shell/AppDelegate.h"
#include "core/model/Localization.h"
#include "core/shell/ProgramFolder.h"
#include "core/platform/Dispatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace ostrevane {

using Layout = SelfInstaller::Layout;
using Ports = SelfInstaller::Ports;

namespace {

QString localized(const char* text) { return Localization::shared().string(text); }

QString withSlash(const QString& path) { return path.endsWith(u'/') ? path : path + u'/'; }

bool isOnMountedMedia(const QString& path, const QStringList& prefixes)
{
    return std::any_of(prefixes.begin(), prefixes.end(), [&](const QString& prefix) { return path.startsWith(prefix); });
}

// Asks every running copy that lives in `destination` to quit, and gives them a moment.
void askInstalledCopiesToQuit(const QString& destination, const Ports& ports)
{
    if (!ports.copies)
        return;
    const QString folder = withSlash(destination);
    bool asked = false;
    for (const RunningCopies::Copy& copy : ports.copies->others()) {
        if (copy.location == destination || copy.location.startsWith(folder)) {
            ports.copies->terminate(copy);
            asked = true;
        }
    }
    if (asked && ports.pause)
        ports.pause(SelfInstaller::quitWait);
}

// Launchers find the installed copy through its desktop entry. A failure here leaves a
// working installation, so it is logged rather than reported as a failed install.
void writeDesktopEntry(const QString& destination, const QString& entryFile)
{
    QString error;
    const QByteArray entry = ProgramFolder::desktopEntryFor(destination, &error);
    QSaveFile file(entryFile);
    const bool written = !entry.isEmpty() && QDir().mkpath(QFileInfo(entryFile).absolutePath()) &&
                         file.open(QIODevice::WriteOnly) && file.write(entry) == entry.size() && file.commit();
    if (!written)
        qWarning("Ostrevane: cannot write the desktop entry %s: %s", qPrintable(entryFile),
                 qPrintable(error.isEmpty() ? file.errorString() : error));
}

void startInstalledCopy(const QString& destination, const Layout& layout, const Ports& ports)
{
    if (layout.macOSBundle) {
        // Failures are not examined: the copy is installed either way.
        ports.run(QStringLiteral("/usr/bin/xattr"), {QStringLiteral("-dr"), QStringLiteral("com.apple.quarantine"), destination},
                  true);
        ports.run(QStringLiteral("/usr/bin/open"), {QStringLiteral("-n"), destination}, false);
        return;
    }
    if (!layout.desktopEntryFile.isEmpty())
        writeDesktopEntry(destination, layout.desktopEntryFile);
    if (!ports.run(destination + u'/' + ProgramFolder::binaryPath, {}, false))
        qWarning("Ostrevane: the installed copy in %s did not start", qPrintable(destination));
}

} // namespace

Layout SelfInstaller::Layout::macOS()
{
    Layout layout;
    layout.mountPrefixes = {QStringLiteral("/Volumes/")};
    layout.applicationsFolder = QStringLiteral("/Applications/");
    layout.macOSBundle = true;
    layout.offerMessage = QT_TRANSLATE_NOOP("Ostrevane", "Move Ostrevane to Applications?");
    layout.offerText = QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane is running from a disk image. Installing it to your "
                                                      "Applications folder keeps it available after you eject the DMG "
                                                      "and avoids future Gatekeeper warnings.");
    return layout;
}

Layout SelfInstaller::Layout::linuxDesktop(const QString& home)
{
    Layout layout;
    layout.mountPrefixes = {QStringLiteral("/media/"), QStringLiteral("/run/media/")};
    layout.destination = home + QStringLiteral("/.local/opt/Ostrevane");
    layout.requiredMarker = ProgramFolder::markerPath;
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = home + QStringLiteral("/.local/share");
    layout.desktopEntryFile = dataHome + QStringLiteral("/applications/com.local.ostrevane.desktop");
    layout.offerMessage = QT_TRANSLATE_NOOP("Ostrevane", "Install Ostrevane on this computer?");
    layout.offerText = QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane is running from a removable drive. Installing it in "
                                                      "your home folder keeps it available after you remove the "
                                                      "drive and adds it to your applications menu.");
    return layout;
}

bool SelfInstaller::offerInstallIfNeeded(const QString& bundlePath, const Layout& layout, const Ports& ports)
{
    if (bundlePath.isEmpty() || !isOnMountedMedia(bundlePath, layout.mountPrefixes))
        return false;
    if (!layout.requiredMarker.isEmpty() && !QFileInfo::exists(bundlePath + u'/' + layout.requiredMarker))
        return false; // not a program folder that can be copied
    const QString destination = layout.destination.isEmpty()
                                    ? layout.applicationsFolder + QFileInfo(bundlePath).fileName()
                                    : layout.destination;
    if (QDir::cleanPath(bundlePath) == QDir::cleanPath(destination))
        return false;
    const Alerts::Alert offer{Alerts::Style::informational, localized(layout.offerMessage), localized(layout.offerText),
                              {localized(QT_TRANSLATE_NOOP("Ostrevane", "Install")),
                               localized(QT_TRANSLATE_NOOP("Ostrevane", "Not Now"))}};
    if (ports.alerts->runModal(offer) != 0)
        return false;
    return install(bundlePath, destination, layout, ports);
}

bool SelfInstaller::install(const QString& from, const QString& to, const Layout& layout, const Ports& ports)
{
    // The new copy is staged beside the destination and put in place by renaming, so a
    // failure anywhere leaves the installed copy (and this one) as they were.
    QString error;
    const auto quitInstalledCopies = [&] {
        if (QFileInfo::exists(to))
            askInstalledCopiesToQuit(to, ports);
    };
    if (!ProgramFolder::install(from, to, &error, quitInstalledCopies)) {
        presentError(error, ports);
        return false;
    }
    startInstalledCopy(to, layout, ports);
    ports.dispatcher->asyncAfter(quitDelay, ports.quit);
    return true;
}

void SelfInstaller::presentError(const QString& message, const Ports& ports)
{
    ports.alerts->runModal(Alerts::Alert{Alerts::Style::warning, localized(QT_TRANSLATE_NOOP("Ostrevane", "Install failed")),
                                         message, {localized(QT_TRANSLATE_NOOP("Ostrevane", "OK"))}});
}

} // namespace ostrevane
