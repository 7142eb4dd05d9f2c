#include "core/model/MRUStore.h"

#include "core/shell/RuntimeContext.h"
#include "core/model/SwitchItem.h"
#include "core/preferences/UserDefaults.h"

#include <QDateTime>
#include <QVariantMap>

#include <algorithm>
#include <vector>

namespace ostrevane {

namespace {

// The settings store keeps dates as QDateTime; memory keeps WallTime for cheap comparisons.
WallTime toWallTime(const QDateTime& date)
{
    return WallTime{} + std::chrono::milliseconds(date.toMSecsSinceEpoch());
}

QDateTime toDate(WallTime time)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count(), Qt::UTC);
}

// A stored map is used only when it is a dictionary whose every value is a date.
MRUStore::TimeMap load(const UserDefaults& defaults, const QString& key)
{
    const QVariant stored = defaults.object(key);
    if (!stored.isValid())
        return {};
    if (stored.typeId() != QMetaType::QVariantMap) {
        qWarning("MRUStore: %s is not a dictionary; starting with no recency", qPrintable(key));
        return {};
    }
    const QVariantMap dictionary = stored.toMap();
    MRUStore::TimeMap map;
    map.reserve(dictionary.size());
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it) {
        if (it.value().typeId() != QMetaType::QDateTime || !it.value().toDateTime().isValid()) {
            qWarning("MRUStore: %s holds a value that is not a date; starting with no recency", qPrintable(key));
            return {};
        }
        map.insert(it.key(), toWallTime(it.value().toDateTime()));
    }
    return map;
}

QVariantMap toDictionary(const MRUStore::TimeMap& map)
{
    QVariantMap dictionary;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        dictionary.insert(it.key(), toDate(it.value()));
    return dictionary;
}

} // namespace

MRUStore::MRUStore(Clock& clock, Dispatcher& dispatcher, UserDefaults& defaults, Accessibility& accessibility)
    : m_clock(clock)
    , m_dispatcher(dispatcher)
    , m_defaults(defaults)
    , m_accessibility(accessibility)
    , m_windowMap(load(defaults, windowKey))
    , m_appMap(load(defaults, appKey))
{
}

MRUStore::~MRUStore()
{
    if (m_pendingPersist)
        m_pendingPersist->cancel();
}

MRUStore& MRUStore::shared()
{
    return RuntimeContext::current().singleton<MRUStore>([](RuntimeContext& c) {
        return std::make_unique<MRUStore>(c.clock(), c.dispatcher(), c.defaults(), c.accessibility());
    });
}

void MRUStore::touch(const QString& mruKey, std::optional<quint32> windowNumber)
{
    stamp(m_windowMap, mruKey, windowLimit, distantPast(), windowNumber);
    schedulePersist();
}

void MRUStore::touchApp(const std::optional<QString>& bundleID, ProcessID pid)
{
    if (!bundleID)
        return;
    const WallTime appTime = stamp(m_appMap, *bundleID, appLimit);
    schedulePersist();
    if (pid < 1)
        return;
    const AXElement application = m_accessibility.createApplication(pid);
    const AXElement window = application ? m_accessibility.copyElement(application, AX::focusedWindow) : nullptr;
    if (!window)
        return;
    const QString title = m_accessibility.copyText(window, AX::title).value_or(QString());
    // A clock that has not moved since the application's stamp (coarse, or virtual in
    // tests) must still leave the focused window strictly later than the application.
    stamp(m_windowMap, windowMRUKey(bundleID, QString(), title), windowLimit, appTime + WallTime::duration(1),
          m_accessibility.windowNumber(window));
    schedulePersist();
}

WallTime MRUStore::stamp(TimeMap& map, const QString& key, int limit, WallTime notBefore,
                         std::optional<quint32> windowNumber)
{
    std::lock_guard lock(m_lock);
    const WallTime now = std::max(m_clock.now(), notBefore);
    map.insert(key, now);
    prune(map, limit);
    if (windowNumber) {
        m_liveWindowMap.insert(QString::number(*windowNumber), now);
        prune(m_liveWindowMap, windowLimit);
        m_claimedKeys.insert(key);
    }
    return now;
}

void MRUStore::keepWindows(const QSet<quint32>& windowNumbers)
{
    std::lock_guard lock(m_lock);
    m_liveWindowMap.removeIf([&](const auto& entry) { return !windowNumbers.contains(entry.key().toUInt()); });
}

// Under the lock.
WallTime MRUStore::windowTime(const QString& mruKey, std::optional<quint32> windowNumber) const
{
    if (windowNumber) {
        if (const auto live = m_liveWindowMap.constFind(QString::number(*windowNumber)); live != m_liveWindowMap.constEnd())
            return *live;
        // That time belongs to another window of this run with the same key.
        if (m_claimedKeys.contains(mruKey))
            return distantPast();
    }
    return m_windowMap.value(mruKey, distantPast());
}

WallTime MRUStore::score(const QString& mruKey, const std::optional<QString>& bundleID) const
{
    return rank(mruKey, bundleID).score;
}

MRUStore::Rank MRUStore::rank(const QString& mruKey, const std::optional<QString>& bundleID,
                              std::optional<quint32> windowNumber) const
{
    std::lock_guard lock(m_lock);
    // A window used in this run ranks by its own use: a later use of another window of the
    // same program (two terminals of one desktop entry) must not lift it above the window
    // used in between, or Alt+Tab would not go back to the previous window.
    if (windowNumber) {
        if (const auto live = m_liveWindowMap.constFind(QString::number(*windowNumber)); live != m_liveWindowMap.constEnd())
            return Rank{*live, *live};
    }
    const WallTime window = windowTime(mruKey, windowNumber);
    const WallTime app = bundleID ? m_appMap.value(*bundleID, distantPast()) : distantPast();
    return Rank{window > app ? window : app, window};
}

MRUStore::TimeMap MRUStore::windowMap() const
{
    std::lock_guard lock(m_lock);
    return m_windowMap;
}

MRUStore::TimeMap MRUStore::appMap() const
{
    std::lock_guard lock(m_lock);
    return m_appMap;
}

void MRUStore::prune(TimeMap& map, int limit)
{
    if (map.size() <= limit)
        return;
    std::vector<WallTime> times;
    times.reserve(map.size());
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        times.push_back(it.value());
    // Ascending order puts the `limit` newest at the end; the first of them is the cutoff.
    const auto cutoff = times.begin() + static_cast<std::ptrdiff_t>(times.size() - limit);
    std::nth_element(times.begin(), cutoff, times.end());
    const WallTime cutoffTime = *cutoff;
    for (auto it = map.begin(); it != map.end();)
        it = it.value() < cutoffTime ? map.erase(it) : std::next(it);
}

void MRUStore::schedulePersist()
{
    std::weak_ptr<int> alive = m_lifetime;
    m_dispatcher.async([this, alive] {
        if (alive.expired())
            return;
        if (m_pendingPersist)
            m_pendingPersist->cancel();
        m_pendingPersist = m_dispatcher.asyncAfter(persistDelay, [this, alive] {
            if (!alive.expired())
                persist();
        });
    });
}

void MRUStore::persist()
{
    m_pendingPersist.reset();
    TimeMap windows;
    TimeMap apps;
    {
        std::lock_guard lock(m_lock);
        windows = m_windowMap;
        apps = m_appMap;
    }
    m_defaults.set(windowKey, toDictionary(windows));
    m_defaults.set(appKey, toDictionary(apps));
}

} // namespace ostrevane
