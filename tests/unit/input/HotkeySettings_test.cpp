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

TEST(HotkeyConfig, LinuxDesktopsReadChordsAsWordsJoinedByPlus)
{
    const struct {
        HotkeyConfig chord;
        const char* words;
    } rows[] = {
        {{48, 0x800 | 0x200}, "Alt+Shift+Tab"},
        {{49, 0x1000 | 0x800 | 0x200 | 0x100}, "Ctrl+Alt+Shift+Super+Space"},
        {{7, 0x400}, "X"}, // a bit that is no modifier shows nothing
        {{53, 0}, "Esc"},
        {{126, 0x800}, "Alt+Up"},
        {{105, 0x800}, "Alt+Key#105"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.chord.displayString(ChordStyle::words), QString::fromUtf8(row.words)) << row.words;
}

TEST(HotkeyConfig, TheInstalledProfileChoosesHowChordsAreShown)
{
    TestRuntime mac; // the simulated desktop speaks the Mac's glyphs
    EXPECT_EQ((HotkeyConfig{7, 0x800}).displayString(), QStringLiteral("⌥X"));
    const PlatformProfile linux = PlatformProfile::linuxDesktop({QStringLiteral("org.example.Files"), {}});
    mac.context().ports().profile = &linux;
    EXPECT_EQ((HotkeyConfig{7, 0x800}).displayString(), QStringLiteral("Alt+X"));
}
