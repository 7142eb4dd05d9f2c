#include "ui/RowImages.h"

#include "platform/sim/ManualClock.h"
#include "platform/sim/ManualDispatcher.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

using namespace ostrevane;

// An installed application's row carries no icon: the rows load it when it is first
// shown, once, in a task of its own, and repaint when it comes. A row that carries its
// icon loads nothing.
TEST(RowImages, LoadsAnInstalledApplicationsIconOnceInATaskOfItsOwnAndOnlyForARowWithout)
{
    ManualClock clock;
    ManualDispatcher dispatcher(clock);
    QStringList loaded;
    RowImages::Sources sources;
    sources.dispatcher = &dispatcher;
    sources.appIcon = [&loaded](const QString& path) {
        loaded << path;
        return std::make_shared<const QImage>(8, 8, QImage::Format_ARGB32);
    };
    RowImages images(sources);
    int repaints = 0;
    QObject::connect(&images, &RowImages::imageLoaded, [&repaints] { ++repaints; });

    const AppItem installed = fixtures::app(QStringLiteral("editor"), QStringLiteral("Editor"),
                                            QStringLiteral("/usr/share/applications/editor.desktop"));
    AppItem running = fixtures::app(QStringLiteral("player"), QStringLiteral("Player"),
                                    QStringLiteral("/usr/share/applications/player.desktop"));
    running.icon = std::make_shared<const QImage>(8, 8, QImage::Format_ARGB32);
    images.request(installed);
    images.request(installed);
    images.request(running);
    EXPECT_FALSE(images.appIcon(installed.path));
    EXPECT_EQ(dispatcher.pendingCount(), 1u);
    EXPECT_EQ(dispatcher.backgroundSubmissions(QueuePriority::userInitiated), 0u); // Qt draws theme icons on main only

    dispatcher.runUntilIdle();
    EXPECT_EQ(loaded, QStringList{installed.path});
    EXPECT_TRUE(images.appIcon(installed.path));
    EXPECT_FALSE(images.appIcon(running.path));
    EXPECT_EQ(repaints, 1);
}
