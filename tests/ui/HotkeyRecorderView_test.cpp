#include "PreferencesTestKit.h"

#include "core/shell/AppDelegate.h"
#include "core/model/Localization.h"
#include "ui/HotkeyRecorderView.h"

#include <QSignalSpy>

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

TEST(HotkeyRecorderView, CapturesAKeyWithModifiersAsACarbonChordAndStopsRecording)
{
    RecorderFixture f(false);
    f.click();
    EXPECT_TRUE(f.recorder->isRecording());
    EXPECT_EQ(f.recorder->displayText(), QStringLiteral("Press keys…"));
    f.press(Qt::Key_Alt, Qt::AltModifier); // a modifier alone waits for its key
    f.press(Qt::Key_Shift, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_TRUE(f.recorder->isRecording());
    f.press(Qt::Key_Backtab, Qt::AltModifier | Qt::ShiftModifier);
    ASSERT_EQ(f.captures.size(), 1u);
    EXPECT_EQ(f.captures[0], (HotkeyConfig{48, 0x800 | 0x200}));
    EXPECT_FALSE(f.recorder->isRecording());
    EXPECT_EQ(f.feedback.beeps, 0);
    // The owner decides whether the capture becomes the value.
    EXPECT_EQ(f.recorder->config(), HotkeyConfig::defaultConfig());
}

TEST(HotkeyRecorderView, PlainKeysOnlyBeepUnlessPlainSpecialKeysAreAllowedAndThenOnlyArrowsReturnAndTab)
{
    const struct {
        const char* name;
        bool allowed;
        int key;
        std::optional<quint32> capturedKeyCode;
    } rows[] = {
        {"tab in the activation recorder", false, Qt::Key_Tab, std::nullopt},
        {"return in the activation recorder", false, Qt::Key_Return, std::nullopt},
        {"tab in an action recorder", true, Qt::Key_Tab, 48},
        {"return in an action recorder", true, Qt::Key_Return, 36},
        {"up arrow in an action recorder", true, Qt::Key_Up, 126},
        {"left arrow in an action recorder", true, Qt::Key_Left, 123},
        {"a letter in an action recorder", true, Qt::Key_W, std::nullopt},
        {"space in an action recorder", true, Qt::Key_Space, std::nullopt},
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

TEST(HotkeyRecorderView, EscapeEndsRecordingWithoutACaptureAndCannotBeRecorded)
{
    RecorderFixture f(true);
    f.click();
    f.press(Qt::Key_Escape, Qt::AltModifier);
    EXPECT_FALSE(f.recorder->isRecording());
    EXPECT_TRUE(f.captures.empty());
    EXPECT_EQ(f.feedback.beeps, 0);
}

TEST(HotkeyRecorderView, AClickTogglesRecordingAndSpaceStartsItFromTheKeyboard)
{
    RecorderFixture f(false);
    f.click();
    f.click();
    EXPECT_FALSE(f.recorder->isRecording());
    f.recorder->setFocus();
    f.press(Qt::Key_Space);
    EXPECT_TRUE(f.recorder->isRecording());
    EXPECT_TRUE(f.captures.empty());
}

TEST(HotkeyRecorderView, ShowsAValueChangedElsewhere)
{
    RecorderFixture f(false);
    f.recorder->setConfig(HotkeyConfig{49, 0x1000});
    EXPECT_EQ(f.recorder->displayText(), (HotkeyConfig{49, 0x1000}).displayString());
}

// The program's own grab of the activation chord would swallow the chord being recorded.
TEST(HotkeyRecorderView, TheGlobalChordIsReleasedWhileRecordingAndTakenAgainHoweverRecordingEnds)
{
    const struct {
        const char* name;
        std::function<void(RecorderFixture&)> end;
    } endings[] = {
        {"capture", [](RecorderFixture& f) { f.press(Qt::Key_Space, Qt::ControlModifier); }},
        {"escape", [](RecorderFixture& f) { f.press(Qt::Key_Escape); }},
        {"second click", [](RecorderFixture& f) { f.click(); }},
        {"window hidden", [](RecorderFixture& f) { f.window.hide(); }},
        {"recorder destroyed", [](RecorderFixture& f) { delete f.recorder; }},
    };
    for (const auto& ending : endings) {
        RecorderFixture f(false);
        FakeScreens screens;
        FakePanelWindowFactory windows;
        FakeInputMonitors monitors;
        FakeHotkeyService hotkeys;
        AppDelegate delegate(AppDelegate::Ports{{screens, windows, monitors, f.feedback},
                                                std::make_shared<GlobalHotKey::Registry>(hotkeys, f.runtime.dispatcher()),
                                                nullptr, nullptr, QString(), {}, {}});
        ASSERT_TRUE(delegate.applicationDidFinishLaunching());
        f.recorder->setHotKeySuspender([&delegate] { return delegate.suspendHotKeys(); });
        // The activation chord and its reverse with Shift.
        ASSERT_EQ(hotkeys.registered.size(), 2u) << ending.name;

        bool suspendedWhenCaptured = false;
        QObject::connect(f.recorder, &HotkeyRecorderView::captured, [&] {
            // Storing the capture now registers the chord once, when recording ends.
            suspendedWhenCaptured = delegate.areHotKeysSuspended();
        });
        f.click();
        EXPECT_TRUE(hotkeys.registered.empty()) << ending.name;
        ending.end(f);
        EXPECT_EQ(suspendedWhenCaptured, ending.name == std::string("capture")) << ending.name;
        ASSERT_EQ(hotkeys.registered.size(), 2u) << ending.name;
        EXPECT_EQ(hotkeys.registered.begin()->second, (FakeHotkeyService::Chord{48, 0x800})) << ending.name;
    }
}
