#include "platform/qt/QtFolderEvents.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
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

} // namespace

TEST(QtFolderEvents, ReportsEntriesAddedRenamedAndRemovedButNothingToAnUnwatchedToken)
{
    QTemporaryDir dir;
    QtFolderEvents events;
    Counter dropped;
    Counter kept;
    const FolderEvents::Token token = events.watch(dir.path(), dropped.callback());
    ASSERT_NE(events.watch(dir.path(), kept.callback()), 0u);
    events.unwatch(token);

    const QString editor = dir.filePath(QStringLiteral("Editor.app"));
    const QString writer = dir.filePath(QStringLiteral("Writer.app"));
    const std::function<bool()> changes[] = {
        [&] { return QFile(editor).open(QIODevice::WriteOnly); },
        [&] { return QFile::rename(editor, writer); },
        [&] { return QFile::remove(writer); },
    };
    for (const auto& change : changes) {
        const int seen = kept.count();
        ASSERT_TRUE(change());
        ASSERT_TRUE(kept.waitForMoreThan(seen));
    }
    // Later changes heard by the kept watch mean the earlier ones were fully delivered.
    EXPECT_EQ(dropped.count(), 0);
}

// Editors that do not save by renaming write the file in place.
TEST(QtFolderEvents, ReportsAFileWrittenInPlace)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("settings.plist")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QtFolderEvents events;
    Counter written;
    ASSERT_NE(events.watch(dir.path(), written.callback()), 0u);

    ASSERT_TRUE(file.open(QIODevice::Append));
    ASSERT_EQ(file.write("x"), 1);
    file.close();

    EXPECT_TRUE(written.waitForMoreThan(0));
}
