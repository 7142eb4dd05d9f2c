#include "ui/AppearancePane.h"

#include "core/shell/NotificationCenter.h"
#include "core/model/PanelSettings.h"


namespace ostrevane {


AppearancePane::AppearancePane(const PreferencesEnvironment& environment, QWidget* parent)
    : PreferencesPaneView(PreferencesPane::appearance, environment, parent)
    , m_fontSize(new SegmentedPicker(this))
    , m_width(new SegmentedPicker(this))
    , m_showApps(new ToggleSwitch(this))
    , m_preferTabs(new ToggleSwitch(this))
{
    SettingsSection* panel = addSection(QT_TRANSLATE_NOOP("Ostrevane", "Panel"));
    addRow(panel, QT_TRANSLATE_NOOP("Ostrevane", "Font size"),
           QT_TRANSLATE_NOOP("Ostrevane", "Scales titles, subtitles and the search field."))
        ->addControl(m_fontSize);
    addRow(panel, QT_TRANSLATE_NOOP("Ostrevane", "Panel width"),
           QT_TRANSLATE_NOOP("Ostrevane", "Compact = 290 px · Normal = 340 px · Wide = 400 px"))
        ->addControl(m_width);
    SettingsSection* contents = addSection(QT_TRANSLATE_NOOP("Ostrevane", "List Contents"));
    addRow(contents, QT_TRANSLATE_NOOP("Ostrevane", "Show apps without windows"),
           QT_TRANSLATE_NOOP("Ostrevane", "When off, only running windows and browser tabs are shown."))
        ->addControl(m_showApps);
    addRow(contents, QT_TRANSLATE_NOOP("Ostrevane", "Prefer browser tabs"),
           QT_TRANSLATE_NOOP("Ostrevane",
                             "When the active app is a supported browser, open directly into that browser's tab list."))
        ->addControl(m_preferTabs);
    detail()->finish();

    connect(m_fontSize, &SegmentedPicker::activated, this, [this](int index) {
        PanelSettings::setFontSize(PanelFontSizes::allCases().value(index, PanelFontSize::normal));
        reload();
    });
    connect(m_width, &SegmentedPicker::activated, this, [this](int index) {
        PanelSettings::setWidth(PanelWidths::allCases().value(index, PanelWidth::normal));
        reload();
    });
    connect(m_showApps, &QAbstractButton::toggled, this, [this](bool on) {
        PanelSettings::setShowAppsWithoutWindows(on);
        reload();
    });
    connect(m_preferTabs, &QAbstractButton::toggled, this, [this](bool on) {
        PanelSettings::setPreferBrowserTabsWhenFrontmost(on);
        reload();
    });
    observe(Notifications::panelSettingsChanged, [this] { reload(); });
    reload();
}

void AppearancePane::reload()
{
    showCases(m_fontSize, PanelFontSizes::allCases(), &PanelFontSizes::title, PanelSettings::fontSize());
    showCases(m_width, PanelWidths::allCases(), &PanelWidths::title, PanelSettings::width());
    showSwitch(m_showApps, PanelSettings::showAppsWithoutWindows());
    showSwitch(m_preferTabs, PanelSettings::preferBrowserTabsWhenFrontmost());
}

} // namespace ostrevane
