#include "core/HotkeySettings.h"

#include "support/TestRuntime.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace ostrevane;

TEST(HotkeyStore, AnUnreadableChordStoredMeansOptionTab)
{
    const HotkeyConfig optionTab{48, 2048};
    const struct {
        const char* name;
        QVariant stored;
        HotkeyConfig expected;
    } rows[] = {
        {"not JSON", QByteArray("{keyCode: 7"), optionTab},
        {"missing carbonModifiers", QByteArray(R"({"keyCode": 7})"), optionTab},
        {"negative key code", QByteArray(R"({"keyCode": -1, "carbonModifiers": 256})"), optionTab},
        {"mask beyond 32 bits", QByteArray(R"({"keyCode": 7, "carbonModifiers": 4294967296})"), optionTab},
        {"text instead of data", QStringLiteral(R"({"keyCode": 7, "carbonModifiers": 256})"), optionTab},
        {"extra members are ignored", QByteArray(R"({"keyCode": 4294967295, "carbonModifiers": 0, "label": "x"})"),
         {4294967295u, 0}},
    };
    for (const auto& row : rows) {
        TestRuntime runtime;
        runtime.defaults().set(HotkeyStore::defaultsKey, row.stored);
        EXPECT_EQ(HotkeyStore::current(), row.expected) << row.name;
    }
}

TEST(HotkeyStore, AWriteRepairsAGarbledChordAndSurvivesRelaunch)
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

TEST(HotkeyConfig, DisplayStringOrdersModifiersControlOptionShiftCommand)
{
    const struct {
        HotkeyConfig chord;
        const char* expected;
    } rows[] = {
        {{48, 0x800}, "⌥⇥"},
        {{49, 0x1000 | 0x800 | 0x200 | 0x100}, "⌃⌥⇧⌘Space"},
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
        {0x20000 | 0x40000 | 0x80000 | 0x100000, 0x1b00}, // all four
        {0x10000 | 0x200000 | 0x800000, 0},                // caps lock, numeric pad, function
        {0x80000 | 0x800000, 0x800},                       // Option on the function row
    };
    for (const auto& row : rows)
        EXPECT_EQ(carbonFlags(row.flags), row.expected) << std::hex << row.flags;
}
