#include "core/sources/ThumbnailCache.h"

#include "support/TestRuntime.h"

#include <QImage>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace ostrevane;

namespace {

ImageHandle picture(int width = 320, int height = 200)
{
    return std::make_shared<const QImage>(width, height, QImage::Format_ARGB32);
}

} // namespace

TEST(ThumbnailCache, AFailedOrForbiddenCaptureIsNotRememberedAndIsTriedAgain)
{
    TestRuntime rt;
    ThumbnailCache cache(rt.desktop().windowServer, rt.clock);
    rt.desktop().windowServer.setCapture(7, picture());
    rt.desktop().windowServer.setCaptureAllowed(false);
    EXPECT_EQ(cache.thumbnail(7), nullptr);
    EXPECT_EQ(rt.desktop().windowServer.captureCount(), 0); // without permission nothing is even tried

    rt.desktop().windowServer.setCaptureAllowed(true);
    rt.desktop().windowServer.setCapture(7, std::make_shared<const QImage>()); // an empty image
    EXPECT_EQ(cache.thumbnail(7), nullptr);
    EXPECT_FALSE(cache.contains(7));

    rt.desktop().windowServer.setCapture(7, picture());
    EXPECT_NE(cache.thumbnail(7), nullptr);
    EXPECT_EQ(rt.desktop().windowServer.captureCount(), 2);
}

TEST(ThumbnailCache, HitsKeepTheStoredPictureAndTheHundredAndFirstEvictsTheLeastRecentlyStoredOrHit)
{
    TestRuntime rt;
    ThumbnailCache cache(rt.desktop().windowServer, rt.clock);
    // Windows 1..100, one second of virtual time apart, so each has its own last-use time.
    for (quint32 id = 1; id <= 100; ++id) {
        rt.desktop().windowServer.setCapture(id, picture());
        ASSERT_NE(cache.thumbnail(id), nullptr);
        rt.clock.advance(1.0);
    }
    const ImageHandle first = cache.thumbnail(1); // a hit: window 1 is now the most recent
    rt.desktop().windowServer.setCapture(1, picture(640, 400)); // the window changed since
    EXPECT_EQ(cache.thumbnail(1), first);
    rt.clock.advance(1.0);

    rt.desktop().windowServer.setCapture(101, picture());
    ASSERT_NE(cache.thumbnail(101), nullptr);
    EXPECT_EQ(cache.count(), 100);
    EXPECT_TRUE(cache.contains(1));
    EXPECT_FALSE(cache.contains(2));
}

// The picture a window left is shown end to end; here the picture of a window that is gone
// is not kept for a window id reused later.
TEST(ThumbnailCache, APictureLeftByAWindowIsKeptUntilTheWindowIsGone)
{
    TestRuntime rt;
    SimWindowServer& server = rt.desktop().windowServer;
    {
        ThumbnailCache cache(server, rt.clock);
        server.leaveScreen(7, picture());
        server.leaveScreen(8, picture());
        server.leaveScreen(8, nullptr);
        EXPECT_TRUE(cache.contains(7));
        EXPECT_FALSE(cache.contains(8));
    }
    server.leaveScreen(7, picture()); // a cache that is gone no longer listens
}

// Several threads asking for overlapping windows while eviction runs. Run under
// ThreadSanitizer to check the locking.
TEST(ThumbnailCache, ConcurrentRequestsKeepAtMostTheLimit)
{
    TestRuntime rt;
    ThumbnailCache cache(rt.desktop().windowServer, rt.clock, 10);
    for (quint32 id = 1; id <= 40; ++id)
        rt.desktop().windowServer.setCapture(id, picture());
    std::atomic<int> missing{0};

    std::vector<std::thread> threads;
    for (quint32 t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (quint32 i = 0; i < 200; ++i) {
                if (!cache.thumbnail(1 + (i * 7 + t * 3) % 40))
                    ++missing;
                rt.clock.advance(0.001);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(missing, 0);
    EXPECT_EQ(cache.count(), 10);
}
