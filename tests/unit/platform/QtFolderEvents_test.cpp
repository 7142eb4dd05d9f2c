#include "platform/qt/QtFolderEvents.h"
#include "support/LocalHttpServer.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

using namespace ostrevane;

namespace {

// Callbacks come from the watcher thread; the time-out only keeps a broken watcher from
// hanging the run.
bool waitForMoreThan(const std::atomic<int>& count, int seen)
{
    return pumpEventsUntil([&] { return count > seen; });
}

} // namespace

TEST(QtFolderEvents, ReportsEntriesAddedRenamedAndRemovedButNothingToAnUnwatchedToken)
{
    QTemporaryDir dir;
    QtFolderEvents events;
    std::atomic<int> dropped{0}, kept{0};
    const FolderEvents::Token token = events.watch(dir.path(), [&] { ++dropped; });
    ASSERT_NE(events.watch(dir.path(), [&] { ++kept; }), 0u);
    events.unwatch(token);

    const QString editor = dir.filePath(QStringLiteral("Editor.app"));
    const QString writer = dir.filePath(QStringLiteral("Writer.app"));
    const std::function<bool()> changes[] = {
        [&] { return QFile(editor).open(QIODevice::WriteOnly); },
        [&] { return QFile::rename(editor, writer); },
        [&] { return QFile::remove(writer); },
    };
    for (const auto& change : changes) {
        const int seen = kept;
        ASSERT_TRUE(change());
        ASSERT_TRUE(waitForMoreThan(kept, seen));
    }
    // Later changes heard by the kept watch mean the earlier ones were fully delivered.
    EXPECT_EQ(dropped, 0);
}

// Editors that do not save by renaming write the file in place.
TEST(QtFolderEvents, ReportsAFileWrittenInPlace)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("settings.plist")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QtFolderEvents events;
    std::atomic<int> written{0};
    ASSERT_NE(events.watch(dir.path(), [&] { ++written; }), 0u);

    ASSERT_TRUE(file.open(QIODevice::Append));
    ASSERT_EQ(file.write("x"), 1);
    file.close();

    EXPECT_TRUE(waitForMoreThan(written, 0));
}
