#include "platform/sim/ThreadedDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace ostrevane;

TEST(ThreadedDispatcher, BackgroundTasksRunOffTheMainThreadAndHandResultsBackToIt)
{
    ManualClock clock;
    ThreadedDispatcher dispatcher(clock);
    std::atomic<int> onMain{0};
    std::vector<int> results; // main thread only

    for (int i = 0; i < 8; ++i) {
        dispatcher.global(QueuePriority::utility, [&, i] {
            if (dispatcher.isMainThread())
                ++onMain;
            dispatcher.async([&, i] { results.push_back(i); });
        });
    }

    ASSERT_TRUE(dispatcher.waitUntilIdle(10.0));
    EXPECT_EQ(results.size(), 8u);
    EXPECT_EQ(onMain, 0);
}

TEST(ThreadedDispatcher, SerialQueueTasksRunOneAtATimeInOrder)
{
    ManualClock clock;
    ThreadedDispatcher dispatcher(clock);
    auto queue = dispatcher.makeSerialQueue(QueuePriority::utility);
    std::vector<int> order; // written only by the queue's tasks, which never overlap

    for (int i = 0; i < 50; ++i)
        queue->async([&, i] { order.push_back(i); });

    ASSERT_TRUE(dispatcher.waitUntilIdle(10.0));
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(ThreadedDispatcher, DelayedTasksWaitForVirtualTimeAndCanBeCancelled)
{
    ManualClock clock;
    ThreadedDispatcher dispatcher(clock);
    std::vector<int> ran;
    dispatcher.asyncAfter(1.0, [&] { ran.push_back(1); });
    CancellableRef cancelled = dispatcher.asyncAfter(0.5, [&] { ran.push_back(2); });
    dispatcher.asyncAfter(0.2, [&] { ran.push_back(3); });
    cancelled->cancel();

    dispatcher.advance(0.9);
    ASSERT_TRUE(dispatcher.waitUntilIdle(10.0));
    EXPECT_EQ(ran, (std::vector<int>{3}));
    dispatcher.advance(0.1);
    ASSERT_TRUE(dispatcher.waitUntilIdle(10.0));
    EXPECT_EQ(ran, (std::vector<int>{3, 1}));
}
