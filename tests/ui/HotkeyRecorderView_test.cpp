#include "PreferencesTestKit.h"

#include "ui/HotkeyRecorderView.h"

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace ostrevane::prefskit;

namespace {

struct RecorderFixture {
    TestRuntime runtime;
    CountingFeedback feedback;
    QWidget window;
    HotkeyRecorderView* recorder = nullptr;
    std::vector<HotkeyConfig> captures;

    explicit RecorderFixture(bool allowPlainSpecialKeys)
    {
        recorder = new HotkeyRecorderView(HotkeyConfig::defaultConfig(), allowPlainSpecialKeys, &window);
        recorder->setBeep([this] { feedback.beep(); });
        QObject::connect(recorder, &HotkeyRecorderView::captured,
                         [this](const HotkeyConfig& chord) { captures.push_back(chord); });
        window.show();
        window.activateWindow();
    }
    void click() { QTest::mouseClick(recorder, Qt::LeftButton); }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { pressKey(recorder, key, modifiers); }
};

} // namespace

// A chord with modifiers recorded and taken as the hotkey is proven end to end; an owner
// keeping its old chord on a conflict, in the preferences window tests.
TEST(HotkeyRecorderView, PlainKeysOnlyBeepUnlessPlainSpecialKeysAreAllowedAndThenOnlyArrowsReturnAndTab)
{
    const struct {
        const char* name;
        bool allowed;
        int key;
        std::optional<quint32> capturedKeyCode;
    } rows[] = {
        {"tab in the activation recorder", false, Qt::Key_Tab, std::nullopt},
        {"tab in an action recorder", true, Qt::Key_Tab, 48},
        {"up arrow in an action recorder", true, Qt::Key_Up, 126},
        {"a letter in an action recorder", true, Qt::Key_W, std::nullopt},
    };
    for (const auto& row : rows) {
        RecorderFixture f(row.allowed);
        f.click();
        f.press(row.key);
        if (row.capturedKeyCode) {
            ASSERT_EQ(f.captures.size(), 1u) << row.name;
            EXPECT_EQ(f.captures[0], (HotkeyConfig{*row.capturedKeyCode, 0})) << row.name;
            EXPECT_EQ(f.feedback.beeps, 0) << row.name;
        } else {
            EXPECT_TRUE(f.captures.empty()) << row.name;
            EXPECT_EQ(f.feedback.beeps, 1) << row.name;
            EXPECT_TRUE(f.recorder->isRecording()) << row.name; // recording goes on
        }
    }
}

// The program's own grab of the activation chord would swallow the chord being recorded:
// it is let go while recording and taken again however recording ends, after the capture
// is reported (so the stored chord is grabbed once).
TEST(HotkeyRecorderView, TheGlobalChordIsReleasedWhileRecordingAndTakenAgainHoweverRecordingEnds)
{
    const struct {
        const char* name;
        std::function<void(RecorderFixture&)> end;
    } endings[] = {
        {"capture", [](RecorderFixture& f) { f.press(Qt::Key_Space, Qt::ControlModifier); }},
        {"escape, which cannot be recorded", [](RecorderFixture& f) { f.press(Qt::Key_Escape, Qt::AltModifier); }},
        {"second click", [](RecorderFixture& f) { f.click(); }},
        {"window hidden", [](RecorderFixture& f) { f.window.hide(); }},
        {"recorder destroyed", [](RecorderFixture& f) { delete f.recorder; }},
    };
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.name);
        RecorderFixture f(false);
        int holds = 0;
        f.recorder->setHotKeySuspender([&holds] {
            ++holds;
            return std::shared_ptr<void>(&holds, [](int* count) { --*count; });
        });
        bool heldWhenCaptured = false;
        QObject::connect(f.recorder, &HotkeyRecorderView::captured, [&] { heldWhenCaptured = holds > 0; });
        f.click();
        EXPECT_EQ(holds, 1);
        ending.end(f);
        EXPECT_EQ(heldWhenCaptured, ending.name == std::string("capture"));
        EXPECT_EQ(holds, 0);
        EXPECT_EQ(f.feedback.beeps, 0);
    }
}
