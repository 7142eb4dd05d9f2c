#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace ostrevane {

// The fixed identities of the desktop the program runs on. The logic reads them from
// here instead of naming one platform's applications. The macOS profile holds the
// reference values the simulated desktop and the conformance tests use; the Linux
// profile maps them onto desktop entries and XDG folders.
struct PlatformProfile {
    // Shown in the diagnostics before the OS version ("macOS", "Linux").
    QString osName;
    // This program's own bundle identifier.
    QString ownBundleID;
    // The file manager: grouped into one row, exempt from quitting, re-opened on activation.
    QString finderBundleID;
    // Where installed applications live ("/Applications/") and mounted disk images ("/Volumes/").
    QString applicationsFolder;
    QString volumesFolder;
    // The ending of an application bundle (".app", ".desktop").
    QString appBundleExtension;
    // Ignored in the switcher while the user has never edited the ignore list.
    QStringList defaultIgnoredAppBundleIDs;
    // Never quit from the switcher.
    QStringList protectedBundleIDs;
    // Known to survive a force quit: never offered for quitting.
    QStringList forceQuitIneffectiveBundleIDs;
    // Media players told to pause before they are killed: bundle id to player name.
    QMap<QString, QString> mediaAppNames;
    // Prefix of the address that opens a privacy pane; the anchor follows directly.
    QString privacyPaneURLPrefix;

    static const PlatformProfile& macOS();
};

} // namespace ostrevane
