#pragma once

#include "core/platform/Dispatcher.h"
#include "core/platform/SystemServices.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace ostrevane {

class Localization;
class NotificationCenter;
class UserDefaults;

// Applies edits made to the settings file while the program runs (by hand, by another
// copy) as the preferences window would: the store takes the new values in, and the
// components that keep something from the settings hear the notification they already
// listen to ("Ostrevane.hotkeyChanged" re-registers the chord, the language switches
// its tables, ...). Everything else reads the store at each use and follows by itself.
//
// It watches the file's folder, since saves replace the file, and reads the file once
// the folder has been quiet for settleDelay, so a save in several steps is read once,
// whole. Our own writes are recognised by the store and lead to nothing; a changed file
// that does not parse is kept aside and the values in use stay (UserDefaults::reload).
// Runs on the main queue; the folder events arrive on a background thread and are
// handed over there.
class SettingsWatcher {
public:
    static constexpr double settleDelay = 0.3;

    struct Ports {
        UserDefaults& defaults;
        FolderEvents& folders;
        Dispatcher& dispatcher;
        NotificationCenter& notifications;
        Localization& localization;
    };

    // Starts watching the folder of the store's file (created when missing).
    explicit SettingsWatcher(Ports ports);
    ~SettingsWatcher();
    SettingsWatcher(const SettingsWatcher&) = delete;
    SettingsWatcher& operator=(const SettingsWatcher&) = delete;

    // Whether the folder is being watched (false when it cannot be).
    bool isWatching() const { return m_token != 0; }

    // Reads the file now and applies what changed (what a folder change leads to).
    void reloadNow();

    // The notifications changes of `keys` lead to, each once, in a fixed order.
    static QStringList notificationsFor(const QStringList& keys);

private:
    struct Pending;
    void folderChanged();
    void apply(const QStringList& keys);

    Ports m_ports;
    std::shared_ptr<Pending> m_pending; // held weakly by the folder callback and the timer
    FolderEvents::Token m_token = 0;
};

} // namespace ostrevane
