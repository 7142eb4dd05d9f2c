#include "platform/x11/X11GlobalMonitors.h"
#include "platform/x11/X11Keys.h"

#include <X11/keysym.h>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

constexpr quint32 command = 0x100, shift = 0x200, option = 0x800, control = 0x1000;
using Clock = OptionReleaseRace::Clock;

} // namespace

TEST(X11Keys, ChordKeyCodesAndKeysymsTranslateBothWays)
{
    const struct {
        quint32 code;
        xcb_keysym_t keysym;
    } rows[] = {{0, XK_a}, {48, XK_Tab}, {76, XK_KP_Enter}, {126, XK_Up}, {22, XK_6}, {23, XK_5}, {122, XK_F1}};
    for (const auto& row : rows) {
        EXPECT_EQ(X11Keys::keysym(row.code), row.keysym) << row.code;
        EXPECT_EQ(X11Keys::keyCode(row.keysym), row.code) << row.code;
    }
    EXPECT_EQ(X11Keys::keyCode(XK_W), 13u); // a shifted letter is the same key
    EXPECT_EQ(X11Keys::keysym(105), std::nullopt);
    EXPECT_EQ(X11Keys::keyCode(XK_F13), std::nullopt);
}

TEST(X11Keys, CarbonMasksMapToAltSuperShiftAndControl)
{
    EXPECT_EQ(X11Keys::xModifiers(control | option | shift | command),
              XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4);
    EXPECT_EQ(X11Keys::carbonModifiers(XCB_MOD_MASK_1 | XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK), option);
    EXPECT_EQ(X11Keys::carbonModifiers(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_4), control | command);
}

TEST(X11Keys, GrabsCoverEveryLockCombination)
{
    EXPECT_EQ(X11Keys::lockVariants(XCB_MOD_MASK_2),
              (std::vector<quint16>{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK}));
    EXPECT_EQ(X11Keys::lockVariants(0), (std::vector<quint16>{0, XCB_MOD_MASK_LOCK}));
}

TEST(X11Keys, KeymapBitsTellWhichKeysAreDown)
{
    quint8 keys[32] = {};
    keys[64 / 8] = 1 << (64 % 8); // keycode 64, the left Alt of a PC keyboard
    EXPECT_TRUE(X11Keys::anyKeyDown(keys, {64, 108}));
    EXPECT_FALSE(X11Keys::anyKeyDown(keys, {108}));
    EXPECT_FALSE(X11Keys::anyKeyDown(keys, {}));
}

TEST(OptionReleaseRace, AReleaseBeforeTheMonitorExistsIsReportedOnceWhenItIsInstalled)
{
    const Clock::time_point t0{};
    const struct {
        const char* name;
        bool pressedWithOption;
        bool releasedUnheard;
        bool optionDownAtInstall;
        std::chrono::milliseconds installAfter;
        bool reported;
    } rows[] = {
        {"quick Alt+Tab, release already seen", true, true, false, std::chrono::milliseconds(5), true},
        {"release not yet read, keymap says up", true, false, false, std::chrono::milliseconds(5), true},
        {"Alt still held", true, false, true, std::chrono::milliseconds(5), false},
        {"release seen but Alt pressed again", true, true, true, std::chrono::milliseconds(5), true},
        {"key pressed without Alt (test panel, menu)", false, false, false, std::chrono::milliseconds(5), false},
        {"too long after the press", true, true, false, std::chrono::milliseconds(1500), false},
    };
    for (const auto& row : rows) {
        OptionReleaseRace race;
        race.keyPressed(row.pressedWithOption, t0);
        if (row.releasedUnheard)
            race.optionReleased(false);
        EXPECT_EQ(race.monitorInstalled(row.optionDownAtInstall, t0 + row.installAfter), row.reported) << row.name;
        EXPECT_FALSE(race.monitorInstalled(false, t0 + row.installAfter)) << row.name << " (second install)";
    }
}

TEST(OptionReleaseRace, AReleaseAMonitorHeardIsNotReportedAgain)
{
    const Clock::time_point t0{};
    OptionReleaseRace race;
    race.keyPressed(true, t0);
    race.optionReleased(true);
    EXPECT_FALSE(race.monitorInstalled(false, t0 + std::chrono::milliseconds(10)));
}
