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

using namespace Qt::StringLiterals;

// An applications folder in a temporary directory, with entries written by the test.
class EntryFolder {
public:
    EntryFolder() { QDir(m_dir.path()).mkpath(u"applications"_s); }

    QString folder() const { return m_dir.filePath(u"applications"_s); }

    // Writes an application entry with `keys` after its group header and type.
    QString write(const QString& relativePath, const QString& keys, const QString& head = application)
    {
        const QString path = folder() + '/' + relativePath;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write((head + keys).toUtf8());
        return path;
    }

    static inline const QString application = u"[Desktop Entry]\nType=Application\n"_s;

private:
    QTemporaryDir m_dir;
};

TEST(DesktopEntryReader, PicksTheMostSpecificTranslatedName)
{
    EntryFolder apps;
    const QString path =
        apps.write(u"files.desktop"_s, u"Name=Files\nName[zh_CN]=文件\nName[zh]=文件夹\nName[sr@latin]=Datoteke\n"_s);
    const std::pair<const char*, QString> rows[] = {
        {"zh_CN.UTF-8", u"文件"_s}, {"zh_TW.UTF-8", u"文件夹"_s}, {"sr_RS@latin", u"Datoteke"_s},
        {"de_DE.UTF-8", u"Files"_s}, {"C.UTF-8", u"Files"_s},
    };
    for (const auto& [locale, name] : rows) {
        const std::optional<BundleReader::Info> info = DesktopEntryReader({apps.folder()}, {}, locale).read(path);
        ASSERT_TRUE(info) << locale;
        EXPECT_EQ((std::vector{info->displayName, info->name, info->bundleID}),
                  (std::vector<std::optional<QString>>{name, u"Files"_s, u"files"_s}))
            << locale;
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
        {"plain", "Name=Plain\n", true},
        {"no display", "Name=A\nNoDisplay=true\n", false},
        {"hidden", "Name=A\nHidden=true\n", false},
        {"only on GNOME", "Name=A\nOnlyShowIn=GNOME;\n", false},
        {"only on XFCE", "Name=A\nOnlyShowIn=GNOME;XFCE;\n", true},
        {"not on XFCE", "Name=A\nNotShowIn=XFCE;\n", false},
        {"program missing", "Name=A\nTryExec=/nonexistent/program\n", false},
    };
    const DesktopEntryReader reader({apps.folder()}, {u"XFCE"_s}, QString());
    for (const auto& row : rows)
        EXPECT_EQ(reader.read(apps.write(u"entry.desktop"_s, row.keys)).has_value(), row.shown) << row.name;
    EXPECT_FALSE(reader.read(apps.write(u"link.desktop"_s, "Type=Link\nName=A\nURL=https://example.com\n",
                                        "[Desktop Entry]\n")));
    EXPECT_FALSE(reader.read(apps.write(u"other.desktop"_s, "Type=Application\nName=A\n", "[Other]\n")));
}

TEST(DesktopEntryReader, CountsTheDesktopIdFromTheDeepestApplicationsFolder)
{
    EntryFolder apps;
    const QString nested = apps.write(u"kde/okular.desktop"_s, u"Name=Okular\n"_s);
    const QString inner = apps.write(u"kde/inner/viewer.desktop"_s, u"Name=V\n"_s);
    const DesktopEntryReader reader({apps.folder(), apps.folder() + u"/kde/inner"_s}, {}, QString());

    EXPECT_EQ((QStringList{reader.desktopID(nested), reader.desktopID(inner),
                           reader.desktopID(u"/elsewhere/org.example.Tool.desktop"_s)}),
              (QStringList{"kde-okular", "viewer", "org.example.Tool"}));
}

TEST(DesktopEntryReader, TurnsExecIntoAProgramAndArgumentsWithoutFieldCodes)
{
    const std::pair<QString, std::optional<QStringList>> rows[] = {
        {u"xterm"_s, QStringList{"xterm"}},
        {u"firefox %u"_s, QStringList{"firefox"}},
        {u"app --open=%F --icon %i"_s, QStringList{"app", "--open=", "--icon"}},
        {u"\"/opt/My App/run\" -x"_s, QStringList{"/opt/My App/run", "-x"}},
        {u"sh -c \"echo \\\"hi\\\" \\$HOME\""_s, QStringList{"sh", "-c", "echo \"hi\" $HOME"}},
        {u"printf 100%%"_s, QStringList{"printf", "100%"}},
        {u"tool \"\""_s, QStringList{"tool", ""}},
        {u"rm -rf; reboot"_s, QStringList{"rm", "-rf;", "reboot"}},
        {u"\"unterminated"_s, std::nullopt},
        {u"%U"_s, std::nullopt},
        {QString(), std::nullopt},
    };
    for (const auto& [exec, command] : rows)
        EXPECT_EQ(DesktopEntryReader::command(exec), command) << exec.toStdString();
}

TEST(DesktopEntryReader, UndoesStringEscapesBeforeTheExecQuoting)
{
    EntryFolder apps;
    const QString path = apps.write(u"echo.desktop"_s, u"Name=Echo\\sTool\nExec=sh -c \"echo \\\\\"a\\\\\"\"\n"_s);
    const std::optional<DesktopEntry> entry = DesktopEntryReader({apps.folder()}, {}, QString()).parse(path);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, u"Echo Tool"_s);
    EXPECT_EQ(DesktopEntryReader::command(entry->exec), (QStringList{"sh", "-c", "echo \"a\""}));
}

TEST(DesktopEntryReader, RegistryScanOfTheLinuxProfileKeepsTheUsersOwnCopy)
{
    EntryFolder user, system;
    user.write(u"editor.desktop"_s, u"Name=My Editor\n"_s);
    system.write(u"editor.desktop"_s, u"Name=Editor\n"_s);
    system.write(u"viewer.desktop"_s, u"Name=Viewer\n"_s);
    system.write(u"settings.desktop"_s, u"Name=Settings\nNoDisplay=true\n"_s);
    const PlatformProfile profile = PlatformProfile::linuxDesktop({u"org.example.Files"_s, {user.folder(), system.folder()}});
    ManualClock clock;
    ManualDispatcher dispatcher(clock);
    SimWorkspace workspace(dispatcher);
    const AppEnumerator enumerator(profile, BundleReader::forProfile(profile), workspace);

    QStringList found;
    for (const AppItem& app : enumerator.scan())
        found << app.bundleID + ' ' + app.name + ' ' + app.path;
    EXPECT_EQ(found, (QStringList{"editor My Editor " + user.folder() + "/editor.desktop",
                                  "viewer Viewer " + system.folder() + "/viewer.desktop"}));
    EXPECT_TRUE(enumerator.isUserLaunchable(system.folder() + u"/viewer.desktop"_s));
}

TEST(LinuxProfile, ReadsApplicationFoldersFromTheXdgDataDirectoriesAndNamesTheFileManagerAfterThem)
{
    QTemporaryDir home, first, second;
    const QByteArray savedHome = qgetenv("XDG_DATA_HOME"), savedDirs = qgetenv("XDG_DATA_DIRS"),
                     savedPath = qgetenv("PATH");
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("XDG_DATA_DIRS", (first.path() + ':' + second.path()).toUtf8());
    qputenv("PATH", home.path().toUtf8()); // no xdg-mime: the usual file manager stands in

    const PlatformProfile::LinuxFacts facts = PlatformProfile::readLinuxFacts();

    qputenv("XDG_DATA_HOME", savedHome);
    qputenv("XDG_DATA_DIRS", savedDirs);
    qputenv("PATH", savedPath);
    EXPECT_EQ(facts.applicationFolders, (QStringList{home.path() + "/applications", first.path() + "/applications",
                                                     second.path() + "/applications"}));
    EXPECT_EQ(facts.fileManagerID, u"org.gnome.Nautilus"_s);

    const PlatformProfile profile = PlatformProfile::linuxDesktop(
        {u"org.example.Files"_s, {u"/home/u/.local/share/applications"_s, u"/usr/share/applications"_s}});
    EXPECT_EQ(profile.finderApplicationPath, u"/home/u/.local/share/applications/org.example.Files.desktop"_s);
    EXPECT_EQ(profile.groupedBundleIDs, QStringList{"org.example.Files"});
    EXPECT_TRUE(profile.protectedBundleIDs.contains(u"org.example.Files"_s));
}

} // namespace
} // namespace ostrevane
