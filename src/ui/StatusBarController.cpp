#include "ui/StatusBarController.h"

#include "core/model/Localization.h"
#include "core/shell/NotificationCenter.h"
#include "core/shell/RuntimeContext.h"
#include "ui/OstrevaneMenuBarIcon.h"
#include "ui/PreferencesWindow.h"

#include <QApplication>
#include <QCursor>
#include <QLoggingCategory>
#include <QMenu>
#include <QSystemTrayIcon>

namespace ostrevane {

namespace {

// Which pane each opening asked for; on in the end-to-end tests.
Q_LOGGING_CATEGORY(preferencesLog, "ostrevane.preferences", QtWarningMsg)

NotificationCenter& notifications() { return RuntimeContext::current().notifications(); }

} // namespace

StatusBarController::StatusBarController(Environment environment, QObject* parent)
    : QObject(parent), m_environment(std::move(environment))
{
    rebuildMenu();
    m_languageObserver = notifications().addObserver(Notifications::languageChanged, [this] { rebuildMenu(); });
    if (qApp)
        qApp->installEventFilter(this); // palette changes recolour the icon
    if (!m_environment.hosts)
        return;
    const TrayHosts::Kind kind = m_environment.hosts->current();
    if (kind == TrayHosts::Kind::none)
        qWarning("Ostrevane: no system tray is running, so Ostrevane has no tray icon; open its preferences with "
                 "\"ostrevane --preferences\" or by starting it again");
    else
        makeStatusItem(kind);
    m_environment.hosts->watch([this, alive = std::weak_ptr<int>(m_lifetime)](TrayHosts::Kind appeared) {
        if (alive.lock())
            hostAppeared(appeared);
    });
}

StatusBarController::~StatusBarController()
{
    if (RuntimeContext::hasCurrent())
        notifications().removeObserver(m_languageObserver);
    if (m_prefs)
        delete m_prefs.data();
    m_statusItem.reset(); // before the menu it points at
}

void StatusBarController::hostAppeared(TrayHosts::Kind kind)
{
    // An XEmbed icon docks into a tray that starts later by itself, and cannot become a
    // StatusNotifierItem: Qt chose once. Otherwise a (re)started host gets a new icon.
    if (m_statusItemKind == TrayHosts::Kind::xembed)
        return;
    if (kind == TrayHosts::Kind::statusNotifier || m_statusItemKind == TrayHosts::Kind::none)
        makeStatusItem(m_environment.hosts->current());
}

void StatusBarController::makeStatusItem(TrayHosts::Kind kind)
{
    if (kind == TrayHosts::Kind::none)
        return;
    m_statusItem.reset();
    m_statusItem = std::make_unique<QSystemTrayIcon>(OstrevaneMenuBarIcon::make());
    m_statusItemKind = kind;
    m_statusItem->setToolTip(QStringLiteral("Ostrevane"));
    m_statusItem->setContextMenu(m_menu.get());
    // A plain click opens the menu too, as a menu-bar item does.
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && m_menu)
            m_menu->popup(QCursor::pos());
    });
    m_statusItem->show();
}

QAction* StatusBarController::addCommand(const char* title, void (StatusBarController::*command)())
{
    QAction* action = m_menu->addAction(Localization::shared().string(title));
    connect(action, &QAction::triggered, this, command);
    return action;
}

void StatusBarController::rebuildMenu()
{
    auto menu = std::make_unique<QMenu>();
    std::swap(menu, m_menu);
    addCommand(QT_TRANSLATE_NOOP("Ostrevane", "Show Ostrevane"), &StatusBarController::showSwitcher);
    m_menu->addSeparator();
    addCommand(QT_TRANSLATE_NOOP("Ostrevane", "Preferences…"), &StatusBarController::openPrefs)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    addCommand(QT_TRANSLATE_NOOP("Ostrevane", "Feedback…"), &StatusBarController::openFeedback);
    addCommand(QT_TRANSLATE_NOOP("Ostrevane", "Show Guide…"), &StatusBarController::showGuide);
    addCommand(QT_TRANSLATE_NOOP("Ostrevane", "Check for Updates…"), &StatusBarController::checkForUpdates)
        ->setEnabled(bool(m_environment.preferences.updater.checkForUpdates));
    m_menu->addSeparator();
    addCommand(QT_TRANSLATE_NOOP("Ostrevane", "Quit Ostrevane"), &StatusBarController::quit)
        ->setShortcut(QKeySequence::Quit);
    if (m_statusItem)
        m_statusItem->setContextMenu(m_menu.get());
    // The old menu may be the one whose command is running: let it go afterwards.
    if (menu)
        menu.release()->deleteLater();
}

void StatusBarController::openPreferences(PreferencesPane initialPane)
{
    if (!m_prefs) {
        QPointer<StatusBarController> self(this);
        m_prefs = new PreferencesWindowController(initialPane, m_environment.preferences, [self] {
            if (!self || !self->m_prefs)
                return;
            // Forgotten at once, so the next opening builds a fresh window.
            self->m_prefs->deleteLater();
            self->m_prefs = nullptr;
        });
    }
    m_prefs->select(initialPane);
    qCDebug(preferencesLog).noquote() << "opened on" << PreferencesPanes::rawValue(initialPane);
    m_prefs->show();
    m_prefs->raise();
    m_prefs->activateWindow();
    // The pane is already selected; the post tells the rest of the program the settings
    // are being looked at (a chord another program held may be free again).
    notifications().post(Notifications::openPreferencesPane);
}

PreferencesWindowController* StatusBarController::preferences() const { return m_prefs; }

void StatusBarController::showSwitcher() { notifications().post(Notifications::triggerForward); }

void StatusBarController::openPrefs() { openPreferences(PreferencesPane::general); }

void StatusBarController::openFeedback() { openPreferences(PreferencesPane::feedback); }

void StatusBarController::showGuide() { notifications().post(Notifications::showGuide); }

void StatusBarController::checkForUpdates()
{
    if (m_environment.preferences.updater.checkForUpdates)
        m_environment.preferences.updater.checkForUpdates();
}

void StatusBarController::quit()
{
    if (m_environment.quit)
        m_environment.quit();
    else
        QCoreApplication::quit();
}

bool StatusBarController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange && m_statusItem)
        m_statusItem->setIcon(OstrevaneMenuBarIcon::make());
    return QObject::eventFilter(watched, event);
}

} // namespace ostrevane
