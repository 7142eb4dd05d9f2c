#include "core/AppRegistry.h"

#include "core/PlatformProfile.h"
#include "core/UserDefaults.h"
#include "platform/sim/ThreadedDispatcher.h"
#include "support/TestRuntime.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace ostrevane;

namespace {

// A macOS-shaped file system in a temporary folder: the profile's roots and extra
// applications moved under it, and verbs to install application bundles there.
class FakeMac {
public:
    FakeMac()
    {
        profile = PlatformProfile::macOS();
        profile.scanRoots = {at("/Applications"), at("/System/Applications"), at("/System/Applications/Utilities"),
                             at("/Applications/Utilities"), at("/home/Applications")};
        profile.extraApplications = {at("/System/Library/CoreServices/Finder.app"), at("/Applications/Safari.app"),
                                     at("/System/Volumes/Preboot/Cryptexes/App/System/Applications/Safari.app")};
    }

    QString at(const QString& path) const { return m_dir.path() + path; }

    // Writes "<path>/Contents/Info.plist" with the given keys (absent ones left out).
    void install(const QString& path, const QVariantMap& info) const
    {
        QDir().mkpath(at(path) + QStringLiteral("/Contents"));
        QFile file(at(path) + QStringLiteral("/Contents/Info.plist"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(*PropertyList::toXml(info));
    }
    void install(const QString& path, const QString& bundleID, const QString& displayName = {}) const
    {
        QVariantMap info{{QStringLiteral("CFBundleIdentifier"), bundleID}};
        if (!displayName.isEmpty())
            info.insert(QStringLiteral("CFBundleDisplayName"), displayName);
        install(path, info);
    }
    void makeFolder(const QString& path) const { QDir().mkpath(at(path)); }

    std::vector<AppItem> scan(Workspace& workspace) const
    {
        return AppEnumerator(profile, m_reader, workspace).scan();
    }
    bool isUserLaunchable(Workspace& workspace, const QString& path) const
    {
        return AppEnumerator(profile, m_reader, workspace).isUserLaunchable(path);
    }

    PlatformProfile profile;

private:
    QTemporaryDir m_dir;
    MacBundleReader m_reader;
};

QStringList namesAndPlaces(const FakeMac& mac, const std::vector<AppItem>& apps)
{
    QStringList result;
    for (const AppItem& app : apps)
        result << app.name + QStringLiteral(" @ ") + QString(app.path).remove(mac.at(QString()));
    return result;
}

} // namespace

TEST(AppEnumerator, FirstCopyOfABundleIdentifierWinsAcrossRootsAndExtraApplications)
{
    TestRuntime rt;
    FakeMac mac;
    mac.install(QStringLiteral("/home/Applications/Editor.app"), QStringLiteral("com.example.editor"), QStringLiteral("Home Editor"));
    mac.install(QStringLiteral("/Applications/Editor.app"), QStringLiteral("com.example.editor"), QStringLiteral("Editor"));
    mac.install(QStringLiteral("/System/Volumes/Preboot/Cryptexes/App/System/Applications/Safari.app"),
                QStringLiteral("com.apple.Safari"), QStringLiteral("Safari"));
    mac.install(QStringLiteral("/System/Library/CoreServices/Finder.app"), QStringLiteral("com.apple.finder"),
                QStringLiteral("Finder"));

    EXPECT_EQ(namesAndPlaces(mac, mac.scan(rt.desktop().workspace)),
              (QStringList{"Editor @ /Applications/Editor.app", "Finder @ /System/Library/CoreServices/Finder.app",
                           "Safari @ /System/Volumes/Preboot/Cryptexes/App/System/Applications/Safari.app"}));
}

TEST(AppEnumerator, NamesComeFromDisplayNameThenNameThenFileName)
{
    TestRuntime rt;
    FakeMac mac;
    mac.install(QStringLiteral("/Applications/a.app"),
                {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.a")},
                 {QStringLiteral("CFBundleDisplayName"), QStringLiteral("Display")},
                 {QStringLiteral("CFBundleName"), QStringLiteral("Bundle name")}});
    mac.install(QStringLiteral("/Applications/b.app"),
                {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.b")},
                 {QStringLiteral("CFBundleDisplayName"), qint64(7)},
                 {QStringLiteral("CFBundleName"), QStringLiteral("Named")}});
    mac.install(QStringLiteral("/Applications/File Name.v2.app"),
                {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.c")}});
    const auto icon = std::make_shared<const QImage>(8, 8, QImage::Format_ARGB32);
    rt.desktop().workspace.setFileIcon(mac.at(QStringLiteral("/Applications/a.app")), icon);

    const std::vector<AppItem> apps = mac.scan(rt.desktop().workspace);

    EXPECT_EQ(namesAndPlaces(mac, apps), (QStringList{"Display @ /Applications/a.app", "File Name.v2 @ /Applications/File Name.v2.app",
                                                      "Named @ /Applications/b.app"}));
    EXPECT_EQ(apps[0].bundleID, QStringLiteral("com.example.a"));
    EXPECT_EQ(apps[0].icon, icon);
    EXPECT_FALSE(apps[0].id.isNull());
}

TEST(AppEnumerator, SkipsBundlesWithoutIdentifierHiddenEntriesAndTheInsidesOfPackages)
{
    TestRuntime rt;
    FakeMac mac;
    mac.install(QStringLiteral("/Applications/NoID.app"), {{QStringLiteral("CFBundleName"), QStringLiteral("NoID")}});
    mac.install(QStringLiteral("/Applications/EmptyID.app"), QString());
    mac.makeFolder(QStringLiteral("/Applications/Bare.app"));
    mac.install(QStringLiteral("/Applications/.Hidden.app"), QStringLiteral("com.example.hidden"));
    mac.install(QStringLiteral("/Applications/Host.app"), QStringLiteral("com.example.host"), QStringLiteral("Host"));
    mac.install(QStringLiteral("/Applications/Host.app/Contents/Helpers/Helper.app"), QStringLiteral("com.example.helper"));
    mac.install(QStringLiteral("/Applications/Kit.bundle"), QStringLiteral("com.example.kit"));
    mac.install(QStringLiteral("/Applications/Kit.bundle/Contents/Tool.app"), QStringLiteral("com.example.tool"));

    EXPECT_EQ(namesAndPlaces(mac, mac.scan(rt.desktop().workspace)), (QStringList{"Host @ /Applications/Host.app"}));
}

TEST(AppEnumerator, FindsApplicationsInSubfoldersAtAnyDepthWithoutFollowingFolderLinks)
{
    TestRuntime rt;
    FakeMac mac;
    mac.install(QStringLiteral("/Applications/Games/Chess/Chess.app"), QStringLiteral("com.example.chess"), QStringLiteral("Chess"));
    mac.install(QStringLiteral("/Applications/Utilities/Console.app"), QStringLiteral("com.example.console"), QStringLiteral("Console"));
    ASSERT_TRUE(QFile::link(mac.at(QStringLiteral("/Applications")), mac.at(QStringLiteral("/Applications/Games/Loop"))));

    EXPECT_EQ(namesAndPlaces(mac, mac.scan(rt.desktop().workspace)),
              (QStringList{"Chess @ /Applications/Games/Chess/Chess.app", "Console @ /Applications/Utilities/Console.app"}));
}

TEST(AppEnumerator, SortsCaseInsensitivelyKeepingScanOrderForEqualNames)
{
    TestRuntime rt;
    FakeMac mac;
    mac.install(QStringLiteral("/Applications/zed.app"), QStringLiteral("com.example.zed.lower"), QStringLiteral("zed"));
    mac.install(QStringLiteral("/Applications/beta.app"), QStringLiteral("com.example.beta"), QStringLiteral("beta"));
    mac.install(QStringLiteral("/home/Applications/Zed.app"), QStringLiteral("com.example.zed.upper"), QStringLiteral("Zed"));
    mac.install(QStringLiteral("/System/Applications/Alpha.app"), QStringLiteral("com.example.alpha"), QStringLiteral("Alpha"));

    EXPECT_EQ(namesAndPlaces(mac, mac.scan(rt.desktop().workspace)),
              (QStringList{"Alpha @ /System/Applications/Alpha.app", "beta @ /Applications/beta.app",
                           "zed @ /Applications/zed.app", "Zed @ /home/Applications/Zed.app"}));
}

TEST(AppEnumerator, UserLaunchableMeansAnExtraApplicationOrDirectlyInsideARoot)
{
    TestRuntime rt;
    FakeMac mac;
    const struct {
        const char* path;
        bool launchable;
    } cases[] = {
        {"/Applications/Editor.app", true},
        {"/Applications/./Editor.app/", true},
        {"/home/Applications/Editor.app", true},
        {"/Applications/Games/Chess.app", false},
        {"/Applications/Utilities/Console.app", true},
        {"/System/Applications/Utilities/Terminal.app", true},
        {"/System/Library/CoreServices/Finder.app", true},
        {"/System/Volumes/Preboot/Cryptexes/App/System/Applications/Safari.app", true},
        {"/System/Library/CoreServices/Dock.app", false},
        {"/Applications/Editor.apps", false},
        {"/ApplicationsX/Editor.app", false},
        {"/Applications/Games/../Editor.app", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mac.isUserLaunchable(rt.desktop().workspace, mac.at(QString::fromUtf8(c.path))), c.launchable) << c.path;
}

namespace {

// A registry on the simulated folder events whose scans are counted.
struct CountingRegistry {
    explicit CountingRegistry(TestRuntime& rt, const FakeMac& mac)
    {
        registry = std::make_shared<AppRegistry>(rt.dispatcher(), rt.desktop().folders,
                                                 [&mac, &rt, this] {
                                                     ++scans;
                                                     return mac.scan(rt.desktop().workspace);
                                                 },
                                                 mac.profile.scanRoots);
    }
    std::atomic<int> scans{0};
    std::shared_ptr<AppRegistry> registry;
};

} // namespace

TEST(AppRegistry, ABurstOfFolderEventsCausesOneRescanOneSecondAfterTheLast)
{
    TestRuntime rt;
    FakeMac mac;
    mac.makeFolder(QStringLiteral("/Applications"));
    CountingRegistry counting(rt, mac);
    counting.registry->start();
    rt.runUntilIdle();
    ASSERT_EQ(counting.scans, 1);
    mac.install(QStringLiteral("/Applications/Editor.app"), QStringLiteral("com.example.editor"), QStringLiteral("Editor"));

    for (int i = 0; i < 5; ++i) {
        if (i > 0)
            rt.advance(0.2);
        rt.desktop().folders.change(mac.at(QStringLiteral("/Applications")));
    }
    rt.advance(0.99);
    EXPECT_EQ(counting.scans, 1);
    rt.advance(0.01);

    EXPECT_EQ(counting.scans, 2);
    EXPECT_EQ(namesAndPlaces(mac, counting.registry->apps()), (QStringList{"Editor @ /Applications/Editor.app"}));
    rt.advance(5.0);
    EXPECT_EQ(counting.scans, 2);
}

TEST(AppRegistry, PendingWorkDoesNothingOnceTheRegistryIsGone)
{
    TestRuntime rt;
    FakeMac mac;
    mac.makeFolder(QStringLiteral("/Applications"));
    CountingRegistry counting(rt, mac);
    counting.registry->start();
    rt.desktop().folders.change(mac.at(QStringLiteral("/Applications")));

    counting.registry.reset();
    rt.advance(2.0);

    EXPECT_EQ(counting.scans, 0);
    EXPECT_TRUE(rt.desktop().folders.watchedFolders().isEmpty());
}

TEST(AppRegistry, SharedRegistryScansTheProfileRootsOnFirstUse)
{
    FakeMac mac; // outlives the runtime whose registry reads its profile
    TestRuntime rt;
    mac.install(QStringLiteral("/Applications/Editor.app"), QStringLiteral("com.example.editor"), QStringLiteral("Editor"));
    rt.context().ports().profile = &mac.profile;

    EXPECT_TRUE(AppRegistry::shared().apps().empty());
    rt.runUntilIdle();
    AppRegistry::shared(); // started once only
    rt.runUntilIdle();

    EXPECT_EQ(namesAndPlaces(mac, AppRegistry::shared().apps()), (QStringList{"Editor @ /Applications/Editor.app"}));
    EXPECT_EQ(rt.dispatcher().backgroundSubmissions(QueuePriority::utility), 1u);
    // Only the roots that exist at creation are watched.
    EXPECT_EQ(rt.desktop().folders.watchedFolders(), (QStringList{mac.at(QStringLiteral("/Applications"))}));
}

// Folder events arrive on background threads; readers run on others. Run under
// ThreadSanitizer to check the locking.
TEST(AppRegistry, ReloadRequestsFromManyThreadsCoalesceIntoOneRescan)
{
    FakeMac mac;
    mac.install(QStringLiteral("/Applications/Editor.app"), QStringLiteral("com.example.editor"), QStringLiteral("Editor"));
    TestRuntime rt;
    ThreadedDispatcher dispatcher(rt.clock);
    std::atomic<int> scans{0};
    auto registry = std::make_shared<AppRegistry>(dispatcher, rt.desktop().folders, [&] {
        ++scans;
        return mac.scan(rt.desktop().workspace);
    }, mac.profile.scanRoots);
    registry->start();

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                rt.desktop().folders.change(mac.at(QStringLiteral("/Applications")));
                (void)registry->apps();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_TRUE(dispatcher.waitUntilIdle(10.0));
    EXPECT_EQ(scans, 1);
    dispatcher.advance(1.0);
    ASSERT_TRUE(dispatcher.waitUntilIdle(10.0));

    EXPECT_EQ(scans, 2);
    EXPECT_EQ(namesAndPlaces(mac, registry->apps()), (QStringList{"Editor @ /Applications/Editor.app"}));
}
