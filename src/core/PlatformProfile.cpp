#include "core/PlatformProfile.h"

#include <QDir>

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

} // namespace

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

} // namespace ostrevane
