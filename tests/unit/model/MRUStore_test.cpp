#include "core/model/MRUStore.h"

#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <thread>

using namespace ostrevane;

namespace {

// Virtual time starts at 2026-01-01 00:00:00 UTC.
WallTime startPlus(double s) { return fromSecondsSince1970(ManualClock::startSecondsSince1970 + s); }

QDateTime date(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate); }

QStringList sortedKeys(const MRUStore::TimeMap& map)
{
    QStringList keys = map.keys();
    keys.sort();
    return keys;
}

class MRUStoreTest : public ::testing::Test {
protected:
    TestRuntime runtime;

    std::unique_ptr<MRUStore> makeStore()
    {
        return std::make_unique<MRUStore>(runtime.clock, runtime.dispatcher(), runtime.defaults(),
                                          runtime.accessibility);
    }

    // A running application whose focused window has `title` (a text, or another kind).
    void runApp(ProcessID pid, AXValue title)
    {
        auto app = SimAccessibility::makeElement(QStringLiteral("app"));
        auto window = SimAccessibility::makeElement(QStringLiteral("window"));
        runtime.accessibility.setApplication(pid, app);
        runtime.accessibility.setAttribute(app, AX::focusedWindow, AXElement(window));
        runtime.accessibility.setAttribute(window, AX::title, std::move(title));
    }

    bool windowMapWritten() { return runtime.defaults().object(MRUStore::windowKey).isValid(); }
};

} // namespace

TEST_F(MRUStoreTest, MapsKeepTheNewestFiveHundredItemsAndTwoHundredApps)
{
    auto store = makeStore();
    for (int i = 0; i <= 500; ++i) {
        store->touch(QStringLiteral("key%1").arg(i));
        if (i <= 200)
            store->touchApp(QStringLiteral("com.example.app%1").arg(i), 0);
        runtime.clock.advance(1);
    }
    const auto map = store->windowMap();
    EXPECT_EQ(map.size(), 500);
    EXPECT_EQ(map.value(QStringLiteral("key1")), startPlus(1));
    EXPECT_EQ(store->appMap().size(), 200);
}

TEST(MRUStorePrune, KeepsEverythingAtOrAfterTheLimitthNewestTime)
{
    MRUStore::TimeMap map{
        {"a", startPlus(1)}, {"b", startPlus(2)}, {"c", startPlus(2)}, {"d", startPlus(2)}, {"e", startPlus(3)}};
    MRUStore::prune(map, 3);
    EXPECT_EQ(sortedKeys(map), (QStringList{"b", "c", "d", "e"})); // ties at the cutoff stay
    MRUStore::prune(map, 1);
    EXPECT_EQ(sortedKeys(map), QStringList{"e"});
}

// Three terminals of one application: every window scores the application's latest
// activation, so only the window's own stamp can order them.
TEST_F(MRUStoreTest, WindowsOfOneAppRankInTheOrderTheyWereUsed)
{
    auto store = makeStore();
    const QString term = QStringLiteral("xterm");
    for (const char* title : {"Alpha", "Beta", "Gamma"}) {
        runApp(7, QString::fromLatin1(title));
        store->touchApp(term, 7);
        runtime.clock.advance(1);
    }
    const auto rank = [&](const char* title) { return store->rank(term + QStringLiteral("::") + title, term); };
    EXPECT_EQ(rank("Alpha").score, rank("Beta").score);
    EXPECT_GT(rank("Gamma"), rank("Beta"));
    EXPECT_GT(rank("Beta"), rank("Alpha"));
    EXPECT_GT(rank("Alpha"), rank("Never"));
}

TEST_F(MRUStoreTest, ActivationStampsTheFocusedWindowStrictlyAfterItsAppWhenItCan)
{
    runApp(42, QStringLiteral("Report"));
    runApp(7, true); // a focused window without a text title is keyed with an empty one
    runApp(9, QStringLiteral("Inbox"));
    auto store = makeStore();
    const QString editor = QStringLiteral("com.example.editor");
    store->touchApp(editor, 42);
    store->touchApp(QStringLiteral("com.example.term"), 7);
    EXPECT_GT(store->score(QStringLiteral("com.example.editor::Report")), store->score(QStringLiteral("none"), editor));
    store->touchApp(std::nullopt, 9);
    store->touchApp(QStringLiteral("com.example.gone"), 11); // no accessibility element

    EXPECT_EQ(sortedKeys(store->appMap()), (QStringList{"com.example.editor", "com.example.gone", "com.example.term"}));
    EXPECT_EQ(sortedKeys(store->windowMap()), (QStringList{"com.example.editor::Report", "com.example.term::"}));
}

TEST_F(MRUStoreTest, BurstOfTouchesIsWrittenOnceHalfASecondAfterTheLastAndNeverAfterTheStoreIsGone)
{
    auto store = makeStore();
    for (int i = 0; i < 10; ++i) {
        store->touch(QStringLiteral("burst%1").arg(i));
        runtime.advance(0.01);
        ASSERT_FALSE(windowMapWritten()) << "touch " << i;
    }
    runtime.advance(0.5);
    ASSERT_TRUE(windowMapWritten());
    EXPECT_EQ(runtime.defaults().dictionary(MRUStore::windowKey)->size(), 10);

    // Any further write would bring the removed entry back, also one still pending when
    // the store goes away.
    runtime.defaults().remove(MRUStore::windowKey);
    runtime.advance(10);
    store->touch(QStringLiteral("late"));
    runtime.runUntilIdle();
    store.reset();
    runtime.advance(1);
    EXPECT_FALSE(windowMapWritten());
}

TEST_F(MRUStoreTest, StoredMapWithANonDateValueOrOfAnotherTypeStartsEmptyAndIsOverwritten)
{
    runtime.defaults().set(MRUStore::appKey, QVariantMap{{"com.example.a", date("2025-12-31T10:00:00Z")},
                                                         {"com.example.b", QStringLiteral("yesterday")}});
    runtime.defaults().set(MRUStore::windowKey, QVariantMap{{"tab::x", date("2025-12-31T11:00:00Z")}});
    auto store = makeStore();
    EXPECT_TRUE(store->appMap().isEmpty());
    EXPECT_EQ(store->score(QStringLiteral("tab::x")), fromSecondsSince1970(1767178800));

    store->touchApp(QStringLiteral("com.example.c"), 0);
    runtime.advance(0.5);
    EXPECT_EQ(runtime.defaults().dictionary(MRUStore::appKey),
              (QVariantMap{{"com.example.c", date("2026-01-01T00:00:00Z")}}));

    runtime.defaults().set(MRUStore::windowKey, QVariantList{date("2025-12-31T10:00:00Z")});
    EXPECT_TRUE(makeStore()->windowMap().isEmpty());
}

TEST_F(MRUStoreTest, TouchesAndScoresFromTwoThreadsKeepEveryKey)
{
    auto store = makeStore();
    auto work = [&store](const QString& prefix) {
        for (int i = 0; i < 200; ++i) {
            store->touch(prefix + QString::number(i));
            store->score(prefix + QString::number(i / 2), QStringLiteral("com.example.app"));
        }
    };
    std::thread first(work, QStringLiteral("first"));
    std::thread second(work, QStringLiteral("second"));
    first.join();
    second.join();
    EXPECT_EQ(store->windowMap().size(), 400);
}

// Two terminals titled "bash" share a persisted key; while they exist each has its own
// recency, and the persisted key carries the latest use into the next run.
TEST_F(MRUStoreTest, WindowsWithOneKeyKeepTheirOwnRecencyWhileTheyExist)
{
    const QString bash = QStringLiteral("org.example.Term::bash");
    auto store = makeStore();
    store->touch(bash, 1);
    runtime.clock.advance(1);
    store->touch(bash, 2);
    EXPECT_EQ(store->rank(bash, std::nullopt, 1).score, startPlus(0));
    EXPECT_EQ(store->rank(bash, std::nullopt, 2).score, startPlus(1));
    // A third "bash" never used in this run does not inherit the others' time.
    EXPECT_EQ(store->rank(bash, std::nullopt, 3).score, distantPast());
    EXPECT_EQ(store->windowMap().value(bash), startPlus(1));

    runtime.advance(MRUStore::persistDelay);
    auto restarted = makeStore();
    EXPECT_EQ(restarted->rank(bash, std::nullopt, 1).score, startPlus(1)) << "an earlier run's time counts";
    restarted->touch(bash, 5);
    EXPECT_EQ(restarted->rank(bash, std::nullopt, 1).score, distantPast()) << "the key is window 5's now";

    // A number that comes back for another window starts without its predecessor's time.
    restarted->keepWindows({});
    EXPECT_EQ(restarted->rank(bash, std::nullopt, 5).score, distantPast());
}

TEST_F(MRUStoreTest, AFocusedWindowIsStampedUnderItsNumberToo)
{
    runApp(7, QStringLiteral("bash"));
    const AXElement window = runtime.accessibility.copyElement(runtime.accessibility.createApplication(7), AX::focusedWindow);
    runtime.accessibility.setWindowNumber(window, 42);
    auto store = makeStore();
    store->touch(QStringLiteral("org.example.Term::bash"), 41);
    runtime.clock.advance(1);
    store->touchApp(QStringLiteral("org.example.Term"), 7);
    EXPECT_GT(store->rank(QStringLiteral("org.example.Term::bash"), std::nullopt, 42).own,
              store->rank(QStringLiteral("org.example.Term::bash"), std::nullopt, 41).own);
}

// Terminal A, then an editor, then terminal B (one desktop entry for both terminals): the
// window used before B is the editor, so it must rank above A although A's program is the
// most recent one.
TEST_F(MRUStoreTest, AWindowUsedInThisRunIsNotLiftedByItsProgramsLaterUse)
{
    const QString term = QStringLiteral("org.example.Term");
    const QString editor = QStringLiteral("org.example.Editor");
    auto store = makeStore();
    const auto use = [&](const QString& app, const QString& title, quint32 number) {
        store->touchApp(app, 0);
        store->touch(app + QStringLiteral("::") + title, number);
        runtime.clock.advance(1);
    };
    use(term, QStringLiteral("A"), 1);
    use(editor, QStringLiteral("notes"), 2);
    use(term, QStringLiteral("B"), 3);
    const auto rank = [&](const QString& app, const char* title, quint32 number) {
        return store->rank(app + QStringLiteral("::") + QString::fromLatin1(title), app, number);
    };
    EXPECT_GT(rank(term, "B", 3), rank(editor, "notes", 2));
    EXPECT_GT(rank(editor, "notes", 2), rank(term, "A", 1));
    // A window of the program not used in this run still ranks with its program.
    EXPECT_EQ(rank(term, "C", 4).score, startPlus(2));
}
