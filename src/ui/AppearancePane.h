#pragma once

#include "ui/PreferencesPaneView.h"

namespace ostrevane {

// The Appearance pane: the panel's font size and width, and which rows it lists.
class AppearancePane : public PreferencesPaneView {
    Q_OBJECT

public:
    explicit AppearancePane(const PreferencesEnvironment& environment, QWidget* parent = nullptr);

    void reload() override;

    SegmentedPicker* fontSizePicker() const { return m_fontSize; }
    SegmentedPicker* widthPicker() const { return m_width; }
    ToggleSwitch* showAppsWithoutWindowsSwitch() const { return m_showApps; }
    ToggleSwitch* preferBrowserTabsSwitch() const { return m_preferTabs; }

private:
    SegmentedPicker* m_fontSize;
    SegmentedPicker* m_width;
    ToggleSwitch* m_showApps;
    ToggleSwitch* m_preferTabs;
};

} // namespace ostrevane
