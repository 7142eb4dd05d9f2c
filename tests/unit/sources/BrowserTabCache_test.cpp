#include "core/sources/BrowserTabCache.h"

#include "core/sources/AppleScriptAutomation.h"
#include "core/model/MRUStore.h"
#include "platform/sim/SimBrowsers.h"
#include "platform/sim/ThreadedDispatcher.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <latch>
#include <thread>

using namespace ostrevane;

namespace {

const QString chromeID = QStringLiteral("com.google.Chrome");
const QString safariID = QStringLiteral("com.apple.Safari");
const QString chromeName = QStringLiteral("Google Chrome");
const QString safariName = QStringLiteral("Safari");

const BrowserSpec& spec(const QString& bundleID) { return *PlatformProfile::macOS().browser(bundleID); }

QStringList titles(const std::vector<TabItem>& tabs)
{
    QStringList result;
    for (const TabItem& tab : tabs)
        result << tab.title;
    return result;
}

qsizetype listingScripts(const SimBrowsers& browsers) { return browsers.scripts().filter("set tabItems to {}").size(); }

class BrowserTabCacheTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    SimBrowsers browsers{runtime.desktop()};
    AppleScriptAutomation automation{browsers};
    std::shared_ptr<BrowserTabCache> cache;
    ProcessID chromePid = 0;

    void SetUp() override
    {
        runtime.context().ports().scriptRunner = &browsers;
        runtime.context().ports().browserAutomation = &automation;
        cache = std::make_shared<BrowserTabCache>(runtime.dispatcher(), runtime.clock, runtime.desktop().workspace,
                                                  MRUStore::shared());
    }

    // Chrome with Mail (active) and News in its front window; Safari with Apple.
    void launchBoth()
    {
        chromePid = browsers.launch(spec(chromeID));
        browsers.openWindow(chromeName, {{"Mail", "https://mail.example/"}, {"News", "https://news.example/"}});
        browsers.launch(spec(safariID));
        browsers.openWindow(safariName, {{"Apple", "https://apple.com/"}});
    }

    void refreshNow(std::optional<QString> bundleID = std::nullopt)
    {
        cache->refreshAsync(bundleID);
        runtime.runUntilIdle();
    }
};

} // namespace

// Joining a running refresh is proven on real threads below.
TEST_F(BrowserTabCacheTest, ABrowsersRefreshMovesItsTabsToTheEndAndOneYieldingNothingRemovesThemKeepingTheTime)
{
    launchBoth();
    runtime.desktop().workspace.setFrontmost(chromePid);
    refreshNow();
    // Only the active front tab of the frontmost browser counts as used.
    EXPECT_EQ(MRUStore::shared().windowMap(), (MRUStore::TimeMap{{"tab::com.google.Chrome::Mail::1::1", runtime.clock.now()}}));
    browsers.openWindow(chromeName, {{"Maps", "https://maps.example/"}});
    refreshNow(chromeID);
    EXPECT_EQ(titles(cache->tabs()), (QStringList{"Apple", "Mail", "News", "Maps"}));

    const WallTime lastRefresh = runtime.clock.now();
    runtime.clock.advance(30);
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
    refreshNow(chromeID);
    EXPECT_EQ(titles(cache->tabs()), QStringList{"Apple"});
    EXPECT_EQ(cache->refreshedAt(), lastRefresh);
}

TEST_F(BrowserTabCacheTest, AChangeReportedDuringARefreshIsReadRightAfterItEvenWhenThatRefreshWasForAnotherBrowser)
{
    launchBoth();
    refreshNow();
    bool completed = false;
    cache->refreshAsync(safariID, [&] { completed = true; }); // submitted, not yet run
    browsers.openWindow(chromeName, {{"Maps", "https://maps.example/"}});
    cache->refreshAfterChange(chromeID);
    cache->refreshAfterChange(chromeID);
    runtime.runUntilIdle();
    EXPECT_TRUE(completed);
    EXPECT_EQ(titles(cache->tabs()), (QStringList{"Apple", "Mail", "News", "Maps"}));
    EXPECT_EQ(runtime.dispatcher().backgroundSubmissions(QueuePriority::userInitiated), 3u);
}

// A cache not held by a shared pointer is a misuse: it logs and still answers its callers
// instead of staying marked as refreshing for ever.
TEST_F(BrowserTabCacheTest, ACacheGoneBeforeItsRefreshRunsDropsTheResultAndAnUnownedOneStillAnswers)
{
    launchBoth();
    QStringList completions;
    cache->refreshAsync(std::nullopt, [&] { completions << "gone"; });
    cache.reset();
    BrowserTabCache unowned(runtime.dispatcher(), runtime.clock, runtime.desktop().workspace, MRUStore::shared());
    unowned.refreshAsync(std::nullopt, [&] { completions << "unowned"; });
    runtime.runUntilIdle();
    EXPECT_EQ(completions, QStringList{"unowned"});
    EXPECT_FALSE(unowned.isRefreshing());
    EXPECT_TRUE(unowned.tabs().empty()); // results reach only a cache held by a shared pointer
}

namespace {

// Holds the first script in flight until released, so that requests really overlap it.
class GatedScripts : public ScriptRunner {
public:
    explicit GatedScripts(ScriptRunner& inner) : m_inner(inner) {}

    std::latch entered{1};
    std::latch released{1};

    std::optional<ScriptDescriptor> executeAppleScript(const QString& source) override
    {
        if (!m_first.exchange(true)) {
            entered.count_down();
            released.wait();
        }
        return m_inner.executeAppleScript(source);
    }

private:
    ScriptRunner& m_inner;
    std::atomic<bool> m_first{false};
};

} // namespace

// Requests and readers from several threads while a refresh runs on a real background
// thread: one enumeration, every completion once on the main thread. Run under
// ThreadSanitizer to check the locking.
TEST(BrowserTabCacheThreads, ConcurrentRequestsJoinTheRunningRefresh)
{
    TestRuntime runtime;
    ThreadedDispatcher dispatcher(runtime.clock);
    SimBrowsers browsers{runtime.desktop()};
    GatedScripts gated{browsers};
    AppleScriptAutomation automation{gated};
    runtime.context().ports().browserAutomation = &automation;
    const ProcessID chromePid = browsers.launch(spec(chromeID));
    browsers.openWindow(chromeName, {{"Mail", "https://mail.example/"}});
    runtime.desktop().workspace.setFrontmost(chromePid);
    MRUStore mru(runtime.clock, dispatcher, runtime.defaults(), runtime.accessibility);
    auto cache = std::make_shared<BrowserTabCache>(dispatcher, runtime.clock, runtime.desktop().workspace, mru);

    std::vector<int> order; // completions only, on the main thread
    std::atomic<int> offMain{0};
    const auto completion = [&](int tag) {
        return [&, tag] {
            offMain += dispatcher.isMainThread() ? 0 : 1;
            order.push_back(tag);
        };
    };
    cache->refreshAsync(std::nullopt, completion(0));
    gated.entered.wait();
    std::vector<std::thread> callers;
    for (int t = 1; t <= 4; ++t)
        callers.emplace_back([&, t] {
            cache->refreshAsync(t % 2 ? std::optional(chromeID) : std::nullopt, completion(t));
            (void)cache->tabs();
            (void)cache->refreshedAt();
        });
    for (std::thread& caller : callers)
        caller.join();
    gated.released.count_down();

    ASSERT_TRUE(dispatcher.runMainUntil([&] { return order.size() == 5; }, 10.0));
    ASSERT_TRUE(dispatcher.waitUntilIdle(10.0));
    EXPECT_EQ(order.front(), 0);
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(offMain, 0);
    EXPECT_EQ(listingScripts(browsers), 1);
    EXPECT_EQ(titles(cache->tabs()), QStringList{"Mail"});
    EXPECT_TRUE(mru.windowMap().contains("tab::com.google.Chrome::Mail::1::1"));
}
