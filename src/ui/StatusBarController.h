#pragma once

#include "core/preferences/PreferencesPane.h"
#include "core/platform/TrayHosts.h"
#include "ui/PreferencesEnvironment.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace ostrevane {

class PreferencesWindowController;

// The program's tray item and its menu of six commands (Show Ostrevane, Preferences…,
// Feedback…, Show Guide…, Check for Updates…, Quit Ostrevane), rebuilt in the new
// language whenever it changes. It also owns the preferences window: opening the
// preferences raises the open window on the requested pane, or builds a fresh one.
//
// Qt decides once per process between a StatusNotifierItem (when a watcher is
// registered) and an XEmbed icon. So the icon is only made once a host exists: when
// none does at start, that is said once in the log, and the icon is made when a host
// appears (a tray that starts after us is the usual race at login). A watcher that
// registers again (the panel restarted) gets a new icon. Main thread only.
class StatusBarController : public QObject {
    Q_OBJECT

public:
    struct Environment {
        PreferencesEnvironment preferences;
        TrayHosts* hosts = nullptr; // none: no tray icon is made
        std::function<void()> quit; // empty: the application's quit
    };

    explicit StatusBarController(Environment environment, QObject* parent = nullptr);
    ~StatusBarController() override;

    // Builds the menu afresh in the current language and gives it to the tray icon.
    void rebuildMenu();
    // Shows the preferences on `initialPane`: switches an open window to it and brings
    // it to the front, or opens a new window.
    void openPreferences(PreferencesPane initialPane);

    QMenu* menu() const { return m_menu.get(); }
    QSystemTrayIcon* statusItem() const { return m_statusItem.get(); }
    // The host the current icon was made for; none while there is no icon.
    TrayHosts::Kind statusItemKind() const { return m_statusItemKind; }
    PreferencesWindowController* preferences() const;

    // The menu's commands.
    void showSwitcher();
    void openPrefs();
    void openFeedback();
    void showGuide();
    void checkForUpdates();
    void quit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void hostAppeared(TrayHosts::Kind kind);
    void makeStatusItem(TrayHosts::Kind kind);
    QAction* addCommand(const char* title, void (StatusBarController::*command)());

    Environment m_environment;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    TrayHosts::Kind m_statusItemKind = TrayHosts::Kind::none;
    QPointer<PreferencesWindowController> m_prefs;
    std::uint64_t m_languageObserver = 0;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0); // held weakly by the hosts' callback
};

} // namespace ostrevane
