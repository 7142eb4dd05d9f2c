#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace ostrevane {

// How chords are written: the Mac's glyphs without separators ("⌥⇥", "⌃⌘Space") or the
// words Linux desktops use ("Alt+Tab", "Ctrl+Super+Space", "Esc").
enum class ChordStyle { glyphs, words };

// One supported browser: how it is recognised among running applications and how
// scripts address it.
struct BrowserSpec {
    // How a recorded tab is found again: `chromium` trusts the recorded window and tab
    // positions first; `safari` (Safari, and Firefox on Linux) the address, then the title.
    enum class Family { chromium, safari };

    QString bundleID;
    QString name;            // display name
    QString applicationName; // the name scripts address
    Family family = Family::chromium;
    QStringList bundleNames;     // last path component of the bundle location
    QStringList executableNames; // last path component of the executable
    QStringList localizedNames;
    QStringList ownerNames;      // owner names in the window server's list
    QString iconPath;
};

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
    // The signal a politely quit application still running after the follow-up delay is
    // sent (SIGTERM on Linux, where a close request only closes windows and a tray
    // program lives on); 0 where the polite request is the whole of it.
    int politeQuitSignal = 0;
    // Media players told to pause before they are killed: bundle id to player name.
    QMap<QString, QString> mediaAppNames;
    // Prefix of the address that opens a privacy pane; the anchor follows directly.
    QString privacyPaneURLPrefix;
    // Where the file manager is launched from.
    QString finderApplicationPath;
    // Whether an application that failed to launch is opened once more as a plain
    // address: that launches an application bundle, but shows a desktop entry as text.
    bool retriesFailedLaunchAsPlainOpen = false;
    // Whether bringing a window forward is itself the activation of its application
    // (EWMH: one request does both). Then a window is not preceded by its application,
    // which would make the window manager focus and restack twice, another window first.
    bool raisingAWindowActivatesIt = false;
    // Applications whose windows are gathered into one group row.
    QStringList groupedBundleIDs;
    // Folders scanned for installed applications, in order, and applications always
    // considered after them.
    QStringList scanRoots;
    QStringList extraApplications;
    // The start of the identity a program gets from its windows when no installed
    // application describes it ("x11:" on Linux; empty where every program has one).
    QString windowClassIDPrefix;
    // The supported browsers, in lookup order.
    std::vector<BrowserSpec> browsers;
    // How chords are shown everywhere (footers, tooltips, the guide, logs, diagnostics).
    ChordStyle chordStyle = ChordStyle::glyphs;
    // Whether the desktop has an accessibility permission that the user grants in its
    // settings (the Mac). Without one (X11) the program is trusted once it can reach an
    // EWMH window manager, and nothing offers to open a settings page for it.
    bool hasAccessibilityPermission = true;
    // Texts written for the Mac that name its places, permissions or keys, and what this
    // desktop shows instead (English: both go through Localization). Empty on the Mac.
    std::map<QString, const char*> textCounterparts;

    const BrowserSpec* browser(const QString& bundleID) const;
    // The text this desktop shows for `macText` (the text itself when it has no counterpart).
    const char* text(const char* macText) const;

    static const PlatformProfile& macOS();

    // What the Linux profile takes from the machine.
    struct LinuxFacts {
        // The default file manager's desktop id, without ".desktop".
        QString fileManagerID;
        // The XDG "applications" folders, the user's own first.
        QStringList applicationFolders;
    };
    // The Linux desktop: desktop ids for bundle ids, XDG application folders for scan
    // roots, the handler of folders as the file manager, Chromium-family browsers and Firefox. The
    // facts are read from the machine once, at first use.
    static const PlatformProfile& linuxDesktop();
    static PlatformProfile linuxDesktop(const LinuxFacts& facts);
    static LinuxFacts readLinuxFacts();
};

} // namespace ostrevane
