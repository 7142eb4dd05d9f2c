#pragma once

#include "core/preferences/PreferencesPane.h"
#include "ui/PreferencesEnvironment.h"
#include "ui/SettingsViews.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

namespace ostrevane {

class HotkeyRecorderView;

// One pane of the preferences window: a scrolling column of sections whose texts follow
// the interface language. Every control writes through the setting's owner and then
// shows what the owner holds (reload()), so a refused or failed change springs back.
class PreferencesPaneView : public QWidget {
    Q_OBJECT

public:
    PreferencesPaneView(PreferencesPane pane, const PreferencesEnvironment& environment, QWidget* parent = nullptr);
    ~PreferencesPaneView() override;

    PreferencesPane pane() const { return m_pane; }
    // Shows every text in the current language, then the current state.
    void retranslate();
    // Reads every setting the pane shows from its owner.
    virtual void reload() = 0;
    // Puts the pane's controls in the focus chain in the order they are laid out (top to
    // bottom, left to right), whenever they were made.
    void orderFocusChain();

protected:
    SettingsDetail* detail() const { return m_detail; }
    LocalizedTexts& texts() { return m_texts; }
    const PreferencesEnvironment& environment() const { return m_environment; }
    // A section titled `title`, at the end of the column.
    SettingsSection* addSection(const char* title);
    // A row titled `title` with `detail` under it.
    SettingsRow* addRow(SettingsSection* section, const char* title, const char* detail);
    // A recorder for a chord, wired to release the global chord while it records and
    // to beep at a refused key.
    HotkeyRecorderView* makeRecorder(bool allowPlainSpecialKeys, QSize size);
    // Makes `recorder` and `reset` edit the activation hotkey: a capture or the default is
    // stored, the recorder shows what the store holds, and a change made elsewhere too.
    void bindActivationHotkey(HotkeyRecorderView* recorder, QAbstractButton* reset);
    // Runs `reaction` on the main thread after each post of `name` while the pane lives.
    void observe(const QString& name, std::function<void()> reaction);

private:
    PreferencesPane m_pane;
    PreferencesEnvironment m_environment;
    SettingsDetail* m_detail;
    LocalizedTexts m_texts;
    std::vector<std::uint64_t> m_observers;
};

} // namespace ostrevane
