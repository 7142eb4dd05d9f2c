#include "core/shell/PlatformProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtGlobal>

#include <algorithm>

namespace ostrevane {

namespace {

BrowserSpec chromiumBrowser(const QString& bundleID, const QString& name, const QStringList& shortNames)
{
    return BrowserSpec{
        .bundleID = bundleID,
        .name = name,
        .applicationName = name,
        .family = BrowserSpec::Family::chromium,
        .bundleNames = {name + QStringLiteral(".app")},
        .executableNames = {name},
        .localizedNames = shortNames,
        .ownerNames = shortNames,
        .iconPath = QStringLiteral("/Applications/") + name + QStringLiteral(".app"),
    };
}

std::vector<BrowserSpec> macOSBrowsers()
{
    std::vector<BrowserSpec> browsers{
        chromiumBrowser(QStringLiteral("com.google.Chrome"), QStringLiteral("Google Chrome"),
                        {QStringLiteral("Google Chrome"), QStringLiteral("Chrome")}),
        chromiumBrowser(QStringLiteral("com.microsoft.edgemac"), QStringLiteral("Microsoft Edge"),
                        {QStringLiteral("Microsoft Edge"), QStringLiteral("Edge")}),
        chromiumBrowser(QStringLiteral("com.brave.Browser"), QStringLiteral("Brave Browser"),
                        {QStringLiteral("Brave Browser"), QStringLiteral("Brave")}),
        chromiumBrowser(QStringLiteral("company.thebrowser.Browser"), QStringLiteral("Arc"), {QStringLiteral("Arc")}),
        chromiumBrowser(QStringLiteral("org.chromium.Chromium"), QStringLiteral("Chromium"), {QStringLiteral("Chromium")}),
        chromiumBrowser(QStringLiteral("com.vivaldi.Vivaldi"), QStringLiteral("Vivaldi"), {QStringLiteral("Vivaldi")}),
        chromiumBrowser(QStringLiteral("com.operasoftware.Opera"), QStringLiteral("Opera"), {QStringLiteral("Opera")}),
    };
    BrowserSpec safari = chromiumBrowser(QStringLiteral("com.apple.Safari"), QStringLiteral("Safari"), {QStringLiteral("Safari")});
    safari.family = BrowserSpec::Family::safari;
    browsers.push_back(safari);
    return browsers;
}

// ---- Linux

const QString desktopSuffix = QStringLiteral(".desktop");
// When no handler of folders is registered.
const QString fallbackFileManagerID = QStringLiteral("org.gnome.Nautilus");

BrowserSpec linuxChromiumBrowser(const QString& desktopID, const QString& name, const QStringList& windowClasses,
                                 const QStringList& executables, const QStringList& localizedNames)
{
    return BrowserSpec{
        .bundleID = desktopID,
        .name = name,
        .applicationName = name,
        .family = BrowserSpec::Family::chromium,
        .bundleNames = {desktopID + desktopSuffix},
        .executableNames = executables,
        .localizedNames = localizedNames,
        .ownerNames = windowClasses,
        .iconPath = QStringLiteral("/usr/share/applications/") + desktopID + desktopSuffix,
    };
}

// Firefox selects a tab the way the table's non-Chromium family does: by address, then
// title, and only then by the recorded position.
BrowserSpec firefoxBrowser(const QString& desktopID, const QString& name, const QStringList& windowClasses,
                           const QStringList& executables, const QStringList& localizedNames)
{
    BrowserSpec spec = linuxChromiumBrowser(desktopID, name, windowClasses, executables, localizedNames);
    spec.family = BrowserSpec::Family::safari;
    return spec;
}

std::vector<BrowserSpec> linuxBrowsers()
{
    const auto list = [](std::initializer_list<const char*> items) {
        QStringList result;
        for (const char* item : items)
            result << QString::fromLatin1(item);
        return result;
    };
    return {
        linuxChromiumBrowser(QStringLiteral("google-chrome"), QStringLiteral("Google Chrome"),
                             list({"Google-chrome", "google-chrome"}),
                             list({"chrome", "google-chrome", "google-chrome-stable"}), list({"Google Chrome"})),
        linuxChromiumBrowser(QStringLiteral("microsoft-edge"), QStringLiteral("Microsoft Edge"),
                             list({"Microsoft-edge", "microsoft-edge"}),
                             list({"msedge", "microsoft-edge", "microsoft-edge-stable"}), list({"Microsoft Edge"})),
        linuxChromiumBrowser(QStringLiteral("brave-browser"), QStringLiteral("Brave"),
                             list({"Brave-browser", "brave-browser"}), list({"brave", "brave-browser"}),
                             list({"Brave", "Brave Web Browser"})),
        linuxChromiumBrowser(QStringLiteral("chromium"), QStringLiteral("Chromium"),
                             list({"Chromium", "chromium", "Chromium-browser", "chromium-browser"}),
                             list({"chromium", "chromium-browser"}), list({"Chromium", "Chromium Web Browser"})),
        linuxChromiumBrowser(QStringLiteral("vivaldi-stable"), QStringLiteral("Vivaldi"),
                             list({"Vivaldi-stable", "vivaldi-stable"}), list({"vivaldi", "vivaldi-bin", "vivaldi-stable"}),
                             list({"Vivaldi"})),
        linuxChromiumBrowser(QStringLiteral("opera"), QStringLiteral("Opera"), list({"Opera", "opera"}), list({"opera"}),
                             list({"Opera"})),
        firefoxBrowser(QStringLiteral("firefox"), QStringLiteral("Firefox"), list({"firefox", "Firefox"}),
                       list({"firefox", "firefox-bin"}), list({"Firefox", "Firefox Web Browser"})),
        firefoxBrowser(QStringLiteral("firefox-esr"), QStringLiteral("Firefox ESR"), list({"firefox-esr", "Firefox-esr"}),
                       list({"firefox-esr"}), list({"Firefox ESR"})),
    };
}

// Players told to pause (over MPRIS) before they are killed, by desktop id.
// What a Linux desktop shows for texts that send a Mac user to System Settings, name the
// Accessibility permission or the Option key. X11 has no accessibility permission: what
// the switcher needs is an EWMH window manager on the display.
std::map<QString, const char*> linuxTextCounterparts()
{
    return {
        {QStringLiteral("Enable Accessibility"), QT_TRANSLATE_NOOP("Ostrevane", "Waiting for a Window Manager")},
        {QStringLiteral("Ostrevane needs Accessibility before the shortcut tutorial can work."),
         QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane lists and switches windows through the window manager, and none "
                                        "that follows the EWMH standard runs on this display yet.")},
        {QStringLiteral("Open System Settings."),
         QT_TRANSLATE_NOOP("Ostrevane", "Start a window manager such as Openbox, Xfwm or KWin.")},
        {QStringLiteral("Enable Ostrevane under Privacy & Security → Accessibility."),
         QT_TRANSLATE_NOOP("Ostrevane", "Nothing to allow: Linux has no accessibility permission.")},
        {QStringLiteral("Ostrevane will not open System Settings again after Accessibility is enabled."),
         QT_TRANSLATE_NOOP("Ostrevane", "This page moves on by itself as soon as a window manager runs.")},
        {QStringLiteral("Start with the real shortcut. Hold Option to keep Ostrevane open, then use other keys while "
                        "holding it."),
         QT_TRANSLATE_NOOP("Ostrevane", "Start with the real shortcut. Hold Alt to keep Ostrevane open, then use other "
                                        "keys while holding it.")},
        {QStringLiteral("When the panel appears, keep Option held. Ostrevane will explain the movement and action keys "
                        "there."),
         QT_TRANSLATE_NOOP("Ostrevane", "When the panel appears, keep Alt held. Ostrevane will explain the movement and "
                                        "action keys there.")},
        {QStringLiteral("Hold Option and press Tab"), QT_TRANSLATE_NOOP("Ostrevane", "Hold Alt and press Tab")},
        {QStringLiteral("Hold Option to keep the panel open. Use the keys shown here while holding Option; outside the "
                        "guide, releasing Option opens the highlighted row."),
         QT_TRANSLATE_NOOP("Ostrevane", "Hold Alt to keep the panel open. Use the keys shown here while holding Alt; "
                                        "outside the guide, releasing Alt opens the highlighted row.")},
        {QStringLiteral("Keep holding Option, then use W/S or Tab to move the highlight. A/D enters or leaves groups."),
         QT_TRANSLATE_NOOP("Ostrevane", "Keep holding Alt, then use W/S or Tab to move the highlight. A/D enters or "
                                        "leaves groups.")},
        {QStringLiteral("While holding Option, use A to go back, X to close a tab or window, and Esc to leave without "
                        "opening anything."),
         QT_TRANSLATE_NOOP("Ostrevane", "While holding Alt, use A to go back, X to close a tab or window, and Esc to "
                                        "leave without opening anything.")},
        {QStringLiteral("While holding Option, use Q for Desktop and X to close when a row supports it. Esc closes "
                        "Ostrevane without opening anything."),
         QT_TRANSLATE_NOOP("Ostrevane", "While holding Alt, use Q for Desktop and X to close when a row supports it. "
                                        "Esc closes Ostrevane without opening anything.")},
        {QStringLiteral("Enable Accessibility for Ostrevane in System Settings → Privacy & Security."),
         QT_TRANSLATE_NOOP("Ostrevane", "Start a window manager that follows the EWMH standard: Ostrevane lists "
                                        "windows through it.")},
        // The close chord is filled in (the Mac text names it literally).
        {QStringLiteral("Close (⌥X)"), QT_TRANSLATE_NOOP("Ostrevane", "Close (%@)")},
        // Full tab titles and addresses come from the browser extension on Linux.
        {QStringLiteral("Browser tabs need Automation permission for full titles and URLs."),
         QT_TRANSLATE_NOOP("Ostrevane", "Browser tabs need the Ostrevane browser extension for full titles and addresses.")},
    };
}

QMap<QString, QString> linuxMediaPlayers()
{
    return {{QStringLiteral("org.gnome.Rhythmbox3"), QStringLiteral("Rhythmbox")},
            {QStringLiteral("vlc"), QStringLiteral("VLC")},
            {QStringLiteral("spotify"), QStringLiteral("Spotify")},
            {QStringLiteral("org.gnome.Totem"), QStringLiteral("Videos")},
            {QStringLiteral("org.gnome.Music"), QStringLiteral("Music")},
            {QStringLiteral("org.kde.elisa"), QStringLiteral("Elisa")},
            {QStringLiteral("audacious"), QStringLiteral("Audacious")},
            {QStringLiteral("org.strawberrymusicplayer.strawberry"), QStringLiteral("Strawberry")}};
}

// The folder handler's lists are a few kilobytes; a far larger file is not read.
constexpr qint64 mimeListMaxBytes = 4 * 1024 * 1024;

// The desktop ids a list file gives `mime`, in its order: under `section` only when one
// is named (mimeapps.list), under any group otherwise (defaults.list, mimeinfo.cache).
QStringList handlersIn(const QString& path, const QString& mime, const QString& section = {})
{
    QFile file(path);
    if (file.size() > mimeListMaxBytes || !file.open(QIODevice::ReadOnly))
        return {};
    bool inSection = section.isEmpty();
    for (const QString& raw : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('[')))
            inSection = section.isEmpty() || line == section;
        else if (inSection && equals > 0 && QStringView(line).left(equals).trimmed() == mime)
            return line.mid(equals + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    return {};
}

QString withoutSuffix(QString entryFile)
{
    if (entryFile.endsWith(desktopSuffix))
        entryFile.chop(desktopSuffix.size());
    return entryFile.trimmed();
}

bool isInstalled(const QString& entryFile, const QStringList& folders)
{
    return std::any_of(folders.begin(), folders.end(), [&](const QString& folder) {
        return QFileInfo::exists(folder + QLatin1Char('/') + entryFile.trimmed());
    });
}

// The handler of folders as the XDG default-applications lists name it, read here rather
// than through xdg-mime, a shell script that costs a start 50-100 ms. Order: the desktop's
// own mimeapps.list then the plain one, in the config folders and then the applications
// folders, taking the first listed entry that is installed; then defaults.list and
// mimeinfo.cache.
QString defaultFileManagerID(const QStringList& applicationFolders)
{
    const QString mime = QStringLiteral("inode/directory");
    QStringList desktopPrefixes;
    for (const QString& desktop : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        desktopPrefixes << desktop.toLower() + QLatin1Char('-');
    desktopPrefixes << QString();
    const QStringList listFolders =
        QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation) + applicationFolders;
    for (const QString& folder : listFolders)
        for (const QString& prefix : desktopPrefixes)
            for (const QString& entryFile : handlersIn(folder + QLatin1Char('/') + prefix + QStringLiteral("mimeapps.list"),
                                                       mime, QStringLiteral("[Default Applications]")))
                if (isInstalled(entryFile, applicationFolders))
                    return withoutSuffix(entryFile);
    QStringList menuPrefixes{qEnvironmentVariable("XDG_MENU_PREFIX"), QString()};
    menuPrefixes.removeDuplicates();
    for (const QString& folder : applicationFolders)
        for (const QString& prefix : menuPrefixes)
            for (const QString& name : {QStringLiteral("defaults.list"), QStringLiteral("mimeinfo.cache")})
                if (const QStringList found = handlersIn(folder + QLatin1Char('/') + prefix + name, mime); !found.isEmpty())
                    return withoutSuffix(found.front());
    return fallbackFileManagerID;
}

// The entry file of a desktop id: the first folder that has it, else the user's folder.
QString entryPath(const QString& desktopID, const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QString path = folder + QLatin1Char('/') + desktopID + desktopSuffix;
        if (QFileInfo::exists(path))
            return path;
    }
    return folders.isEmpty() ? QString() : folders.front() + QLatin1Char('/') + desktopID + desktopSuffix;
}

} // namespace

const char* PlatformProfile::text(const char* macText) const
{
    const auto found = textCounterparts.find(QString::fromUtf8(macText));
    return found != textCounterparts.end() ? found->second : macText;
}

const BrowserSpec* PlatformProfile::browser(const QString& bundleID) const
{
    for (const BrowserSpec& spec : browsers)
        if (spec.bundleID == bundleID)
            return &spec;
    return nullptr;
}

const PlatformProfile& PlatformProfile::macOS()
{
    static const PlatformProfile profile{
        .osName = QStringLiteral("macOS"),
        .ownBundleID = QStringLiteral("com.local.ostrevane"),
        .finderBundleID = QStringLiteral("com.apple.finder"),
        .applicationsFolder = QStringLiteral("/Applications/"),
        .volumesFolder = QStringLiteral("/Volumes/"),
        .appBundleExtension = QStringLiteral(".app"),
        .defaultIgnoredAppBundleIDs = {QStringLiteral("com.apple.notificationcenterui"), QStringLiteral("com.apple.dock"),
                                       QStringLiteral("com.apple.controlcenter"), QStringLiteral("com.apple.WindowManager")},
        .protectedBundleIDs = {QStringLiteral("com.local.ostrevane"), QStringLiteral("com.apple.finder"),
                               QStringLiteral("com.apple.dock"), QStringLiteral("com.apple.SystemUIServer"),
                               QStringLiteral("com.apple.loginwindow")},
        .forceQuitIneffectiveBundleIDs = {QStringLiteral("com.google.GeminiMacOS"),
                                          QStringLiteral("com.install4j.5557-0173-2810-0000.22")},
        .mediaAppNames = {{QStringLiteral("com.apple.Music"), QStringLiteral("Music")},
                          {QStringLiteral("com.apple.podcasts"), QStringLiteral("Podcasts")},
                          {QStringLiteral("com.apple.TV"), QStringLiteral("TV")}},
        .privacyPaneURLPrefix = QStringLiteral("x-apple.systempreferences:com.apple.preference.security?"),
        .finderApplicationPath = QStringLiteral("/System/Library/CoreServices/Finder.app"),
        .retriesFailedLaunchAsPlainOpen = true,
        .groupedBundleIDs = {QStringLiteral("com.apple.finder")},
        .scanRoots = {QStringLiteral("/Applications"), QStringLiteral("/System/Applications"),
                      QStringLiteral("/System/Applications/Utilities"), QStringLiteral("/Applications/Utilities"),
                      QDir::homePath() + QStringLiteral("/Applications")},
        .extraApplications = {QStringLiteral("/System/Library/CoreServices/Finder.app"),
                              QStringLiteral("/Applications/Safari.app"),
                              QStringLiteral("/System/Volumes/Preboot/Cryptexes/App/System/Applications/Safari.app")},
        .browsers = macOSBrowsers(),
    };
    return profile;
}

PlatformProfile::LinuxFacts PlatformProfile::readLinuxFacts()
{
    LinuxFacts facts;
    // The user's folder first, as XDG orders them; it stands for the home "Applications".
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        if (!facts.applicationFolders.contains(folder))
            facts.applicationFolders << folder;
    facts.fileManagerID = defaultFileManagerID(facts.applicationFolders);
    return facts;
}

const PlatformProfile& PlatformProfile::linuxDesktop()
{
    static const PlatformProfile profile = linuxDesktop(readLinuxFacts());
    return profile;
}

PlatformProfile PlatformProfile::linuxDesktop(const LinuxFacts& facts)
{
    const QString ownID = QStringLiteral("com.local.ostrevane");
    const QString& fileManager = facts.fileManagerID;
    const QStringList& folders = facts.applicationFolders;
    return PlatformProfile{
        .osName = QStringLiteral("Linux"),
        .ownBundleID = ownID,
        .finderBundleID = fileManager,
        .applicationsFolder = folders.isEmpty() ? QString() : folders.front() + QLatin1Char('/'),
        .volumesFolder = QStringLiteral("/media/"),
        .appBundleExtension = desktopSuffix,
        // Panels and docks: part of the desktop, not applications to switch to.
        .defaultIgnoredAppBundleIDs = {QStringLiteral("plank"), QStringLiteral("tint2"), QStringLiteral("cairo-dock"),
                                       QStringLiteral("xfce4-panel"), QStringLiteral("lxqt-panel"),
                                       QStringLiteral("mate-panel"), QStringLiteral("org.kde.plasmashell"),
                                       QStringLiteral("latte-dock")},
        // This program, the file manager, window managers and desktop shell components.
        .protectedBundleIDs = {ownID, fileManager, QStringLiteral("openbox"), QStringLiteral("org.gnome.Shell"),
                               QStringLiteral("org.kde.plasmashell"), QStringLiteral("org.kde.kwin"),
                               QStringLiteral("xfwm4"), QStringLiteral("xfdesktop"), QStringLiteral("xfce4-panel"),
                               QStringLiteral("xfce4-session"), QStringLiteral("marco"), QStringLiteral("mate-panel"),
                               QStringLiteral("lxqt-panel"), QStringLiteral("lxpanel"),
                               QStringLiteral("pcmanfm-desktop")},
        .forceQuitIneffectiveBundleIDs = {},
        .politeQuitSignal = 15, // SIGTERM
        .mediaAppNames = linuxMediaPlayers(),
        // No settings pane to open by address.
        .privacyPaneURLPrefix = QString(),
        .finderApplicationPath = entryPath(fileManager, folders),
        .retriesFailedLaunchAsPlainOpen = false,
        .raisingAWindowActivatesIt = true,
        .groupedBundleIDs = {fileManager},
        .scanRoots = folders,
        .extraApplications = {},
        .windowClassIDPrefix = QStringLiteral("x11:"),
        .browsers = linuxBrowsers(),
        .chordStyle = ChordStyle::words,
        .hasAccessibilityPermission = false,
        .textCounterparts = linuxTextCounterparts(),
    };
}

} // namespace ostrevane
