#include "core/shell/NotificationCenter.h"
#include "platform/qt/QtDispatcher.h"
#include "platform/sim/ManualDispatcher.h"
#include "support/LocalHttpServer.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

using namespace ostrevane;

TEST(NotificationCenter, ObserversRunInOrderAndCanBeRemoved)
{
    ManualClock clock;
    ManualDispatcher dispatcher(clock);
    NotificationCenter center(dispatcher);
    QStringList log;
    const auto first = center.addObserver(Notifications::hotkeyChanged, [&] { log << QStringLiteral("first"); });
    NotificationCenter::Token second = 0;
    second = center.addObserver(Notifications::hotkeyChanged, [&] {
        log << QStringLiteral("second");
        center.removeObserver(second); // removing oneself while notified is allowed
    });
    center.addObserver(Notifications::shortcutsChanged, [&] { log << QStringLiteral("other name"); });

    center.post(Notifications::hotkeyChanged);
    center.post(Notifications::hotkeyChanged);
    center.removeObserver(first);
    center.post(Notifications::hotkeyChanged);
    EXPECT_EQ(log, (QStringList{"first", "second", "first"}));
}

// Work on real threads: the pool, a serial queue and a notification posted off the main thread.
TEST(QtDispatcher, RunsMainTasksAndNotificationsOnTheMainThreadSerialTasksInOrderAndHonoursCancellation)
{
    QtDispatcher dispatcher;
    NotificationCenter center(dispatcher);
    EXPECT_TRUE(dispatcher.isMainThread());
    std::atomic<bool> backgroundWasMain{true};
    bool backOnMain = false, notifiedOnMain = false, delayedRan = false, cancelledRan = false;
    int notifications = 0;
    std::mutex serialMutex;
    QStringList serialOrder, expectedOrder;
    auto serial = dispatcher.makeSerialQueue(QueuePriority::utility);
    center.addObserver(Notifications::languageChanged, [&] {
        notifiedOnMain = dispatcher.isMainThread();
        ++notifications;
    });

    dispatcher.global(QueuePriority::userInitiated, [&] {
        backgroundWasMain = dispatcher.isMainThread();
        center.post(Notifications::languageChanged);
        dispatcher.async([&] { backOnMain = dispatcher.isMainThread(); });
    });
    for (int i = 0; i < 20; ++i) {
        expectedOrder << QString::number(i);
        serial->async([&, i] {
            std::lock_guard lock(serialMutex);
            serialOrder << QString::number(i);
        });
    }
    dispatcher.asyncAfter(0.01, [&] { delayedRan = true; });
    dispatcher.asyncAfter(0.01, [&] { cancelledRan = true; })->cancel();

    ASSERT_TRUE(pumpEventsUntil([&] {
        std::lock_guard lock(serialMutex);
        return delayedRan && backOnMain && notifications > 0 && serialOrder.size() == 20;
    }));
    EXPECT_FALSE(backgroundWasMain);
    EXPECT_TRUE(notifiedOnMain);
    EXPECT_EQ(notifications, 1);
    EXPECT_FALSE(cancelledRan);
    std::lock_guard lock(serialMutex);
    EXPECT_EQ(serialOrder, expectedOrder);
}
