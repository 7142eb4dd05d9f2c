#include "core/sources/AppRegistry.h"

#include "core/shell/PlatformProfile.h"
#include "core/preferences/UserDefaults.h"
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
using namespace Qt::StringLiterals;

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
    }

    QString at(const QString& path) const { return m_dir.path() + path; }

    // Writes "<path>/Contents/Info.plist" with the given keys (absent ones left out).
    void install(const QString& path, const QVariantMap& info) const
    {
        QDir().mkpath(at(path) + u"/Contents"_s);
        QFile file(at(path) + u"/Contents/Info.plist"_s);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(*PropertyList::toXml(info));
    }
    void install(const QString& path, const QString& bundleID, const QString& displayName = {}) const
    {
        QVariantMap info{{u"CFBundleIdentifier"_s, bundleID}};
        if (!displayName.isEmpty())
            info.insert(u"CFBundleDisplayName"_s, displayName);
        install(path, info);
    }
    void makeFolder(const QString& path) const { QDir().mkpath(at(path)); }

    AppEnumerator enumerator(Workspace& workspace) const { return AppEnumerator(profile, m_reader, workspace); }

    PlatformProfile profile;

private:
    QTemporaryDir m_dir;
    MacBundleReader m_reader;
};

QStringList namesAndPlaces(const FakeMac& mac, const std::vector<AppItem>& apps)
{
    QStringList result;
    for (const AppItem& app : apps)
        result << app.name + u" @ "_s + QString(app.path).remove(mac.at(QString()));
    return result;
}

} // namespace

TEST(AppEnumerator, ScanListsEachIdentifiersFirstCopyAtAnyDepthSortedCaseInsensitively)
{
    TestRuntime rt;
    FakeMac mac;
    mac.install(u"/home/Applications/Editor.app"_s, u"com.example.editor"_s, u"Home Editor"_s);
    mac.install(u"/Applications/Editor.app"_s, u"com.example.editor"_s, u"Editor"_s);
    mac.install(u"/Applications/Games/Chess/Chess.app"_s, u"com.example.chess"_s, u"chess"_s);
    mac.install(u"/Applications/zed.app"_s, u"com.example.zed.lower"_s, u"zed"_s);
    mac.install(u"/home/Applications/Zed.app"_s, u"com.example.zed.upper"_s, u"Zed"_s);
    // Skipped: no identifier, hidden, inside another package; a link is never followed.
    mac.install(u"/Applications/NoID.app"_s, {{u"CFBundleName"_s, u"NoID"_s}});
    mac.install(u"/Applications/.Hidden.app"_s, u"com.example.hidden"_s);
    mac.install(u"/Applications/Editor.app/Contents/Helpers/Helper.app"_s, u"com.example.helper"_s);
    ASSERT_TRUE(QFile::link(mac.at(u"/Applications"_s), mac.at(u"/Applications/Games/Loop"_s)));

    const std::vector<AppItem> apps = mac.enumerator(rt.desktop().workspace).scan();
    EXPECT_EQ(namesAndPlaces(mac, apps),
              (QStringList{"chess @ /Applications/Games/Chess/Chess.app", "Editor @ /Applications/Editor.app",
                           "zed @ /Applications/zed.app", "Zed @ /home/Applications/Zed.app"}));
}

namespace {

// A registry on the simulated folder events whose scans are counted.
struct CountingRegistry {
    CountingRegistry(TestRuntime& rt, const FakeMac& mac, Dispatcher& dispatcher)
    {
        const auto scan = [&mac, &rt, this] {
            ++scans;
            return mac.enumerator(rt.desktop().workspace).scan();
        };
        registry = std::make_shared<AppRegistry>(dispatcher, rt.desktop().folders, scan, mac.profile.scanRoots);
    }
    std::atomic<int> scans{0};
    std::shared_ptr<AppRegistry> registry;
};

} // namespace

TEST(AppRegistry, ABurstOfFolderEventsCausesOneRescanOneSecondAfterTheLastAndNoneOnceTheRegistryIsGone)
{
    TestRuntime rt;
    FakeMac mac;
    mac.makeFolder(u"/Applications"_s);
    CountingRegistry counting(rt, mac, rt.dispatcher());
    counting.registry->start();
    rt.runUntilIdle();
    ASSERT_EQ(counting.scans, 1);
    // Only the roots that exist at the start are watched.
    EXPECT_EQ(rt.desktop().folders.watchedFolders(), (QStringList{mac.at(u"/Applications"_s)}));
    mac.install(u"/Applications/Editor.app"_s, u"com.example.editor"_s, u"Editor"_s);

    for (int i = 0; i < 5; ++i) {
        if (i > 0)
            rt.advance(0.2);
        rt.desktop().folders.change(mac.at(u"/Applications"_s));
    }
    rt.advance(0.99);
    EXPECT_EQ(counting.scans, 1);
    rt.advance(0.01);
    EXPECT_EQ(counting.scans, 2);
    EXPECT_EQ(namesAndPlaces(mac, counting.registry->apps()), (QStringList{"Editor @ /Applications/Editor.app"}));

    rt.desktop().folders.change(mac.at(u"/Applications"_s));
    counting.registry.reset();
    rt.advance(2.0);
    EXPECT_EQ(counting.scans, 2);
    EXPECT_TRUE(rt.desktop().folders.watchedFolders().isEmpty());
}

// Folder events arrive on background threads; readers run on others. Run under
// ThreadSanitizer to check the locking.
TEST(AppRegistry, ReloadRequestsFromManyThreadsCoalesceIntoOneRescan)
{
    FakeMac mac;
    mac.install(u"/Applications/Editor.app"_s, u"com.example.editor"_s, u"Editor"_s);
    TestRuntime rt;
    ThreadedDispatcher dispatcher(rt.clock);
    CountingRegistry counting(rt, mac, dispatcher);
    counting.registry->start();

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                rt.desktop().folders.change(mac.at(u"/Applications"_s));
                (void)counting.registry->apps();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_TRUE(dispatcher.waitUntilIdle(10.0));
    EXPECT_EQ(counting.scans, 1);
    dispatcher.advance(1.0);
    ASSERT_TRUE(dispatcher.waitUntilIdle(10.0));

    EXPECT_EQ(counting.scans, 2);
    EXPECT_EQ(namesAndPlaces(mac, counting.registry->apps()), (QStringList{"Editor @ /Applications/Editor.app"}));
}
