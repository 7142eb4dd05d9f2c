#pragma once

#include "core/input/ShortcutStore.h"
#include "ui/PreferencesPaneView.h"

#include <map>

class QPushButton;

namespace ostrevane {

// The Shortcuts pane: the activation hotkey, then the in-panel shortcuts by group, each
// with a recorder, a Reset button and, while it collides with another action (or the
// last capture was refused for colliding), "Conflicts with <action>". A capture that
// another action already uses beeps and keeps the old chord; openSelected and search
// may share one.
class ShortcutsPane : public PreferencesPaneView {
    Q_OBJECT

public:
    explicit ShortcutsPane(const PreferencesEnvironment& environment, QWidget* parent = nullptr);

    void reload() override;

    const ShortcutMap& hotkeys() const { return m_hotkeys; }
    HotkeyRecorderView* activationRecorder() const { return m_activation; }
    QPushButton* activationResetButton() const { return m_activationReset; }
    HotkeyRecorderView* recorder(ShortcutAction action) const;
    QPushButton* resetButton(ShortcutAction action) const;
    SettingsRow* row(ShortcutAction action) const;
    QPushButton* resetAllButton() const { return m_resetAll; }

    // What capturing `chord` for `action` does: store it, or beep on a conflict.
    void capture(ShortcutAction action, const HotkeyConfig& chord);
    void reset(ShortcutAction action);
    void resetAll();

private:
    struct ActionRow {
        SettingsRow* row = nullptr;
        HotkeyRecorderView* recorder = nullptr;
        QPushButton* reset = nullptr;
    };
    void buildActivation();
    void buildGroup(ShortcutGroup group);
    void showConflicts();

    HotkeyRecorderView* m_activation = nullptr;
    QPushButton* m_activationReset = nullptr;
    QPushButton* m_resetAll = nullptr;
    std::map<ShortcutAction, ActionRow> m_rows;
    ShortcutMap m_hotkeys;
    // The action each refused capture collided with, until that action's next change.
    std::map<ShortcutAction, ShortcutAction> m_refused;
};

} // namespace ostrevane
