#include "core/HotkeySettings.h"

#include "core/NotificationCenter.h"
#include "support/TestRuntime.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

void countPosts(const QString& name, int& counter)
{
    NotificationCenter::shared().addObserver(name, [&counter] { ++counter; });
}

} // namespace

TEST(HotkeyStore, NothingStoredMeansOptionTab)
{
    TestRuntime runtime;
    const HotkeyConfig chord = HotkeyStore::current();
    EXPECT_EQ(chord.keyCode, 48u);
    EXPECT_EQ(chord.carbonModifiers, 2048u);
    EXPECT_EQ(chord.displayString(), QStringLiteral("⌥⇥"));
}

TEST(HotkeyStore, UnreadableStoredChordFallsBackToOptionTab)
{
    const struct {
        const char* name;
        QVariant stored;
    } rows[] = {
        {"not JSON", QByteArray("{keyCode: 7")},
        {"JSON array", QByteArray("[7, 256]")},
        {"missing carbonModifiers", QByteArray(R"({"keyCode": 7})")},
        {"missing keyCode", QByteArray(R"({"carbonModifiers": 256})")},
        {"key code as text", QByteArray(R"({"keyCode": "7", "carbonModifiers": 256})")},
        {"negative key code", QByteArray(R"({"keyCode": -1, "carbonModifiers": 256})")},
        {"fractional mask", QByteArray(R"({"keyCode": 7, "carbonModifiers": 256.5})")},
        {"mask beyond 32 bits", QByteArray(R"({"keyCode": 7, "carbonModifiers": 4294967296})")},
        {"text instead of data", QStringLiteral(R"({"keyCode": 7, "carbonModifiers": 256})")},
    };
    for (const auto& row : rows) {
        TestRuntime runtime;
        runtime.defaults().set(HotkeyStore::defaultsKey, row.stored);
        EXPECT_EQ(HotkeyStore::current(), (HotkeyConfig{48, 2048})) << row.name;
    }
}

TEST(HotkeyStore, ExtraMembersAreIgnoredWhenReading)
{
    TestRuntime runtime;
    runtime.defaults().set(HotkeyStore::defaultsKey,
                           QByteArray(R"({"keyCode": 4294967295, "carbonModifiers": 0, "label": "x"})"));
    EXPECT_EQ(HotkeyStore::current(), (HotkeyConfig{4294967295u, 0}));
}

TEST(HotkeyStore, WritingRepairsAGarbledChordAndSurvivesRelaunch)
{
    TestRuntime runtime;
    runtime.defaults().set(HotkeyStore::defaultsKey, QByteArray("garbage"));
    HotkeyStore::setCurrent(HotkeyConfig{7, 256});
    runtime.restart();

    EXPECT_EQ(HotkeyStore::current(), (HotkeyConfig{7, 256}));
    const auto blob = runtime.defaults().data(HotkeyStore::defaultsKey);
    ASSERT_TRUE(blob.has_value());
    EXPECT_EQ(QJsonDocument::fromJson(*blob).object(), (QJsonObject{{"keyCode", 7}, {"carbonModifiers", 256}}));
}

TEST(HotkeyStore, EverySetPostsHotkeyChangedEvenWhenUnchanged)
{
    TestRuntime runtime;
    int posts = 0;
    countPosts(Notifications::hotkeyChanged, posts);

    HotkeyStore::setCurrent(HotkeyConfig{48, 2048});
    HotkeyStore::setCurrent(HotkeyConfig{48, 2048});
    HotkeyStore::setCurrent(HotkeyConfig{49, 256});

    EXPECT_EQ(posts, 3);
}

TEST(HotkeyConfig, DisplayStringOrdersModifiersControlOptionShiftCommand)
{
    const struct {
        HotkeyConfig chord;
        const char* expected;
    } rows[] = {
        {{48, 0x800}, "⌥⇥"},
        {{49, 0x1000 | 0x800 | 0x200 | 0x100}, "⌃⌥⇧⌘Space"},
        {{0, 0x100 | 0x200}, "⇧⌘A"},
        {{123, 0x1000 | 0x100}, "⌃⌘←"},
        {{36, 0}, "↩"},
        {{105, 0x800}, "⌥Key#105"},
        {{7, 0x400}, "X"}, // a bit that is no modifier shows nothing
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.chord.displayString(), QString::fromUtf8(row.expected)) << row.expected;
}

TEST(HotkeyConfig, CarbonFlagsMapsTheFourModifiersAndIgnoresTheRest)
{
    const struct {
        quint64 flags;
        quint32 expected;
    } rows[] = {
        {0x20000, 0x200},                                  // Shift
        {0x40000, 0x1000},                                 // Control
        {0x80000, 0x800},                                  // Option
        {0x100000, 0x100},                                 // Command
        {0x20000 | 0x40000 | 0x80000 | 0x100000, 0x1b00}, // all four
        {0x10000 | 0x200000 | 0x800000, 0},                // caps lock, numeric pad, function
        {0x80000 | 0x800000, 0x800},                       // Option on the function row
        {0, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(carbonFlags(row.flags), row.expected) << std::hex << row.flags;
}
