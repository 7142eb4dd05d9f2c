#include "platform/qt/QtFolderEvents.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

using namespace ostrevane;

namespace {

// Counts callbacks from the watcher thread and lets the test wait for the next one.
// The time-out only keeps a broken watcher from hanging the run.
class Counter {
public:
    std::function<void()> callback()
    {
        return [this] {
            std::lock_guard lock(m_mutex);
            ++m_count;
            m_changed.notify_all();
        };
    }
    bool waitForMoreThan(int count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_count > count; });
    }
    int count()
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
};

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

} // namespace

TEST(QtFolderEvents, ReportsEntriesAddedRemovedAndRenamedInTheFolder)
{
    QTemporaryDir dir;
    QtFolderEvents events;
    Counter counter;
    ASSERT_NE(events.watch(dir.path(), counter.callback()), 0u);

    touch(dir.filePath(QStringLiteral("Editor.app")));
    ASSERT_TRUE(counter.waitForMoreThan(0));
    int seen = counter.count();
    ASSERT_TRUE(QFile::rename(dir.filePath(QStringLiteral("Editor.app")), dir.filePath(QStringLiteral("Writer.app"))));
    ASSERT_TRUE(counter.waitForMoreThan(seen));
    seen = counter.count();
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("Writer.app"))));
    EXPECT_TRUE(counter.waitForMoreThan(seen));
}

TEST(QtFolderEvents, AnUnwatchedTokenHearsNothingMoreWhileOthersOnTheFolderDo)
{
    QTemporaryDir dir;
    QtFolderEvents events;
    Counter dropped;
    Counter kept;
    const FolderEvents::Token token = events.watch(dir.path(), dropped.callback());
    ASSERT_NE(events.watch(dir.path(), kept.callback()), 0u);

    events.unwatch(token);
    touch(dir.filePath(QStringLiteral("a")));
    ASSERT_TRUE(kept.waitForMoreThan(0));
    // A second change heard by the kept watch means the first was fully delivered.
    const int seen = kept.count();
    touch(dir.filePath(QStringLiteral("b")));
    ASSERT_TRUE(kept.waitForMoreThan(seen));

    EXPECT_EQ(dropped.count(), 0);
}
