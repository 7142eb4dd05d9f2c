#pragma once

#include "core/sources/BrowserTabStatus.h"
#include "ui/PreferencesPaneView.h"

class QComboBox;
class QPushButton;

namespace ostrevane {

class PermissionRow;

// The General pane: the activation hotkey, what the switcher needs from the desktop
// (the window manager, browser tabs), language, panel side and display, launch at login
// and updates. Where the desktop has no privacy settings to open (Linux), the rows say
// what is needed there and offer no settings button.
class PreferencesView : public PreferencesPaneView {
    Q_OBJECT

public:
    // How long each browser may take to answer the tab status scripts.
    static constexpr double browserStatusTimeout = 2.0;

    explicit PreferencesView(const PreferencesEnvironment& environment, QWidget* parent = nullptr);

    void reload() override;

    HotkeyRecorderView* hotkeyRecorder() const { return m_recorder; }
    QPushButton* resetHotkeyButton() const { return m_resetHotkey; }
    PermissionRow* accessibilityRow() const { return m_accessibility; }
    PermissionRow* browserTabsRow() const { return m_browserTabs; }
    QComboBox* languagePicker() const { return m_language; }
    SegmentedPicker* panelSidePicker() const { return m_edge; }
    QComboBox* displayPicker() const { return m_display; }
    ToggleSwitch* launchAtLoginSwitch() const { return m_launchAtLogin; }
    SettingsRow* launchAtLoginRow() const { return m_launchAtLoginRow; }
    QPushButton* checkNowButton() const { return m_checkNow; }
    ToggleSwitch* automaticChecksSwitch() const { return m_automaticChecks; }
    ToggleSwitch* automaticDownloadsSwitch() const { return m_automaticDownloads; }
    BrowserTabStatus browserTabStatus() const { return m_browserTabStatus; }

    // Asks the browsers again (the Test button).
    void testBrowserTabs();

private:
    void buildKeyboard();
    void buildRequirements();
    void buildBehavior();
    void buildUpdates();
    void reloadRequirements();
    void reloadBehavior();
    void reloadUpdates();
    void setLaunchAtLogin(bool enabled);

    HotkeyRecorderView* m_recorder = nullptr;
    QPushButton* m_resetHotkey = nullptr;
    PermissionRow* m_accessibility = nullptr;
    PermissionRow* m_browserTabs = nullptr;
    QComboBox* m_language = nullptr;
    SegmentedPicker* m_edge = nullptr;
    QComboBox* m_display = nullptr;
    ToggleSwitch* m_launchAtLogin = nullptr;
    SettingsRow* m_launchAtLoginRow = nullptr;
    QPushButton* m_checkNow = nullptr;
    ToggleSwitch* m_automaticChecks = nullptr;
    ToggleSwitch* m_automaticDownloads = nullptr;
    BrowserTabStatus m_browserTabStatus;
    bool m_launchAtLoginFailed = false;
};

} // namespace ostrevane
