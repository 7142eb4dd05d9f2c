#include "core/DesktopEntryReader.h"

#include "core/PlatformProfile.h"
#include "platform/sim/ManualDispatcher.h"
#include "platform/sim/SimWorkspace.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace ostrevane {
namespace {

// An applications folder in a temporary directory, with entries written by the test.
class EntryFolder {
public:
    EntryFolder() { QDir(m_dir.path()).mkpath(QStringLiteral("applications")); }

    QString folder() const { return m_dir.filePath(QStringLiteral("applications")); }

    QString write(const QString& relativePath, const QString& keys)
    {
        const QString path = folder() + QLatin1Char('/') + relativePath;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(keys.toUtf8());
        return path;
    }

private:
    QTemporaryDir m_dir;
};

const QString application = QStringLiteral("[Desktop Entry]\nType=Application\n");

TEST(DesktopEntryReader, PicksTheMostSpecificTranslatedName)
{
    EntryFolder apps;
    const QString path = apps.write(QStringLiteral("files.desktop"),
                                    application + QStringLiteral("Name=Files\nName[zh_CN]=文件\nName[zh]=文件夹\n"
                                                                 "Name[sr@latin]=Datoteke\n"));
    const struct {
        const char* locale;
        QString name;
    } rows[] = {
        {"zh_CN.UTF-8", QStringLiteral("文件")},
        {"zh_TW.UTF-8", QStringLiteral("文件夹")},
        {"sr_RS@latin", QStringLiteral("Datoteke")},
        {"de_DE.UTF-8", QStringLiteral("Files")},
        {"C.UTF-8", QStringLiteral("Files")},
    };
    for (const auto& row : rows) {
        const DesktopEntryReader reader({apps.folder()}, {}, QString::fromLatin1(row.locale));
        const std::optional<BundleReader::Info> info = reader.read(path);
        ASSERT_TRUE(info) << row.locale;
        EXPECT_EQ(info->displayName, row.name) << row.locale;
        EXPECT_EQ(info->name, QStringLiteral("Files")) << row.locale;
        EXPECT_EQ(info->bundleID, QStringLiteral("files")) << row.locale;
    }
}

TEST(DesktopEntryReader, LeavesOutEntriesThisDesktopDoesNotShow)
{
    EntryFolder apps;
    const struct {
        const char* name;
        QString keys;
        bool shown;
    } rows[] = {
        {"plain", application + QStringLiteral("Name=Plain\n"), true},
        {"no display", application + QStringLiteral("Name=A\nNoDisplay=true\n"), false},
        {"hidden", application + QStringLiteral("Name=A\nHidden=true\n"), false},
        {"a link", QStringLiteral("[Desktop Entry]\nType=Link\nName=A\nURL=https://example.com\n"), false},
        {"only on GNOME", application + QStringLiteral("Name=A\nOnlyShowIn=GNOME;\n"), false},
        {"only on XFCE", application + QStringLiteral("Name=A\nOnlyShowIn=GNOME;XFCE;\n"), true},
        {"not on XFCE", application + QStringLiteral("Name=A\nNotShowIn=XFCE;\n"), false},
        {"program missing", application + QStringLiteral("Name=A\nTryExec=/nonexistent/program\n"), false},
        {"another group first", QStringLiteral("[Other]\nType=Application\nName=A\n"), false},
    };
    const DesktopEntryReader reader({apps.folder()}, {QStringLiteral("XFCE")}, QString());
    for (const auto& row : rows) {
        const QString path = apps.write(QStringLiteral("entry.desktop"), row.keys);
        EXPECT_EQ(reader.read(path).has_value(), row.shown) << row.name;
    }
}

TEST(DesktopEntryReader, CountsTheDesktopIdFromTheDeepestApplicationsFolder)
{
    EntryFolder apps;
    const QString nested = apps.write(QStringLiteral("kde/okular.desktop"), application + QStringLiteral("Name=Okular\n"));
    const QString inner = apps.write(QStringLiteral("kde/inner/viewer.desktop"), application + QStringLiteral("Name=V\n"));
    const DesktopEntryReader reader({apps.folder(), apps.folder() + QStringLiteral("/kde/inner")}, {}, QString());

    EXPECT_EQ(reader.desktopID(nested), QStringLiteral("kde-okular"));
    EXPECT_EQ(reader.desktopID(inner), QStringLiteral("viewer"));
    EXPECT_EQ(reader.desktopID(QStringLiteral("/elsewhere/org.example.Tool.desktop")), QStringLiteral("org.example.Tool"));
}

TEST(DesktopEntryReader, TurnsExecIntoAProgramAndArgumentsWithoutFieldCodes)
{
    const struct {
        QString exec;
        std::optional<QStringList> command;
    } rows[] = {
        {QStringLiteral("xterm"), QStringList{QStringLiteral("xterm")}},
        {QStringLiteral("firefox %u"), QStringList{QStringLiteral("firefox")}},
        {QStringLiteral("app --open=%F --icon %i"), QStringList{QStringLiteral("app"), QStringLiteral("--open="),
                                                                 QStringLiteral("--icon")}},
        {QStringLiteral("\"/opt/My App/run\" -x"), QStringList{QStringLiteral("/opt/My App/run"), QStringLiteral("-x")}},
        {QStringLiteral("sh -c \"echo \\\"hi\\\" \\$HOME\""),
         QStringList{QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("echo \"hi\" $HOME")}},
        {QStringLiteral("printf 100%%"), QStringList{QStringLiteral("printf"), QStringLiteral("100%")}},
        {QStringLiteral("tool \"\""), QStringList{QStringLiteral("tool"), QString()}},
        {QStringLiteral("rm -rf; reboot"), QStringList{QStringLiteral("rm"), QStringLiteral("-rf;"), QStringLiteral("reboot")}},
        {QStringLiteral("\"unterminated"), std::nullopt},
        {QStringLiteral("%U"), std::nullopt},
        {QString(), std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DesktopEntryReader::command(row.exec), row.command) << row.exec.toStdString();
}

TEST(DesktopEntryReader, UndoesStringEscapesBeforeTheExecQuoting)
{
    EntryFolder apps;
    const QString path = apps.write(QStringLiteral("echo.desktop"),
                                    application + QStringLiteral("Name=Echo\\sTool\nExec=sh -c \"echo \\\\\"a\\\\\"\"\n"));
    const DesktopEntryReader reader({apps.folder()}, {}, QString());

    const std::optional<DesktopEntry> entry = reader.parse(path);

    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, QStringLiteral("Echo Tool"));
    EXPECT_EQ(DesktopEntryReader::command(entry->exec),
              (QStringList{QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("echo \"a\"")}));
}

TEST(DesktopEntryReader, RegistryScanOfTheLinuxProfileKeepsTheUsersOwnCopy)
{
    EntryFolder user, system;
    user.write(QStringLiteral("editor.desktop"), application + QStringLiteral("Name=My Editor\n"));
    system.write(QStringLiteral("editor.desktop"), application + QStringLiteral("Name=Editor\n"));
    system.write(QStringLiteral("viewer.desktop"), application + QStringLiteral("Name=Viewer\n"));
    system.write(QStringLiteral("settings.desktop"), application + QStringLiteral("Name=Settings\nNoDisplay=true\n"));
    const PlatformProfile profile =
        PlatformProfile::linuxDesktop({QStringLiteral("org.example.Files"), {user.folder(), system.folder()}});
    ManualClock clock;
    ManualDispatcher dispatcher(clock);
    SimWorkspace workspace(dispatcher);
    const AppEnumerator enumerator(profile, BundleReader::forProfile(profile), workspace);

    const std::vector<AppItem> apps = enumerator.scan();

    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].name, QStringLiteral("My Editor"));
    EXPECT_EQ(apps[0].path, user.folder() + QStringLiteral("/editor.desktop"));
    EXPECT_EQ(apps[1].bundleID, QStringLiteral("viewer"));
    EXPECT_TRUE(enumerator.isUserLaunchable(system.folder() + QStringLiteral("/viewer.desktop")));
}

TEST(LinuxProfile, ReadsApplicationFoldersFromTheXdgDataDirectories)
{
    QTemporaryDir home, first, second;
    const QByteArray savedHome = qgetenv("XDG_DATA_HOME"), savedDirs = qgetenv("XDG_DATA_DIRS"),
                     savedPath = qgetenv("PATH");
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("XDG_DATA_DIRS", (first.path() + QLatin1Char(':') + second.path()).toUtf8());
    qputenv("PATH", home.path().toUtf8()); // no xdg-mime: the usual file manager stands in

    const PlatformProfile::LinuxFacts facts = PlatformProfile::readLinuxFacts();

    qputenv("XDG_DATA_HOME", savedHome);
    qputenv("XDG_DATA_DIRS", savedDirs);
    qputenv("PATH", savedPath);
    EXPECT_EQ(facts.applicationFolders,
              (QStringList{home.path() + QStringLiteral("/applications"), first.path() + QStringLiteral("/applications"),
                           second.path() + QStringLiteral("/applications")}));
    EXPECT_EQ(facts.fileManagerID, QStringLiteral("org.gnome.Nautilus"));
}

TEST(LinuxProfile, MapsTheFixedIdentitiesOntoDesktopIds)
{
    const PlatformProfile profile = PlatformProfile::linuxDesktop(
        {QStringLiteral("org.example.Files"), {QStringLiteral("/home/u/.local/share/applications"),
                                               QStringLiteral("/usr/share/applications")}});

    EXPECT_EQ(profile.osName, QStringLiteral("Linux"));
    EXPECT_EQ(profile.appBundleExtension, QStringLiteral(".desktop"));
    EXPECT_EQ(profile.finderBundleID, QStringLiteral("org.example.Files"));
    EXPECT_EQ(profile.finderApplicationPath, QStringLiteral("/home/u/.local/share/applications/org.example.Files.desktop"));
    EXPECT_EQ(profile.groupedBundleIDs, QStringList{QStringLiteral("org.example.Files")});
    EXPECT_TRUE(profile.protectedBundleIDs.contains(QStringLiteral("org.example.Files")));
    EXPECT_TRUE(profile.protectedBundleIDs.contains(QStringLiteral("com.local.ostrevane")));
    EXPECT_EQ(profile.scanRoots.front(), QStringLiteral("/home/u/.local/share/applications"));
    ASSERT_EQ(profile.browsers.size(), 6u);
    const BrowserSpec* chromium = profile.browser(QStringLiteral("chromium"));
    ASSERT_TRUE(chromium);
    EXPECT_EQ(chromium->bundleNames, QStringList{QStringLiteral("chromium.desktop")});
    EXPECT_TRUE(chromium->ownerNames.contains(QStringLiteral("Chromium")));
    EXPECT_EQ(chromium->family, BrowserSpec::Family::chromium);
}

} // namespace
} // namespace ostrevane
