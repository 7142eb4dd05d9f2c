#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace ostrevane {

class Dispatcher;

// The names of every notification the program posts. None carries an object or user info.
namespace Notifications {
inline const QString hotkeyChanged = QStringLiteral("Ostrevane.hotkeyChanged");
inline const QString shortcutsChanged = QStringLiteral("Ostrevane.shortcutsChanged");
inline const QString triggerForward = QStringLiteral("Ostrevane.triggerForward");
inline const QString showGuide = QStringLiteral("Ostrevane.showGuide");
inline const QString openPreferencesPane = QStringLiteral("Ostrevane.openPreferencesPane");
inline const QString languageChanged = QStringLiteral("Ostrevane.languageChanged");
inline const QString ignoreFilterChanged = QStringLiteral("Ostrevane.ignoreFilterChanged");
inline const QString panelSettingsChanged = QStringLiteral("Ostrevane.panelSettingsChanged");
} // namespace Notifications

// In-process notifications. Observers always run on the main queue: a post made on the
// main thread reaches them before post() returns, a post from another thread is handed
// to the main queue. Observers may add or remove observers while being notified.
class NotificationCenter {
public:
    using Token = std::uint64_t;
    using Observer = std::function<void()>;

    explicit NotificationCenter(Dispatcher& dispatcher);

    static NotificationCenter& shared();

    Token addObserver(const QString& name, Observer observer);
    void removeObserver(Token token);
    void post(const QString& name);

private:
    struct Entry {
        QString name;
        Observer observer;
    };
    void deliver(const QString& name);

    Dispatcher& m_dispatcher;
    std::mutex m_mutex;
    Token m_nextToken = 1;
    std::map<Token, Entry> m_observers;
};

} // namespace ostrevane
