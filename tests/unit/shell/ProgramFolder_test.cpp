#include "core/shell/ProgramFolder.h"

#include "support/ProgramFolderFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

TEST(ProgramFolder, TellsRelocatableFoldersFromPackagesAndBuildFolders)
{
    QTemporaryDir dir;
    const QString folder = makeProgramFolder(dir.path(), "Ostrevane", "1.0");
    EXPECT_EQ(ProgramFolder::containing(folder + "/bin/ostrevane"), folder);
    EXPECT_EQ(ProgramFolder::containing(dir.path() + "/build/src/ostrevane"), QString());
    EXPECT_EQ(ProgramFolder::kind(folder), ProgramFolder::Kind::relocatable);
    EXPECT_EQ(ProgramFolder::kind("/usr"), ProgramFolder::Kind::packageManaged);
    EXPECT_EQ(ProgramFolder::kind("/usr/lib/ostrevane"), ProgramFolder::Kind::packageManaged);
    EXPECT_EQ(ProgramFolder::kind("/usr/local"), ProgramFolder::Kind::other);
}

TEST(ProgramFolder, AFailedUnpackOrAnArchiveWithoutProgramLeavesTheOldCopyRunnable)
{
    QTemporaryDir dir;
    const QString installed = makeProgramFolder(dir.path(), "Ostrevane", "1.0");
    QTemporaryDir source;
    const QString bare = source.path() + "/bare";
    QDir().mkpath(bare + "/bin");
    QTemporaryDir two;
    const QByteArray good = archiveOf(makeProgramFolder(two.path(), "Ostrevane", "2.0"));

    const QByteArray archives[] = {
        good.left(good.size() / 2),      // cut short
        archiveOf(bare),                 // a folder without the program
        archiveOf(source.path()),        // two folders: not one program folder
    };
    for (const QByteArray& archive : archives) {
        QString error;
        EXPECT_FALSE(ProgramFolder::installArchive(archive, installed, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(runProgramFolder(installed), "1.0");
        EXPECT_EQ(entries(dir.path()), QStringList{"Ostrevane"});
    }
}

TEST(ProgramFolder, DesktopEntryNamesTheCopyByAbsolutePathQuotedAsLaunchersRead)
{
    QTemporaryDir dir;
    QString error;
    const QString folder = makeProgramFolder(dir.path() + "/100% \"odd\" $HOME\\x", "Ostrevane", "1.0");
    const QString entry = QString::fromUtf8(ProgramFolder::desktopEntryFor(folder, &error));
    const QString exec = R"(/100%% \\"odd\\" \\$HOME\\\\x/Ostrevane/bin/ostrevane")";
    EXPECT_TRUE(entry.contains("\nExec=\"" + dir.path() + exec + "\n")) << qPrintable(entry);
}
