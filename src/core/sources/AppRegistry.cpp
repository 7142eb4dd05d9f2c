#include "core/sources/AppRegistry.h"

#include "core/sources/DesktopEntryReader.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/preferences/UserDefaults.h"
#include "core/platform/Workspace.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariantMap>

#include <algorithm>

namespace ostrevane {

namespace {

// An Info.plist is a few kilobytes; anything far larger is not one we want to parse.
constexpr qint64 maxInfoPlistBytes = 4 * 1024 * 1024;

const QString infoPlistPath = QStringLiteral("/Contents/Info.plist");
const QString bundleIdentifierKey = QStringLiteral("CFBundleIdentifier");
const QString bundleDisplayNameKey = QStringLiteral("CFBundleDisplayName");
const QString bundleNameKey = QStringLiteral("CFBundleName");

std::optional<QString> textValue(const QVariantMap& info, const QString& key)
{
    const QVariant value = info.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<QVariantMap> readInfoPlist(const QString& bundlePath)
{
    QFile file(bundlePath + infoPlistPath);
    if (file.size() > maxInfoPlistBytes || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<QVariant> root = PropertyList::parse(file.readAll());
    if (!root || root->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return root->toMap();
}

// "/a/b/" and "/a/./b" both become "/a/b", so prefixes compare as paths.
QString standardized(const QString& path) { return QDir::cleanPath(path); }

// Whether `path` lies directly inside `folder` (both standardized).
bool liesDirectlyInside(const QString& path, const QString& folder)
{
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return path.startsWith(prefix) && !path.mid(prefix.size()).contains(QLatin1Char('/'));
}

void sortByName(std::vector<AppItem>& items)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(items.begin(), items.end(),
                     [&](const AppItem& a, const AppItem& b) { return collator.compare(a.name, b.name) < 0; });
}

} // namespace

std::optional<BundleReader::Info> MacBundleReader::read(const QString& path) const
{
    const std::optional<QVariantMap> info = readInfoPlist(path);
    if (!info)
        return std::nullopt;
    return Info{textValue(*info, bundleIdentifierKey), textValue(*info, bundleDisplayNameKey),
                textValue(*info, bundleNameKey)};
}

bool MacBundleReader::isPackage(const QString& path) const { return QFileInfo::exists(path + infoPlistPath); }

const BundleReader& BundleReader::forProfile(const PlatformProfile& profile)
{
    static const MacBundleReader macReader;
    if (profile.appBundleExtension == DesktopEntryReader::extension)
        return DesktopEntryReader::forFolders(profile.scanRoots);
    return macReader;
}

AppEnumerator::AppEnumerator(const PlatformProfile& profile, const BundleReader& reader)
    : m_profile(profile), m_reader(reader)
{
}

std::vector<AppItem> AppEnumerator::scanWithCurrentContext()
{
    RuntimeContext& context = RuntimeContext::current();
    const PlatformProfile& profile = context.profile();
    return AppEnumerator(profile, BundleReader::forProfile(profile)).scan();
}

bool AppEnumerator::isUserLaunchableAppURL(const QString& path)
{
    RuntimeContext& context = RuntimeContext::current();
    const PlatformProfile& profile = context.profile();
    return AppEnumerator(profile, BundleReader::forProfile(profile)).isUserLaunchable(path);
}

std::vector<AppItem> AppEnumerator::scan() const
{
    Found found;
    for (const QString& root : m_profile.scanRoots) {
        if (QFileInfo(root).isDir())
            walk(root, found);
    }
    for (const QString& path : m_profile.extraApplications)
        addUnseen(path, found);
    sortByName(found.items);
    return std::move(found.items);
}

void AppEnumerator::walk(const QString& folder, Found& found) const
{
    // Hidden entries are left out by default; name order keeps scans repeatable.
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString path = entry.filePath();
        if (hasAppExtension(path)) {
            addUnseen(path, found); // an application is never walked into
            continue;
        }
        // Linked folders are not followed: a link back up the tree would never end.
        if (entry.isDir() && !entry.isSymLink() && !m_reader.isPackage(path))
            walk(path, found);
    }
}

void AppEnumerator::addUnseen(const QString& bundlePath, Found& found) const
{
    const std::optional<BundleReader::Info> info = m_reader.read(bundlePath);
    if (!info || !info->bundleID || info->bundleID->isEmpty() || found.seenBundleIDs.contains(*info->bundleID))
        return;
    found.seenBundleIDs.insert(*info->bundleID);
    if (info->shown)
        found.items.push_back(itemFrom(bundlePath, *info));
}

std::optional<AppItem> AppEnumerator::makeItem(const QString& bundlePath) const
{
    const std::optional<BundleReader::Info> info = m_reader.read(bundlePath);
    if (!info || !info->shown || !info->bundleID || info->bundleID->isEmpty())
        return std::nullopt;
    return itemFrom(bundlePath, *info);
}

AppItem AppEnumerator::itemFrom(const QString& bundlePath, const BundleReader::Info& info) const
{
    AppItem item;
    item.id = QUuid::createUuid();
    item.bundleID = *info.bundleID;
    item.name = info.displayName.value_or(info.name.value_or(QFileInfo(bundlePath).completeBaseName()));
    // No icon yet: the rows that show the application load it (RowImages), so a scan of
    // every installed application renders none of their icons.
    item.path = bundlePath;
    return item;
}

bool AppEnumerator::hasAppExtension(const QString& path) const
{
    return !m_profile.appBundleExtension.isEmpty() && path.endsWith(m_profile.appBundleExtension)
        && path.size() > m_profile.appBundleExtension.size();
}

bool AppEnumerator::isUserLaunchable(const QString& path) const
{
    const QString app = standardized(path);
    if (!hasAppExtension(app))
        return false;
    for (const QString& extra : m_profile.extraApplications) {
        if (app == standardized(extra))
            return true;
    }
    // Any root, not only the first whose path begins the application's: otherwise the
    // Utilities folders, which lie inside other roots, could never qualify.
    return std::any_of(m_profile.scanRoots.cbegin(), m_profile.scanRoots.cend(),
                       [&](const QString& root) { return liesDirectlyInside(app, standardized(root)); });
}

bool AppEnumerator::isUserApp(const RunningApplication& app) const
{
    if (!app.bundlePath || !app.bundleIdentifier)
        return false;
    const QString& prefix = m_profile.windowClassIDPrefix;
    return isUserLaunchable(*app.bundlePath) || (!prefix.isEmpty() && app.bundleIdentifier->startsWith(prefix));
}

AppRegistry::AppRegistry(Dispatcher& dispatcher, FolderEvents& folderEvents, Scan scan, QStringList watchedFolders)
    : m_dispatcher(dispatcher)
    , m_folderEvents(folderEvents)
    , m_scan(std::move(scan))
    , m_watchedFolders(std::move(watchedFolders))
{
}

AppRegistry::~AppRegistry()
{
    if (m_pendingReload)
        m_pendingReload->cancel();
    for (FolderEvents::Token token : m_watchTokens)
        m_folderEvents.unwatch(token);
}

AppRegistry& AppRegistry::shared()
{
    AppRegistry& registry = RuntimeContext::current().singleton<AppRegistry>([](RuntimeContext& c) {
        const PlatformProfile* profile = &c.profile();
        auto scan = [profile] { return AppEnumerator(*profile, BundleReader::forProfile(*profile)).scan(); };
        return std::make_unique<AppRegistry>(c.dispatcher(), c.folderEvents(), scan, profile->scanRoots);
    });
    // Scanning and watching need the owning shared_ptr, which exists only now.
    registry.start();
    return registry;
}

void AppRegistry::start()
{
    std::call_once(m_started, [this] {
        if (weak_from_this().expired()) {
            qWarning("AppRegistry: not owned by a shared_ptr; not scanning or watching");
            return;
        }
        reload();
        startWatching();
    });
}

void AppRegistry::reload()
{
    m_dispatcher.global(QueuePriority::utility, [weak = weak_from_this(), scan = m_scan] {
        if (weak.expired())
            return;
        std::vector<AppItem> apps = scan();
        if (auto self = weak.lock()) {
            std::lock_guard lock(self->m_lock);
            self->m_apps = std::move(apps);
        }
    });
}

void AppRegistry::scheduleReload()
{
    // The pending task is touched only on the main queue, so callers on any thread hop there.
    m_dispatcher.async([weak = weak_from_this()] {
        if (auto self = weak.lock())
            self->scheduleReloadOnMain();
    });
}

void AppRegistry::scheduleReloadOnMain()
{
    if (m_pendingReload)
        m_pendingReload->cancel();
    m_pendingReload = m_dispatcher.asyncAfter(reloadDebounce, [weak = weak_from_this()] {
        if (auto self = weak.lock())
            self->reload();
    });
}

std::vector<AppItem> AppRegistry::apps() const
{
    std::lock_guard lock(m_lock);
    return m_apps;
}

void AppRegistry::startWatching()
{
    for (const QString& folder : m_watchedFolders) {
        // A folder missing now is never watched, even if it appears later.
        if (!QFileInfo(folder).isDir())
            continue;
        const FolderEvents::Token token = m_folderEvents.watch(folder, [weak = weak_from_this()] {
            if (auto self = weak.lock())
                self->scheduleReload();
        });
        if (token != 0)
            m_watchTokens.push_back(token);
    }
}

} // namespace ostrevane
