#include "ui/PreferencesView.h"

#include "core/shell/AppDelegate.h"
#include "core/input/HotkeySettings.h"
#include "core/model/Localization.h"
#include "core/shell/LoginItemController.h"
#include "core/shell/NotificationCenter.h"
#include "core/model/PanelSettings.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/platform/Accessibility.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

namespace ostrevane {

namespace {

RuntimeContext& context() { return RuntimeContext::current(); }

QString localized(const char* english) { return Localization::shared().string(english); }

// Whether the desktop has privacy settings we can send a person to. Where it has none
// (X11 asks no permission of a window switcher), the rows say what is needed instead.
bool hasPrivacySettings() { return !context().profile().privacyPaneURLPrefix.isEmpty(); }

QString accessibilityDetail(bool trusted)
{
    if (trusted)
        return localized(QT_TRANSLATE_NOOP("Ostrevane", "Ready. Ostrevane can listen for the shortcut and activate windows."));
    if (hasPrivacySettings())
        return localized(QT_TRANSLATE_NOOP("Ostrevane",
                                    "Required. Enable Ostrevane in System Settings → Privacy & Security → Accessibility."));
    return localized(QT_TRANSLATE_NOOP("Ostrevane", "Required. Ostrevane needs an X11 session with a window manager that "
                                             "supports EWMH, such as openbox, Xfwm, KWin or Mutter."));
}

QString browserTabsDetail(const BrowserTabStatus& status)
{
    const bool macOS = hasPrivacySettings();
    switch (status.kind) {
    case BrowserTabStatus::Kind::ready:
        return Localization::shared().format(
            QT_TRANSLATE_NOOP("Ostrevane", "Ready. Ostrevane can read %d browser tabs."), {QString::number(status.count)});
    case BrowserTabStatus::Kind::degraded:
        return macOS ? localized(QT_TRANSLATE_NOOP("Ostrevane",
                                            "Limited tab data. Enable Automation for Ostrevane and the browser in "
                                            "System Settings."))
                     : localized(QT_TRANSLATE_NOOP("Ostrevane", "Limited tab data. Install the Ostrevane browser extension "
                                                         "to read full titles and addresses."));
    case BrowserTabStatus::Kind::blocked:
        return macOS ? localized(QT_TRANSLATE_NOOP("Ostrevane", "Blocked. Enable Automation for Ostrevane and the browser, "
                                                         "then restart the browser if needed."))
                     : localized(QT_TRANSLATE_NOOP("Ostrevane", "Blocked. Install the Ostrevane browser extension, then "
                                                         "restart the browser if needed."));
    case BrowserTabStatus::Kind::unavailable:
        break;
    }
    return localized(QT_TRANSLATE_NOOP("Ostrevane", "Open a supported browser first, then test tab tracking."));
}

PermissionState browserTabsState(const BrowserTabStatus& status)
{
    switch (status.kind) {
    case BrowserTabStatus::Kind::ready:
        return PermissionState::ready;
    case BrowserTabStatus::Kind::degraded:
    case BrowserTabStatus::Kind::blocked:
        return PermissionState::needsAction;
    case BrowserTabStatus::Kind::unavailable:
        break;
    }
    return PermissionState::info;
}

void fillCombo(QComboBox* combo, const QStringList& titles, int selected)
{
    const QSignalBlocker blocker(combo);
    combo->clear();
    combo->addItems(titles);
    combo->setCurrentIndex(selected);
}

// A switch bound to a setting that may be missing (no updater): disabled and off then.
void setSwitch(ToggleSwitch* toggle, const std::function<bool()>& read)
{
    showSwitch(toggle, read && read(), bool(read));
}

} // namespace

PreferencesView::PreferencesView(const PreferencesEnvironment& environment, QWidget* parent)
    : PreferencesPaneView(PreferencesPane::general, environment, parent)
    , m_browserTabStatus(context().browserStatus().status(browserStatusTimeout))
{
    buildKeyboard();
    buildRequirements();
    buildBehavior();
    buildUpdates();
    detail()->finish();
    observe(Notifications::panelSettingsChanged, [this] { reloadBehavior(); });
    reload();
}

void PreferencesView::buildKeyboard()
{
    SettingsRow* row = addRow(addSection(QT_TRANSLATE_NOOP("Ostrevane", "Keyboard")),
                              QT_TRANSLATE_NOOP("Ostrevane", "Activation Hotkey"),
                              QT_TRANSLATE_NOOP("Ostrevane", "Hold this shortcut to show Ostrevane."));
    m_recorder = makeRecorder(false, QSize(180, 28));
    m_resetHotkey = new QPushButton(this);
    row->addControl(m_recorder);
    row->addControl(m_resetHotkey);
    bindActivationHotkey(m_recorder, m_resetHotkey);
    texts().bind(
        m_resetHotkey,
        [] {
            return Localization::shared().format(QT_TRANSLATE_NOOP("Ostrevane", "Reset to %@"),
                                                 {HotkeyConfig::defaultConfig().displayString()});
        },
        [this](const QString& text) { m_resetHotkey->setText(text); });
}

void PreferencesView::buildRequirements()
{
    SettingsSection* section = detail()->addSection();
    texts().bind(
        section->title(),
        [] {
            return hasPrivacySettings() ? localized(QT_TRANSLATE_NOOP("Ostrevane", "Required Permission"))
                                        : localized(QT_TRANSLATE_NOOP("Ostrevane", "Requirements"));
        },
        [section](const QString& text) { section->title()->setText(text); });
    m_accessibility = new PermissionRow(this);
    section->addWidget(m_accessibility);
    texts().bind(
        m_accessibility->title(),
        [] {
            return hasPrivacySettings() ? localized(QT_TRANSLATE_NOOP("Ostrevane", "Accessibility"))
                                        : localized(QT_TRANSLATE_NOOP("Ostrevane", "Window Manager"));
        },
        [this](const QString& text) { m_accessibility->title()->setText(text); });
    texts().setText(m_accessibility->primaryButton(), QT_TRANSLATE_NOOP("Ostrevane", "Settings"));
    m_accessibility->secondaryButton()->hide();
    connect(m_accessibility->primaryButton(), &QAbstractButton::clicked, this,
            [] { openPrivacyPane(QStringLiteral("Privacy_Accessibility")); });

    m_browserTabs = new PermissionRow(this);
    section->addWidget(m_browserTabs);
    texts().setText(m_browserTabs->title(), QT_TRANSLATE_NOOP("Ostrevane", "Browser Tabs"));
    texts().setText(m_browserTabs->primaryButton(), QT_TRANSLATE_NOOP("Ostrevane", "Test"));
    texts().setText(m_browserTabs->secondaryButton(), QT_TRANSLATE_NOOP("Ostrevane", "Settings"));
    connect(m_browserTabs->primaryButton(), &QAbstractButton::clicked, this, &PreferencesView::testBrowserTabs);
    connect(m_browserTabs->secondaryButton(), &QAbstractButton::clicked, this,
            [] { openPrivacyPane(QStringLiteral("Privacy_Automation")); });
}

void PreferencesView::buildBehavior()
{
    SettingsSection* section = addSection(QT_TRANSLATE_NOOP("Ostrevane", "Behavior"));
    m_language = new QComboBox(this);
    addRow(section, QT_TRANSLATE_NOOP("Ostrevane", "Language"),
           QT_TRANSLATE_NOOP("Ostrevane", "Choose the display language used inside Ostrevane."))
        ->addControl(m_language);
    connect(m_language, &QComboBox::activated, this, [this](int index) {
        Localization::shared().setLanguage(AppLanguages::allCases().value(index, AppLanguage::system));
        reloadBehavior();
    });

    m_edge = new SegmentedPicker(this);
    addRow(section, QT_TRANSLATE_NOOP("Ostrevane", "Panel side"),
           QT_TRANSLATE_NOOP("Ostrevane", "Choose the screen edge Ostrevane slides in from."))
        ->addControl(m_edge);
    connect(m_edge, &SegmentedPicker::activated, this, [this](int index) {
        PanelSettings::setEdge(PanelEdges::allCases().value(index, PanelEdge::right));
        reloadBehavior();
    });

    m_display = new QComboBox(this);
    addRow(section, QT_TRANSLATE_NOOP("Ostrevane", "Display"),
           QT_TRANSLATE_NOOP("Ostrevane", "Choose which display Ostrevane appears on."))
        ->addControl(m_display);
    connect(m_display, &QComboBox::activated, this, [this](int index) {
        PanelSettings::setDisplay(PanelDisplays::allCases().value(index, PanelDisplay::pointer));
        reloadBehavior();
    });

    m_launchAtLogin = new ToggleSwitch(this);
    m_launchAtLoginRow = addRow(section, QT_TRANSLATE_NOOP("Ostrevane", "Launch at login"),
                                QT_TRANSLATE_NOOP("Ostrevane", "Start Ostrevane automatically when you sign in."));
    m_launchAtLoginRow->addControl(m_launchAtLogin);
    connect(m_launchAtLogin, &QAbstractButton::toggled, this, &PreferencesView::setLaunchAtLogin);
}

void PreferencesView::buildUpdates()
{
    SettingsSection* section = addSection(QT_TRANSLATE_NOOP("Ostrevane", "Updates"));
    m_checkNow = new QPushButton(this);
    texts().setText(m_checkNow, QT_TRANSLATE_NOOP("Ostrevane", "Check Now"));
    addRow(section, QT_TRANSLATE_NOOP("Ostrevane", "Check for Updates"),
           QT_TRANSLATE_NOOP("Ostrevane", "Look for a newer Ostrevane release now."))
        ->addControl(m_checkNow);
    connect(m_checkNow, &QPushButton::clicked, this, [this] {
        if (environment().updater.checkForUpdates)
            environment().updater.checkForUpdates();
    });

    m_automaticChecks = new ToggleSwitch(this);
    addRow(section, QT_TRANSLATE_NOOP("Ostrevane", "Automatically check for updates"),
           QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane will periodically check for new releases."))
        ->addControl(m_automaticChecks);
    connect(m_automaticChecks, &QAbstractButton::toggled, this, [this](bool on) {
        if (environment().updater.setAutomaticallyChecksForUpdates)
            environment().updater.setAutomaticallyChecksForUpdates(on);
        reloadUpdates();
    });

    m_automaticDownloads = new ToggleSwitch(this);
    addRow(section, QT_TRANSLATE_NOOP("Ostrevane", "Automatically download updates"),
           QT_TRANSLATE_NOOP("Ostrevane", "Download updates in the background after they are found."))
        ->addControl(m_automaticDownloads);
    connect(m_automaticDownloads, &QAbstractButton::toggled, this, [this](bool on) {
        if (environment().updater.setAutomaticallyDownloadsUpdates)
            environment().updater.setAutomaticallyDownloadsUpdates(on);
        reloadUpdates();
    });
}

void PreferencesView::reload()
{
    m_recorder->setConfig(HotkeyStore::current());
    reloadRequirements();
    reloadBehavior();
    reloadUpdates();
}

void PreferencesView::reloadRequirements()
{
    const bool trusted = context().accessibility().isProcessTrusted();
    m_accessibility->setState(trusted ? PermissionState::ready : PermissionState::needsAction);
    m_accessibility->detail()->setText(accessibilityDetail(trusted));
    m_accessibility->primaryButton()->setVisible(hasPrivacySettings());
    m_browserTabs->setState(browserTabsState(m_browserTabStatus));
    m_browserTabs->detail()->setText(browserTabsDetail(m_browserTabStatus));
    m_browserTabs->secondaryButton()->setVisible(hasPrivacySettings());
}

void PreferencesView::reloadBehavior()
{
    QStringList languages;
    for (const AppLanguage language : AppLanguages::allCases())
        languages << AppLanguages::displayName(language);
    fillCombo(m_language, languages, static_cast<int>(AppLanguages::allCases().indexOf(Localization::shared().language())));

    showCases(m_edge, PanelEdges::allCases(), &PanelEdges::title, PanelSettings::edge());

    QStringList displays;
    for (const PanelDisplay display : PanelDisplays::allCases())
        displays << PanelDisplays::title(display);
    fillCombo(m_display, displays, static_cast<int>(PanelDisplays::allCases().indexOf(PanelSettings::display())));

    showSwitch(m_launchAtLogin, LoginItemController::isEnabled());
    m_launchAtLoginRow->setMessage(m_launchAtLoginFailed ? LoginItemController::failureMessage() : QString());
}

void PreferencesView::reloadUpdates()
{
    const UpdaterControls& updater = environment().updater;
    m_checkNow->setEnabled(bool(updater.checkForUpdates));
    setSwitch(m_automaticChecks, updater.automaticallyChecksForUpdates);
    setSwitch(m_automaticDownloads, updater.automaticallyDownloadsUpdates);
}

void PreferencesView::setLaunchAtLogin(bool enabled)
{
    m_launchAtLoginFailed = LoginItemController::setEnabled(enabled).has_value();
    reloadBehavior(); // the real state: a failed change springs back
}

void PreferencesView::testBrowserTabs()
{
    m_browserTabStatus = context().browserStatus().status(browserStatusTimeout);
    reloadRequirements();
}

} // namespace ostrevane
