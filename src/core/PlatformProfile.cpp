#include "core/PlatformProfile.h"

namespace ostrevane {

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
    };
    return profile;
}

} // namespace ostrevane
