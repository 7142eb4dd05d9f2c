#include "core/input/HotkeySettings.h"

#include "support/TestRuntime.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace ostrevane;

TEST(HotkeyStore, AnUnreadableChordStoredMeansOptionTabAndExtraMembersAreIgnored)
{
    const std::pair<QVariant, HotkeyConfig> rows[] = {
        {QByteArray("{keyCode: 7"), {48, 2048}},
        {QByteArray(R"({"keyCode": 7})"), {48, 2048}},
        {QByteArray(R"({"keyCode": -1, "carbonModifiers": 256})"), {48, 2048}},
        {QByteArray(R"({"keyCode": 7, "carbonModifiers": 4294967296})"), {48, 2048}},
        {QStringLiteral(R"({"keyCode": 7, "carbonModifiers": 256})"), {48, 2048}}, // text instead of data
        {QByteArray(R"({"keyCode": 4294967295, "carbonModifiers": 0, "label": "x"})"), {4294967295u, 0}},
    };
    for (const auto& [stored, expected] : rows) {
        TestRuntime runtime;
        runtime.defaults().set(HotkeyStore::defaultsKey, stored);
        EXPECT_EQ(HotkeyStore::current(), expected) << stored.toString().toStdString();
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
    EXPECT_EQ((HotkeyConfig{48, 0x800}).displayString(), QStringLiteral("⌥⇥"));
    EXPECT_EQ((HotkeyConfig{49, 0x1000 | 0x800 | 0x200 | 0x100}).displayString(), QStringLiteral("⌃⌥⇧⌘Space"));
    EXPECT_EQ((HotkeyConfig{105, 0x800}).displayString(), QStringLiteral("⌥Key#105"));
    EXPECT_EQ((HotkeyConfig{7, 0x400}).displayString(), QStringLiteral("X")); // a bit that is no modifier shows nothing
}

TEST(HotkeyConfig, LinuxDesktopsReadChordsAsWordsJoinedByPlus)
{
    const struct {
        HotkeyConfig chord;
        const char* words;
    } rows[] = {
        {{48, 0x800}, "Alt+Tab"},
        {{48, 0x800 | 0x200}, "Alt+Shift+Tab"},
        {{7, 0x1000 | 0x800}, "Ctrl+Alt+X"},
        {{49, 0x100}, "Super+Space"},
        {{49, 0x1000 | 0x800 | 0x200 | 0x100}, "Ctrl+Alt+Shift+Super+Space"},
        {{53, 0}, "Esc"},
        {{36, 0x800}, "Alt+Enter"},
        {{51, 0x100}, "Super+Backspace"},
        {{126, 0x800}, "Alt+Up"},
        {{105, 0x800}, "Alt+Key#105"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.chord.displayString(ChordStyle::words), QString::fromUtf8(row.words));
}

TEST(HotkeyConfig, TheInstalledProfileChoosesHowChordsAreShown)
{
    TestRuntime mac; // the simulated desktop speaks the Mac's glyphs
    EXPECT_EQ((HotkeyConfig{7, 0x800}).displayString(), QStringLiteral("⌥X"));
    const PlatformProfile linux = PlatformProfile::linuxDesktop({QStringLiteral("org.example.Files"), {}});
    mac.context().ports().profile = &linux;
    EXPECT_EQ((HotkeyConfig{7, 0x800}).displayString(), QStringLiteral("Alt+X"));
}

TEST(HotkeyConfig, CarbonFlagsMapsTheFourModifiersAndIgnoresTheRest)
{
    EXPECT_EQ(carbonFlags(0x20000 | 0x40000 | 0x80000 | 0x100000), 0x1b00u); // all four
    EXPECT_EQ(carbonFlags(0x10000 | 0x200000 | 0x800000), 0u);               // caps lock, numeric pad, function
    EXPECT_EQ(carbonFlags(0x80000 | 0x800000), 0x800u);                       // Option on the function row
}
