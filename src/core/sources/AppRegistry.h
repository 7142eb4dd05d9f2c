#pragma once

#include "core/sources/BundleReader.h"
#include "core/model/SwitchItem.h"
#include "core/platform/Dispatcher.h"
#include "core/platform/SystemServices.h"
#include "core/platform/Workspace.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ostrevane {

class Workspace;
struct PlatformProfile;

// macOS application bundles: "<bundle>/Contents/Info.plist" with CFBundleIdentifier,
// CFBundleDisplayName and CFBundleName. Any folder holding such a file is a package.
class MacBundleReader : public BundleReader {
public:
    std::optional<Info> read(const QString& path) const override;
    bool isPackage(const QString& path) const override;
};

// Finds installed applications by walking the profile's scan roots, then its extra
// applications. Stateless and synchronous; safe on any thread.
class AppEnumerator {
public:
    AppEnumerator(const PlatformProfile& profile, const BundleReader& reader);

    // Every application found, the first one per bundle identifier winning (roots in
    // order, then the extra applications), sorted by name case-insensitively and
    // stably. Applications inside subfolders of a root are found at any depth; hidden
    // entries, package insides and symbolic links to folders are not walked into.
    std::vector<AppItem> scan() const;

    // Whether `path` is an application bundle the user launches directly: one of the
    // extra applications, or an application lying directly inside any scan root
    // (the Utilities folders included, although they lie inside other roots).
    bool isUserLaunchable(const QString& path) const;
    // Whether a running application is one the user launched: its bundle passes the test
    // above, or no installed application describes it and it goes by the identity its
    // windows give it (a program started from a terminal, say).
    bool isUserApp(const RunningApplication& app) const;

    // Both, with the installed context's profile.
    static std::vector<AppItem> scanWithCurrentContext();
    static bool isUserLaunchableAppURL(const QString& path);

    // The item for one bundle, or nothing when it has no bundle identifier or is not shown.
    std::optional<AppItem> makeItem(const QString& bundlePath) const;

private:
    bool hasAppExtension(const QString& path) const;
    struct Found {
        QSet<QString> seenBundleIDs;
        std::vector<AppItem> items;
    };
    void walk(const QString& folder, Found& found) const;
    // Appends the bundle's item unless its identifier was seen before (the first wins,
    // shown or not).
    void addUnseen(const QString& bundlePath, Found& found) const;
    AppItem itemFrom(const QString& bundlePath, const BundleReader::Info& info) const;

    const PlatformProfile& m_profile;
    const BundleReader& m_reader;
};

// The installed applications the switcher offers, rescanned in the background when a
// watched application folder changes (debounced). The list is empty until the first
// scan finishes.
//
// apps() may be called from any thread (it copies under the lock). scheduleReload()
// may be called from any thread; the debounce itself lives on the main queue.
//
// Must be owned by a std::shared_ptr (shared() and std::make_shared do that) and
// started with start() once owned: background scans and delayed tasks hold it weakly.
class AppRegistry : public std::enable_shared_from_this<AppRegistry> {
public:
    using Scan = std::function<std::vector<AppItem>()>;

    // A burst of folder changes causes one rescan this long after the last change.
    static constexpr double reloadDebounce = 1.0;

    // `scan` produces the list (AppEnumerator::scan in the program); `watchedFolders`
    // are the folders whose changes trigger a rescan (the scan roots).
    AppRegistry(Dispatcher& dispatcher, FolderEvents& folderEvents, Scan scan, QStringList watchedFolders);
    ~AppRegistry();
    AppRegistry(const AppRegistry&) = delete;
    AppRegistry& operator=(const AppRegistry&) = delete;

    // Created, started and scanning on first use.
    static AppRegistry& shared();

    // reload() then startWatching(), once; later calls do nothing.
    void start();
    // Starts a background rescan at utility priority; returns at once. When scans
    // overlap, whichever finishes last stores its list.
    void reload();
    // Cancels a waiting rescan and schedules a new one `reloadDebounce` from now.
    void scheduleReload();
    // A copy of the last finished scan.
    std::vector<AppItem> apps() const;

private:
    void startWatching();
    void scheduleReloadOnMain();

    Dispatcher& m_dispatcher;
    FolderEvents& m_folderEvents;
    Scan m_scan;
    QStringList m_watchedFolders;
    std::once_flag m_started;

    mutable std::mutex m_lock; // guards m_apps
    std::vector<AppItem> m_apps;
    std::vector<FolderEvents::Token> m_watchTokens; // written only by start()
    CancellableRef m_pendingReload;                 // main queue only
};

} // namespace ostrevane
