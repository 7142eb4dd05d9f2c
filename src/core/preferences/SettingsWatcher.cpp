#include "core/preferences/SettingsWatcher.h"

#include "core/input/HotkeySettings.h"
#include "core/model/IgnoreFilter.h"
#include "core/model/Localization.h"
#include "core/shell/NotificationCenter.h"
#include "core/model/PanelSettings.h"
#include "core/input/ShortcutStore.h"
#include "core/preferences/UserDefaults.h"

#include <QDir>
#include <QFileInfo>

namespace ostrevane {

namespace {

// Which notification tells the components that keep a setting that it changed.
struct KeyNotification {
    const QString& key;
    const QString& notification;
};

const KeyNotification keyNotifications[] = {
    {HotkeyStore::defaultsKey, Notifications::hotkeyChanged},
    {ShortcutStore::defaultsKey, Notifications::shortcutsChanged},
    {IgnoreFilter::appBundleIDsKey, Notifications::ignoreFilterChanged},
    {IgnoreFilter::appRegexKey, Notifications::ignoreFilterChanged},
    {IgnoreFilter::windowRegexKey, Notifications::ignoreFilterChanged},
    {PanelSettings::edgeKey, Notifications::panelSettingsChanged},
    {PanelSettings::widthKey, Notifications::panelSettingsChanged},
    {PanelSettings::fontSizeKey, Notifications::panelSettingsChanged},
    {PanelSettings::displayKey, Notifications::panelSettingsChanged},
    {PanelSettings::showAppsWithoutWindowsKey, Notifications::panelSettingsChanged},
    {PanelSettings::preferBrowserTabsWhenFrontmostKey, Notifications::panelSettingsChanged},
};

} // namespace

// The settle timer; a new folder change restarts it.
struct SettingsWatcher::Pending {
    CancellableRef settle;
};

SettingsWatcher::SettingsWatcher(Ports ports)
    : m_ports(ports)
    , m_pending(std::make_shared<Pending>())
{
    const QString folder = QFileInfo(m_ports.defaults.filePath()).absolutePath();
    QDir().mkpath(folder);
    m_token = m_ports.folders.watch(folder, [this, alive = std::weak_ptr(m_pending)] {
        if (alive.lock())
            folderChanged();
    });
    if (m_token == 0)
        qWarning("Ostrevane: cannot watch %s; edits made to the settings while the program runs apply at the next "
                 "start",
                 qPrintable(folder));
}

SettingsWatcher::~SettingsWatcher()
{
    if (m_token != 0)
        m_ports.folders.unwatch(m_token);
    if (m_pending->settle)
        m_pending->settle->cancel();
}

// On the watcher's thread: the timer lives on the main queue.
void SettingsWatcher::folderChanged()
{
    m_ports.dispatcher.async([this, alive = std::weak_ptr(m_pending)] {
        const std::shared_ptr<Pending> pending = alive.lock();
        if (!pending)
            return;
        if (pending->settle)
            pending->settle->cancel();
        pending->settle = m_ports.dispatcher.asyncAfter(settleDelay, [this, alive] {
            if (alive.lock())
                reloadNow();
        });
    });
}

void SettingsWatcher::reloadNow() { apply(m_ports.defaults.reload()); }

void SettingsWatcher::apply(const QStringList& keys)
{
    if (keys.isEmpty())
        return;
    qInfo("Ostrevane: the settings file changed; applying %s", qPrintable(keys.join(QStringLiteral(", "))));
    if (keys.contains(Localization::defaultsKey)) {
        const std::optional<QString> raw = m_ports.defaults.string(Localization::defaultsKey);
        m_ports.localization.setLanguage(AppLanguages::fromRawValue(raw.value_or(QString())).value_or(AppLanguage::system));
    }
    for (const QString& name : notificationsFor(keys))
        m_ports.notifications.post(name);
}

QStringList SettingsWatcher::notificationsFor(const QStringList& keys)
{
    QStringList names;
    for (const KeyNotification& entry : keyNotifications)
        if (keys.contains(entry.key) && !names.contains(entry.notification))
            names.append(entry.notification);
    return names;
}

} // namespace ostrevane
