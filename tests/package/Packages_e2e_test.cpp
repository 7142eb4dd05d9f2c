// The packages as people get them: cpack builds the .deb and the relocatable archive from
// this build; the .deb is unpacked into a temporary root and the archive into a folder
// that then moves, and each copy is started in its test panel mode on a private X server.
#include "../e2e/E2eDesktop.h"
#include "platform/qt/NetworkModule.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ostrevane::e2e;

namespace {

constexpr Timeout panelTimeout = 15s;
const QString selectedPrefix = QStringLiteral("Ostrevane test panel selected: ");

struct ToolRun {
    int exitCode = -1;
    QString output; // standard output and error
};

ToolRun run(const QString& program, const QStringList& arguments, int timeoutMs = 120000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {-1, QStringLiteral("%1 did not finish").arg(program)};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAll())};
}

// The packages, built once for the suite.
struct Packages {
    QTemporaryDir dir;
    QString deb;
    QString archive;
    QString failure;

    Packages()
    {
        const ToolRun cpack = run(QStringLiteral(OSTREVANE_CPACK),
                              {QStringLiteral("--config"), QStringLiteral(OSTREVANE_BUILD_DIR "/CPackConfig.cmake"),
                               QStringLiteral("-B"), dir.path()});
        const QStringList debs = QDir(dir.path()).entryList({QStringLiteral("*.deb")});
        const QStringList archives = QDir(dir.path()).entryList({QStringLiteral("*.tar.gz")});
        if (cpack.exitCode != 0 || debs.size() != 1 || archives.size() != 1) {
            failure = QStringLiteral("cpack failed:\n") + cpack.output;
            return;
        }
        deb = dir.filePath(debs.front());
        archive = dir.filePath(archives.front());
    }
};

class PackagesTest : public E2eSuite {
protected:
    static void SetUpTestSuite()
    {
        E2eSuite::SetUpTestSuite();
        packages = new Packages;
    }
    static void TearDownTestSuite()
    {
        delete packages;
        packages = nullptr;
        E2eSuite::TearDownTestSuite();
    }
    void SetUp() override
    {
        E2eSuite::SetUp();
        ASSERT_TRUE(packages->failure.isEmpty()) << packages->failure.toStdString();
    }
    // Starts `binary` in its test panel mode and opens the top row, as a person would.
    void startsAndOpensTheTopRow(const QString& binary)
    {
        app = desktop->startTestPanel(QStringLiteral("top"), binary);
        ASSERT_TRUE(desktop->waitForKeyboardHeldBy(app->pid(), panelTimeout))
            << "the panel did not appear; the program: " << app->status().toStdString();
        keys({QStringLiteral("Return"), QStringLiteral("Return")});
        EXPECT_EQ(app->waitForLine(selectedPrefix, 5s), selectedPrefix + QStringLiteral("Google Chrome"));
    }

    static Packages* packages;
};

Packages* PackagesTest::packages = nullptr;

QStringList filesUnder(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(root.size() + 1);
    files.sort();
    return files;
}

} // namespace

// Each test process builds the packages anew, so the .deb is checked and unpacked in one.
TEST_F(PackagesTest, TheDebianPackagePassesLintianDependsOnWhatTheProgramLoadsAndInstallsWhatItNeeds)
{
    const ToolRun lintian = run(QStringLiteral("lintian"), {QStringLiteral("--fail-on"), QStringLiteral("error"),
                                                         QStringLiteral("--tag-display-limit"), QStringLiteral("0"), packages->deb});
    EXPECT_EQ(lintian.exitCode, 0) << lintian.output.toStdString();
    const ToolRun depends = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), packages->deb, QStringLiteral("Depends")});
    for (const char* package : {"qt6-qpa-plugins", "libqt6widgets6", "libqt6network6", "libplist3", "libssl3", "libc6"})
        EXPECT_TRUE(depends.output.contains(QLatin1String(package))) << package << " in " << depends.output.toStdString();

    QTemporaryDir root;
    ASSERT_EQ(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), packages->deb, root.path()}).exitCode, 0);
    const QStringList files = filesUnder(root.path());
    for (const char* file : {"usr/bin/ostrevane", "usr/share/applications/com.local.ostrevane.desktop",
                             "usr/share/metainfo/com.local.ostrevane.metainfo.xml",
                             "usr/share/icons/hicolor/scalable/apps/com.local.ostrevane.svg",
                             "usr/share/doc/ostrevane/copyright", "usr/lib/ostrevane/ostrevane-connector",
                             "usr/share/ostrevane/browser-extension/manifest.json"})
        EXPECT_TRUE(files.contains(QLatin1String(file))) << file;
    EXPECT_TRUE(ostrevane::NetworkModule::makeLoader({}, ostrevane::NetworkModule::candidates(root.path() + QStringLiteral("/usr/bin"))));
    EXPECT_FALSE(files.contains(QStringLiteral("usr/share/ostrevane/relocatable"))); // the package is no program folder
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage icon(root.path() + QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/com.local.ostrevane.png").arg(size));
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
    }
    const QString share = root.path() + QStringLiteral("/usr/share");
    const ToolRun appstream = run(QStringLiteral("appstreamcli"),
                              {QStringLiteral("validate"), QStringLiteral("--no-net"),
                               share + QStringLiteral("/metainfo/com.local.ostrevane.metainfo.xml")});
    EXPECT_EQ(appstream.exitCode, 0) << appstream.output.toStdString();
    const ToolRun entry = run(QStringLiteral("desktop-file-validate"),
                          {share + QStringLiteral("/applications/com.local.ostrevane.desktop")});
    EXPECT_EQ(entry.exitCode, 0) << entry.output.toStdString();
    EXPECT_TRUE(entry.output.isEmpty()) << entry.output.toStdString();

    startsAndOpensTheTopRow(root.path() + QStringLiteral("/usr/bin/ostrevane"));
}

TEST_F(PackagesTest, TheArchiveIsOneProgramFolderThatRunsWhereverItIsMoved)
{
    const ToolRun listing = run(QStringLiteral("tar"), {QStringLiteral("-tzf"), packages->archive});
    ASSERT_EQ(listing.exitCode, 0);
    const QStringList members = listing.output.split(u'\n', Qt::SkipEmptyParts);
    const QString top = members.value(0).section(u'/', 0, 0);
    EXPECT_TRUE(top.startsWith(QLatin1String("Ostrevane-"))) << top.toStdString();
    for (const QString& member : members)
        EXPECT_TRUE(member.startsWith(top + u'/') || member == top) << member.toStdString();

    QTemporaryDir dir;
    QDir().mkpath(dir.path() + QStringLiteral("/unpacked here"));
    ASSERT_EQ(run(QStringLiteral("tar"), {QStringLiteral("-xzf"), packages->archive, QStringLiteral("-C"),
                                          dir.path() + QStringLiteral("/unpacked here")})
                  .exitCode,
              0);
    const QString moved = dir.path() + QStringLiteral("/moved elsewhere");
    ASSERT_TRUE(QDir().rename(dir.path() + QStringLiteral("/unpacked here/") + top, moved));
    const QStringList files = filesUnder(moved);
    for (const char* file : {"bin/ostrevane", "share/ostrevane/relocatable",
                             "share/applications/com.local.ostrevane.desktop",
                             "share/icons/hicolor/256x256/apps/com.local.ostrevane.png",
                             "lib/ostrevane/ostrevane-connector", "share/ostrevane/browser-extension/manifest.json"})
        EXPECT_TRUE(files.contains(QLatin1String(file))) << file;
    EXPECT_TRUE(ostrevane::NetworkModule::makeLoader({}, ostrevane::NetworkModule::candidates(moved + QStringLiteral("/bin"))));
    const ToolRun dynamic = run(QStringLiteral("readelf"), {QStringLiteral("-d"), moved + QStringLiteral("/bin/ostrevane")});
    EXPECT_FALSE(dynamic.output.contains(QLatin1String("RUNPATH")) || dynamic.output.contains(QLatin1String("RPATH")))
        << dynamic.output.toStdString();

    startsAndOpensTheTopRow(moved + QStringLiteral("/bin/ostrevane"));
}
