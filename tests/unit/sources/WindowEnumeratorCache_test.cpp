#include "core/sources/WindowEnumeratorCache.h"

#include "platform/sim/ThreadedDispatcher.h"
#include "support/Fixtures.h"
#include "support/TestRuntime.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>

using namespace ostrevane;

namespace {

WindowItem notesWindow(const QString& title) { return fixtures::window("Notes", "com.apple.Notes", title); }

QStringList titles(const std::vector<WindowItem>& windows)
{
    QStringList result;
    for (const WindowItem& w : windows)
        result << w.title;
    return result;
}

// A cache whose enumerator counts its runs and returns the windows the test sets.
struct WindowEnumeratorCacheTest : ::testing::Test {
    TestRuntime rt;
    std::atomic<int> runs{0};
    std::vector<WindowItem> next;
    std::function<void()> duringRun; // what happens on the desktop while the list is read
    std::shared_ptr<WindowEnumeratorCache> cache = std::make_shared<WindowEnumeratorCache>(rt.dispatcher(), rt.clock, [this] {
        ++runs;
        std::vector<WindowItem> listed = next;
        if (duringRun)
            std::exchange(duringRun, nullptr)();
        return listed;
    });
};

} // namespace

// A window that appears while the list is read is in the list the waiting completion
// sees; a change makes the stored list no longer current until it is read again.
TEST_F(WindowEnumeratorCacheTest, AChangeDuringARefreshIsReadBeforeTheWaitingCompletionsRun)
{
    EXPECT_FALSE(cache->isCurrent()) << "nothing stored yet";
    QStringList log;
    next = {notesWindow("Groceries")};
    duringRun = [&] {
        next.push_back(notesWindow("Recipes"));
        cache->invalidate();
    };
    cache->refreshAsync([&] { log << titles(cache->cached()).join(','); });
    rt.runUntilIdle();
    EXPECT_EQ(log, QStringList{"Groceries,Recipes"});
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(cache->isCurrent());
}

// Joining a running refresh is checked on real threads below.
TEST_F(WindowEnumeratorCacheTest, ARequestAfterARefreshEndedEnumeratesAgainAndOneEndingAfterTheCacheIsGoneIsDropped)
{
    QStringList log;
    next = {notesWindow("Groceries")};
    cache->refreshAsync([&] { log << "first saw " + titles(cache->cached()).join(','); });
    cache->refreshAsync([&] { log << "second"; });
    rt.runUntilIdle();
    EXPECT_EQ(log, (QStringList{"first saw Groceries", "second"}));
    cache->refreshAsync();
    rt.runUntilIdle();
    EXPECT_EQ(runs, 2);

    cache->refreshAsync([&] { log << "after the cache"; });
    cache.reset();
    rt.runUntilIdle();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(log.size(), 2);
}

TEST_F(WindowEnumeratorCacheTest, FreshnessNeedsAWindowAndAnAgeOfAtMostMaxAge)
{
    EXPECT_FALSE(cache->isFresh(3.0)); // never refreshed
    cache->refreshSync(); // an empty list: no permission or no windows
    EXPECT_FALSE(cache->isFresh(3.0));
    next = {notesWindow("Groceries")};
    cache->refreshSync();
    rt.clock.advance(3.0);
    EXPECT_TRUE(cache->isFresh(3.0));
    rt.clock.advance(0.001);
    EXPECT_FALSE(cache->isFresh(3.0));
}

// Really concurrent: requests and readers on several threads. Run under ThreadSanitizer to check the locking.
TEST(WindowEnumeratorCache, ConcurrentRequestsWhileARefreshRunsCauseNoFurtherEnumeration)
{
    ManualClock clock;
    ThreadedDispatcher dispatcher(clock);
    // The one enumeration is held in flight until every request has been made.
    std::latch entered{1};
    std::latch released{1};
    std::atomic<int> runs{0};
    auto cache = std::make_shared<WindowEnumeratorCache>(dispatcher, clock, [&] {
        ++runs;
        entered.count_down();
        released.wait();
        return std::vector<WindowItem>{notesWindow("Groceries")};
    });
    std::vector<int> order; // touched by completions only, which run on the main thread
    std::atomic<int> offMain{0};
    auto completion = [&](int tag) {
        return [&, tag] {
            offMain += dispatcher.isMainThread() ? 0 : 1;
            order.push_back(tag);
        };
    };

    cache->refreshAsync(completion(0));
    entered.wait();
    // A burst from several threads at once, with readers, joins the same refresh.
    std::vector<std::thread> burst;
    for (int t = 0; t < 4; ++t) {
        burst.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                cache->refreshAsync(completion(100));
                (void)cache->isFresh(3.0);
                (void)cache->cached();
            }
        });
    }
    for (std::thread& thread : burst)
        thread.join();
    released.count_down();

    ASSERT_TRUE(dispatcher.runMainUntil([&] { return order.size() == 101; }, 10.0));
    EXPECT_TRUE(dispatcher.waitUntilIdle(10.0));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(order.front(), 0);
    EXPECT_EQ(offMain, 0);
    EXPECT_EQ(titles(cache->cached()), (QStringList{"Groceries"}));
}
