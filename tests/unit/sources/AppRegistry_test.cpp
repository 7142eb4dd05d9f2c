#include "core/sources/AppRegistry.h"

#include "platform/sim/ThreadedDispatcher.h"
#include "support/Fixtures.h"
#include "support/TestRuntime.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace ostrevane;

namespace {

// A registry watching one existing applications folder and one missing one; each scan is
// counted and finds the applications the test has installed by then.
struct CountingRegistry {
    CountingRegistry(TestRuntime& rt, Dispatcher& dispatcher)
    {
        const auto scan = [this] {
            ++scans;
            return installed.load() ? std::vector<AppItem>{fixtures::app("org.example.Editor", "Editor", "")}
                                    : std::vector<AppItem>{};
        };
        registry = std::make_shared<AppRegistry>(dispatcher, rt.desktop().folders, scan,
                                                 QStringList{folder.path(), folder.filePath("missing")});
    }
    QStringList names() const
    {
        QStringList result;
        for (const AppItem& app : registry->apps())
            result << app.name;
        return result;
    }
    QTemporaryDir folder;
    std::atomic<bool> installed{false};
    std::atomic<int> scans{0};
    std::shared_ptr<AppRegistry> registry;
};

} // namespace

TEST(AppRegistry, ABurstOfFolderEventsCausesOneRescanOneSecondAfterTheLastAndNoneOnceTheRegistryIsGone)
{
    TestRuntime rt;
    CountingRegistry counting(rt, rt.dispatcher());
    counting.registry->start();
    rt.runUntilIdle();
    ASSERT_EQ(counting.scans, 1);
    EXPECT_EQ(rt.desktop().folders.watchedFolders(), QStringList{counting.folder.path()});
    counting.installed = true;

    for (int i = 0; i < 5; ++i) {
        if (i > 0)
            rt.advance(0.2);
        rt.desktop().folders.change(counting.folder.path());
    }
    rt.advance(0.99);
    EXPECT_EQ(counting.scans, 1);
    rt.advance(0.01);
    EXPECT_EQ(counting.scans, 2);
    EXPECT_EQ(counting.names(), QStringList{"Editor"});

    rt.desktop().folders.change(counting.folder.path());
    counting.registry.reset();
    rt.advance(2.0);
    EXPECT_EQ(counting.scans, 2);
    EXPECT_TRUE(rt.desktop().folders.watchedFolders().isEmpty());
}

// Folder events arrive on background threads; readers run on others. Run under
// ThreadSanitizer to check the locking.
TEST(AppRegistry, ReloadRequestsFromManyThreadsCoalesceIntoOneRescan)
{
    TestRuntime rt;
    ThreadedDispatcher dispatcher(rt.clock);
    CountingRegistry counting(rt, dispatcher);
    counting.installed = true;
    counting.registry->start();

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                rt.desktop().folders.change(counting.folder.path());
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
    EXPECT_EQ(counting.names(), QStringList{"Editor"});
}
