#include "ui/QtInputMonitors.h"
#include "ui/QtKeyCodes.h"
#include "ui/SearchField.h"
#include "support/QtPrinting.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

using namespace ostrevane;

TEST(QtKeyCodes, TranslatesQtKeysToTheChordKeyCodesAndCarbonMasksCountOnlyTheFourModifiers)
{
    struct Case {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        quint32 scanCode;
        std::optional<quint32> code;
    };
    const std::vector<Case> cases{
        {"Shift+Tab arrives as Backtab", Qt::Key_Backtab, Qt::ShiftModifier, 0, 48},
        {"arrows carry the keypad flag on X11", Qt::Key_Up, Qt::KeypadModifier, 0, 126},
        {"shifted 1", Qt::Key_Exclam, Qt::ShiftModifier, 0, 18},
        {"keypad 1", Qt::Key_1, Qt::KeypadModifier, 0, 83},
        {"Cyrillic letter on the W key", 0x0426, Qt::AltModifier, 25, 13},
        {"unknown key", Qt::Key_VolumeUp, Qt::NoModifier, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QtKeyCodes::keyCode(c.key, c.modifiers, c.scanCode), c.code);
    }
    EXPECT_EQ(QtKeyCodes::carbonModifiers(Qt::ShiftModifier | Qt::ControlModifier), 0x1200u);
    EXPECT_EQ(QtKeyCodes::carbonModifiers(Qt::AltModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier), 0x800u);
}

TEST(QtInputMonitors, OptionStateAfterModifierKeys)
{
    const QKeyEvent altDown(QEvent::KeyPress, Qt::Key_Alt, Qt::NoModifier);
    const QKeyEvent altUp(QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier);
    const QKeyEvent shiftUpWithAlt(QEvent::KeyRelease, Qt::Key_Shift, Qt::AltModifier | Qt::ShiftModifier);
    const QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(QtInputMonitors::optionHeldAfter(altDown), std::optional<bool>(true));
    EXPECT_EQ(QtInputMonitors::optionHeldAfter(altUp), std::optional<bool>(false));
    EXPECT_EQ(QtInputMonitors::optionHeldAfter(shiftUpWithAlt), std::optional<bool>(true));
    EXPECT_EQ(QtInputMonitors::optionHeldAfter(letter), std::nullopt);
}

namespace {

// Counts the presses of ordinary keys that reach it (QTest presses the modifier keys of
// a chord too).
class KeyCounter : public QWidget {
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!QtInputMonitors::optionHeldAfter(*event))
            ++presses;
    }
};

// A shown top-level widget whose native window receives the test's input.
struct Window {
    KeyCounter widget;
    Window()
    {
        widget.resize(200, 120);
        widget.show();
        widget.activateWindow();
        QCoreApplication::processEvents();
    }
    QWindow* handle() { return widget.windowHandle(); }
};

} // namespace

TEST(QtInputMonitors, KeyMonitorSeesTranslatedPressesOnceMaySwallowThemAndKnowsWhenTextIsComposed)
{
    Window window;
    window.widget.setFocus();
    QtInputMonitors monitors;
    std::vector<PanelKeyEvent> seen;
    bool swallow = true;
    monitors.addLocalKeyMonitor([&](const PanelKeyEvent& e) {
        seen.push_back(e);
        return swallow;
    });
    QTest::keyClick(window.handle(), Qt::Key_Tab, Qt::AltModifier | Qt::ShiftModifier);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].carbonModifiers, 0xA00u);
    EXPECT_EQ(window.widget.presses, 0);
    swallow = false;
    QTest::keyClick(window.handle(), Qt::Key_S);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(window.widget.presses, 1);

    // While an input method composes in the search field, presses are marked as composing.
    auto* field = new SearchField(&window.widget);
    field->show();
    field->setFocus();
    QInputMethodEvent preedit(QStringLiteral("ni"), {});
    QCoreApplication::sendEvent(field, &preedit);
    QTest::keyClick(window.handle(), Qt::Key_Return);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("你"));
    QCoreApplication::sendEvent(field, &commit);
    QTest::keyClick(window.handle(), Qt::Key_Return);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_TRUE(seen[2].composing);
    EXPECT_FALSE(seen[3].composing);
}
