#pragma once

#include "core/platform/Accessibility.h"
#include "core/platform/Clock.h"
#include "core/platform/Dispatcher.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

namespace ostrevane {

class UserDefaults;

// When each switchable thing was last used, so the switcher lists the most recently
// used first. Two maps of wall-clock times: items by their mruKey (and focused windows
// by bundle id + "::" + title), applications by bundle id. Both are kept in the user
// defaults as property-list dictionaries of dates and written at most once per burst
// of touches.
//
// Windows with the same title (two terminals running "bash") share that key, so each
// window that has a number also gets its own time, in memory only, while it exists:
// every use of such a window stamps its number and its title key with the same time.
// A window row is ranked by its number's time when it has one; when it has none (not
// used since the program started), by its title key's time only if that time came from
// an earlier run (no window of this run has stamped the key), else as never used. The
// persisted title keys are thus what carries recency across restarts.
//
// touch, touchApp and score may be called from any thread; the lock is held only while
// a map is read or changed. Persistence is scheduled and runs on the main queue.
class MRUStore {
public:
    static inline const QString windowKey = QStringLiteral("Ostrevane.MRU.window");
    static inline const QString appKey = QStringLiteral("Ostrevane.MRU.app");
    static constexpr int windowLimit = 500;
    static constexpr int appLimit = 200;
    // Writes wait this long after the last touch, so a burst costs one write.
    static constexpr double persistDelay = 0.5;

    using TimeMap = QHash<QString, WallTime>;

    // Loads both maps from `defaults`. A map whose stored value is not a dictionary
    // of dates starts empty and is overwritten by the next write.
    MRUStore(Clock& clock, Dispatcher& dispatcher, UserDefaults& defaults, Accessibility& accessibility);
    ~MRUStore();
    MRUStore(const MRUStore&) = delete;
    MRUStore& operator=(const MRUStore&) = delete;

    static MRUStore& shared();

    // Records that the item with this key was used now (and the window with this number,
    // when given).
    void touch(const QString& mruKey, std::optional<quint32> windowNumber = std::nullopt);
    // Records that an application became active now, then (when the pid is at least 1
    // and the application has a focused window) that window a moment later, under
    // bundle id + "::" + its title (empty when unreadable); the window's time is always
    // strictly later than the application's. An application without a bundle id is not
    // recorded; accessibility failures skip only the window stamp.
    void touchApp(const std::optional<QString>& bundleID, ProcessID pid);
    // The later of the item's and its application's last use (the application's when
    // equal); distantPast() when neither was ever used.
    WallTime score(const QString& mruKey, const std::optional<QString>& bundleID = std::nullopt) const;

    // The sort key of a row: its score, then, among equal scores, the item's own last use.
    // Every window of the most recent application scores the application's time; without
    // the second key they would fall back to the list's order instead of the order in
    // which they were used (three terminals of one application, say).
    struct Rank {
        WallTime score;
        WallTime own;
        auto operator<=>(const Rank&) const = default;
    };
    Rank rank(const QString& mruKey, const std::optional<QString>& bundleID = std::nullopt,
              std::optional<quint32> windowNumber = std::nullopt) const;
    // Forgets the windows whose numbers are not listed: they have gone, and a new window
    // may get the same number.
    void keepWindows(const QSet<quint32>& windowNumbers);

    // Copies of the maps, for diagnostics and tests.
    TimeMap windowMap() const;
    TimeMap appMap() const;

    // Keeps the entries at or after the `limit`-th newest time: at most `limit`
    // entries unless several share that cutoff time, which all stay.
    static void prune(TimeMap& map, int limit);

private:
    // Sets map[key] to now (but not before `notBefore`), prunes, returns the time set.
    // A window number gets the same time.
    WallTime stamp(TimeMap& map, const QString& key, int limit, WallTime notBefore = distantPast(),
                   std::optional<quint32> windowNumber = std::nullopt);
    WallTime windowTime(const QString& mruKey, std::optional<quint32> windowNumber) const;
    void schedulePersist();
    void persist();

    Clock& m_clock;
    Dispatcher& m_dispatcher;
    UserDefaults& m_defaults;
    Accessibility& m_accessibility;

    mutable std::mutex m_lock; // guards both maps
    TimeMap m_windowMap;
    TimeMap m_appMap;
    TimeMap m_liveWindowMap;      // window number (decimal) -> last use; never persisted
    QSet<QString> m_claimedKeys;  // window keys stamped through a numbered window this run

    // Main thread only.
    CancellableRef m_pendingPersist;
    // Expires with the store, so queued tasks can tell that it is gone.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

} // namespace ostrevane
