#include "core/BrowserTabCache.h"

#include "core/AppleScriptAutomation.h"
#include "core/MRUStore.h"
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
    ProcessID safariPid = 0;

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
        safariPid = browsers.launch(spec(safariID));
        browsers.openWindow(safariName, {{"Apple", "https://apple.com/"}});
    }

    void refreshAllNow()
    {
        cache->refreshAsync();
        runtime.runUntilIdle();
    }
};

} // namespace

TEST_F(BrowserTabCacheTest, RefreshOfAllStoresTabsThenCompletesOnTheMainQueue)
{
    launchBoth();
    QStringList seenByCompletion;
    cache->refreshAsync(std::nullopt, [&] { seenByCompletion = titles(cache->tabs()); });
    EXPECT_TRUE(cache->isRefreshing());
    EXPECT_TRUE(cache->tabs().empty());

    runtime.runUntilIdle();
    const QStringList expected{"Mail", "News", "Apple"};
    EXPECT_EQ(seenByCompletion, expected);
    EXPECT_EQ(titles(cache->tabs()), expected);
    EXPECT_EQ(cache->refreshedAt(), runtime.clock.now());
    EXPECT_FALSE(cache->isRefreshing());
    EXPECT_EQ(runtime.dispatcher().backgroundSubmissions(QueuePriority::userInitiated), 1u);
}

TEST_F(BrowserTabCacheTest, RequestsDuringARefreshJoinItAndCompleteOnceEachInOrder)
{
    launchBoth();
    std::vector<int> order;
    cache->refreshAsync(std::nullopt, [&] { order.push_back(1); });
    cache->refreshAsync(safariID, [&] { order.push_back(2); });
    cache->refreshAsync(std::nullopt);
    cache->refreshAsync(chromeID, [&] { order.push_back(3); });
    runtime.runUntilIdle();

    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(runtime.dispatcher().backgroundSubmissions(QueuePriority::userInitiated), 1u);
    EXPECT_EQ(listingScripts(browsers), 2); // Chrome and Safari, once each

    cache->refreshAsync(std::nullopt, [&] { order.push_back(4); });
    runtime.runUntilIdle();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(runtime.dispatcher().backgroundSubmissions(QueuePriority::userInitiated), 2u);
}

TEST_F(BrowserTabCacheTest, RefreshOfOneBrowserMovesItsNewTabsToTheEnd)
{
    launchBoth();
    refreshAllNow();
    browsers.openWindow(chromeName, {{QStringLiteral("Maps"), QStringLiteral("https://maps.example/")}});
    cache->refreshAsync(chromeID);
    runtime.runUntilIdle();
    EXPECT_EQ(titles(cache->tabs()), (QStringList{"Apple", "Mail", "News", "Maps"}));
}

TEST_F(BrowserTabCacheTest, RefreshesThatYieldNothingRemoveTheirBrowsersTabsAndKeepTheTime)
{
    launchBoth();
    refreshAllNow();
    const WallTime firstRefresh = runtime.clock.now();
    runtime.clock.advance(30);
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
    cache->refreshAsync(chromeID);
    runtime.runUntilIdle();
    EXPECT_EQ(titles(cache->tabs()), QStringList{"Apple"});
    EXPECT_EQ(cache->refreshedAt(), firstRefresh);

    browsers.setMode(safariName, SimBrowsers::Mode::busy);
    refreshAllNow();
    EXPECT_TRUE(cache->tabs().empty());
    EXPECT_EQ(cache->refreshedAt(), firstRefresh);
}

TEST_F(BrowserTabCacheTest, ForegroundRefreshOfANonBrowserOrABrowserYieldingNothingLeavesTheCacheUntouched)
{
    launchBoth();
    refreshAllNow();
    const WallTime firstRefresh = runtime.clock.now();
    runtime.clock.advance(30);
    browsers.clearScripts();
    runtime.desktop().workspace.setFrontmost(runtime.desktop().launch(QStringLiteral("com.apple.Notes"), QStringLiteral("Notes")));
    cache->refreshForegroundBrowserNow();
    EXPECT_TRUE(browsers.scripts().isEmpty());

    runtime.desktop().workspace.setFrontmost(chromePid);
    browsers.setMode(chromeName, SimBrowsers::Mode::busy);
    cache->refreshForegroundBrowserNow();
    EXPECT_EQ(titles(cache->tabs()), (QStringList{"Mail", "News", "Apple"}));
    EXPECT_EQ(cache->refreshedAt(), firstRefresh);
}

TEST_F(BrowserTabCacheTest, ForegroundRefreshReplacesTheFrontBrowsersTabsWithoutTheBackgroundMachinery)
{
    launchBoth();
    refreshAllNow();
    runtime.clock.advance(30);
    browsers.openWindow(safariName, {{QStringLiteral("Swift"), QStringLiteral("https://swift.org/")}});
    runtime.desktop().workspace.setFrontmost(safariPid);
    bool completed = false;
    cache->refreshAsync(chromeID, [&] { completed = true; }); // queued, not yet run

    cache->refreshForegroundBrowserNow();
    EXPECT_EQ(titles(cache->tabs()), (QStringList{"Mail", "News", "Apple", "Swift"}));
    EXPECT_EQ(cache->refreshedAt(), runtime.clock.now());
    EXPECT_TRUE(cache->isRefreshing());
    EXPECT_FALSE(completed);
    EXPECT_TRUE(MRUStore::shared().windowMap().contains(QStringLiteral("tab::com.apple.Safari::Apple::1::1")));

    // The background refresh that ends later merges over it by the usual rules.
    runtime.runUntilIdle();
    EXPECT_TRUE(completed);
    EXPECT_EQ(titles(cache->tabs()), (QStringList{"Apple", "Swift", "Mail", "News"}));
}

TEST_F(BrowserTabCacheTest, RefreshRecordsTheActiveFrontTabOfTheFrontmostBrowserOnly)
{
    launchBoth();
    browsers.openWindow(chromeName, {{QStringLiteral("Back window"), QStringLiteral("https://back.example/")}});
    runtime.desktop().workspace.setFrontmost(chromePid);
    runtime.clock.advance(5);

    refreshAllNow();
    const MRUStore::TimeMap used = MRUStore::shared().windowMap();
    EXPECT_EQ(used.keys(), QStringList{QStringLiteral("tab::com.google.Chrome::Mail::1::1")});
    EXPECT_EQ(used.value(QStringLiteral("tab::com.google.Chrome::Mail::1::1")), runtime.clock.now());
}

TEST_F(BrowserTabCacheTest, CacheGoneBeforeItsRefreshRunsDropsTheResult)
{
    launchBoth();
    bool completed = false;
    cache->refreshAsync(std::nullopt, [&] { completed = true; });
    cache.reset();
    runtime.runUntilIdle();
    EXPECT_FALSE(completed);
}

TEST_F(BrowserTabCacheTest, CacheNotOwnedBySharedPointerStillAnswersItsCallers)
{
    launchBoth();
    BrowserTabCache unowned(runtime.dispatcher(), runtime.clock, runtime.desktop().workspace, MRUStore::shared());
    bool completed = false;
    unowned.refreshAsync(std::nullopt, [&] { completed = true; });
    runtime.runUntilIdle();
    EXPECT_TRUE(completed);
    EXPECT_FALSE(unowned.isRefreshing());
    EXPECT_TRUE(unowned.tabs().empty()); // results reach only a cache held by a shared pointer
}

TEST_F(BrowserTabCacheTest, StatusIsReadyWhenOneBrowserAnswersAndTheProbeTellsThemApart)
{
    launchBoth();
    browsers.openWindow(chromeName, {{"3", QString()}, {"4", QString()}, {"5", QString()}});
    browsers.setMode(safariName, SimBrowsers::Mode::refusesAutomation);
    BrowserTabStatusProbe probe;

    EXPECT_EQ(probe.status(2.0), BrowserTabStatus::ready(5));
    EXPECT_EQ(probe.probeAutomationForRunningBrowsers(),
              (ProbeResult{{chromeName, safariName}, {chromeName}, {safariName}, {{chromeName, 5}}}));
}

TEST_F(BrowserTabCacheTest, StatusIsUnavailableWithoutBrowsersBlockedWhenNothingIsReadableAndElseDegraded)
{
    BrowserTabStatusProbe probe;
    EXPECT_EQ(probe.status(2.0), BrowserTabStatus::unavailable());
    EXPECT_EQ(probe.probeAutomationForRunningBrowsers(), ProbeResult{});

    browsers.launch(spec(chromeID));
    const AXElement window = browsers.openWindow(chromeName, {{"Hidden", QString()}});
    browsers.setMode(chromeName, SimBrowsers::Mode::busy);
    EXPECT_EQ(probe.status(2.0),
              BrowserTabStatus::blocked(QStringLiteral("Browser tabs unavailable. Grant Automation access for supported "
                                                       "browsers and restart the browser if needed.")));

    browsers.addTabStrip(window, {"One", "Two", "Three"}, 0); // only accessibility reads them
    EXPECT_EQ(probe.status(2.0),
              BrowserTabStatus::degraded(
                  3, QStringLiteral("Tab titles are limited. Enable Automation access for Ostrevane and the browser.")));
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
    browsers.openWindow(chromeName, {{QStringLiteral("Mail"), QStringLiteral("https://mail.example/")}});
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
    EXPECT_EQ(titles(cache->tabs()), QStringList{QStringLiteral("Mail")});
    EXPECT_TRUE(mru.windowMap().contains(QStringLiteral("tab::com.google.Chrome::Mail::1::1")));
}
