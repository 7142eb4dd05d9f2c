#include "core/sources/DesktopEntryReader.h"

#include "core/sources/AppRegistry.h"
#include "core/shell/PlatformProfile.h"
#include "platform/sim/ManualClock.h"
#include "platform/sim/ManualDispatcher.h"
#include "platform/sim/SimWorkspace.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace ostrevane {
namespace {

using namespace Qt::StringLiterals;
using test::ScopedEnvironment;

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
    const QString path = apps.write(u"files.desktop"_s, u"Name=Files\nName[zh_CN]=文件\nName[zh]=文件夹\n"_s);
    const std::optional<BundleReader::Info> info = DesktopEntryReader({apps.folder()}, {}, "zh_CN.UTF-8").read(path);
    ASSERT_TRUE(info);
    EXPECT_EQ((std::vector{info->displayName, info->name}), (std::vector<std::optional<QString>>{u"文件"_s, u"Files"_s}));
}

TEST(DesktopEntryReader, ReadsEntriesThisDesktopDoesNotShowAsNotShown)
{
    EntryFolder apps;
    const DesktopEntryReader reader({apps.folder()}, {u"XFCE"_s}, QString());
    for (const QString& keys : {u"Name=A\nNoDisplay=true\n"_s, u"Name=A\nHidden=true\n"_s, u"Name=A\nOnlyShowIn=GNOME;\n"_s}) {
        const std::optional<BundleReader::Info> info = reader.read(apps.write(u"entry.desktop"_s, keys));
        ASSERT_TRUE(info) << keys.toStdString();
        EXPECT_FALSE(info->shown) << keys.toStdString();
    }
    EXPECT_TRUE(reader.read(apps.write(u"entry.desktop"_s, u"Name=A\n"_s))->shown);
}

// The user's copy of an entry decides, even one that only hides the application; entries
// in subfolders count, sorted by name whatever its case, and a link is never walked into.
TEST(DesktopEntryReader, AUsersHiddenOrNoDisplayEntryMasksTheSystemEntryOfTheSameId)
{
    EntryFolder user, system;
    system.write(u"editor.desktop"_s, u"Name=Editor\nExec=editor\n"_s);
    system.write(u"viewer.desktop"_s, u"Name=Viewer\nExec=viewer\n"_s);
    system.write(u"player.desktop"_s, u"Name=Player\nExec=player\n"_s);
    system.write(u"kde/okular.desktop"_s, u"Name=okular\nExec=okular\n"_s);
    ASSERT_TRUE(QFile::link(system.folder(), system.folder() + u"/loop"_s));
    user.write(u"editor.desktop"_s, u"Name=Editor\nExec=editor\nHidden=true\n"_s);
    user.write(u"viewer.desktop"_s, u"Name=Viewer\nExec=viewer\nNoDisplay=true\n"_s);
    PlatformProfile profile = PlatformProfile::linuxDesktop({u"files"_s, {user.folder(), system.folder()}});
    ManualClock clock;
    ManualDispatcher dispatcher(clock);
    SimWorkspace workspace(dispatcher);
    const DesktopEntryReader reader(profile.scanRoots, {}, QString());

    QStringList ids;
    for (const AppItem& app : AppEnumerator(profile, reader, workspace).scan())
        ids << app.bundleID;
    EXPECT_EQ(ids, (QStringList{u"kde-okular"_s, u"player"_s}));
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

TEST(DesktopEntryReader, TurnsExecIntoAProgramAndArguments)
{
    const DesktopEntryReader::ExecFields entry{u"accessories-text-editor"_s, u"Text Editor"_s,
                                               u"/usr/share/applications/editor.desktop"_s};
    const struct {
        QString exec;
        DesktopEntryReader::ExecFields fields;
        std::optional<QStringList> command;
    } rows[] = {
        // Nothing to open: the file and address codes go, with a word they make up alone.
        {u"app --open=%F %U"_s, {}, QStringList{"app", "--open="}},
        // The entry's own fields: the icon as two arguments, a name with spaces as one.
        {u"editor %i --title=%c --from %k"_s, entry,
         QStringList{"editor", "--icon", "accessories-text-editor", "--title=Text Editor", "--from",
                     "/usr/share/applications/editor.desktop"}},
        {u"app %d %D %n %N %v %m file"_s, entry, QStringList{"app", "file"}}, // deprecated codes
        // Quoting, escapes and literal percent signs.
        {u"\"/opt/My App/run\" -x"_s, {}, QStringList{"/opt/My App/run", "-x"}},
        {u"sh -c \"echo \\\"hi\\\" \\$HOME\""_s, {}, QStringList{"sh", "-c", "echo \"hi\" $HOME"}},
        {u"printf 100%%"_s, {}, QStringList{"printf", "100%"}},
        {u"rm -rf; reboot"_s, {}, QStringList{"rm", "-rf;", "reboot"}},
        // Invalid lines start nothing: an unknown field code, a lone percent sign, open quotes.
        {u"app %x"_s, entry, std::nullopt},
        {u"app 100%"_s, {}, std::nullopt},
        {u"\"unterminated"_s, {}, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DesktopEntryReader::command(row.exec, row.fields), row.command) << row.exec.toStdString();
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

TEST(LinuxProfile, ReadsApplicationFoldersFromTheXdgDataDirectoriesAndTheUsualFileManagerWithoutAHandler)
{
    QTemporaryDir home, config, first, second;
    ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", home.path().toUtf8());
    environment.set("XDG_DATA_DIRS", (first.path() + ':' + second.path()).toUtf8());
    environment.set("XDG_CONFIG_HOME", config.path().toUtf8());
    environment.set("XDG_CONFIG_DIRS", config.path().toUtf8());

    const PlatformProfile::LinuxFacts facts = PlatformProfile::readLinuxFacts();

    EXPECT_EQ(facts.applicationFolders, (QStringList{home.path() + "/applications", first.path() + "/applications",
                                                     second.path() + "/applications"}));
    EXPECT_EQ(facts.fileManagerID, u"org.gnome.Nautilus"_s);
}

// The desktop's own list before the plain one, the first installed entry of a list, the
// default section only; the caches when no list names one.
TEST(LinuxProfile, TakesTheFileManagerFromTheDefaultApplicationListsThenTheCaches)
{
    QTemporaryDir config;
    EntryFolder data;
    ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", config.path().toUtf8());
    environment.set("XDG_CONFIG_DIRS", config.path().toUtf8());
    environment.set("XDG_DATA_HOME", QFileInfo(data.folder()).path().toUtf8());
    environment.set("XDG_DATA_DIRS", QFileInfo(data.folder()).path().toUtf8());
    environment.set("XDG_MENU_PREFIX", QByteArray());
    for (const QString& installed : {u"thunar.desktop"_s, u"nemo.desktop"_s, u"caja.desktop"_s})
        data.write(installed, u"Name=Files\n"_s);
    const auto writeList = [&](const QString& name, const QString& text) {
        QFile file(config.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    };
    writeList(u"xfce-mimeapps.list"_s,
              u"[Default Applications]\ninode/directory = gone.desktop;thunar.desktop;\n"_s);
    writeList(u"mimeapps.list"_s, u"[Added Associations]\ninode/directory=caja.desktop;\n"
                                  u"[Default Applications]\ntext/plain=caja.desktop\ninode/directory=nemo.desktop\n"_s);
    data.write(u"mimeinfo.cache"_s, u"inode/directory=pcmanfm.desktop;caja.desktop;\n"_s, u"[MIME Cache]\n"_s);

    environment.set("XDG_CURRENT_DESKTOP", "ubuntu:XFCE");
    EXPECT_EQ(PlatformProfile::readLinuxFacts().fileManagerID, u"thunar"_s);
    environment.set("XDG_CURRENT_DESKTOP", QByteArray());
    EXPECT_EQ(PlatformProfile::readLinuxFacts().fileManagerID, u"nemo"_s);
    QFile::remove(config.filePath(u"mimeapps.list"_s));
    EXPECT_EQ(PlatformProfile::readLinuxFacts().fileManagerID, u"pcmanfm"_s);
}

} // namespace
} // namespace ostrevane
