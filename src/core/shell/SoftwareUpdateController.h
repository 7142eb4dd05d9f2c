#pragma once

#include "core/shell/Appcast.h"
#include "core/platform/Clock.h"
#include "core/platform/Dispatcher.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace ostrevane {

class UserDefaults;
enum class UpdateProblem; // why a check or an installation failed

// Downloads for the updater: the feed and the release archives.
class UpdateDownloader {
public:
    struct Request {
        QString url;
        qint64 maxBytes = 0;
        double timeoutSeconds = 0; // for the whole download
        // Bytes so far and in all (-1 while unknown); any thread.
        std::function<void(qint64 received, qint64 total)> progress;
    };
    enum class Failure { none, refused, unreachable, timedOut, tooLarge, httpStatus, cancelled };
    struct Result {
        Failure failure = Failure::none;
        int httpStatus = 0;
        QByteArray body; // only with Failure::none
    };

    virtual ~UpdateDownloader() = default;

    // Fetches only https addresses, and plain http ones on this machine (loopback),
    // also after redirects; anything else is refused. A status other than 2xx is a
    // failure. The completion runs exactly once, on any thread.
    virtual void download(Request request, std::function<void(Result)> completion) = 0;
    // Ends the downloads in progress; each completes with Failure::cancelled.
    virtual void cancelAll() = 0;
};

// What the updater shows a person. Implemented with dialogs that never block the
// caller; each reply runs on the main thread at most once (never when the dialog is
// dismissed by the program).
class UpdateUserDriver {
public:
    enum class Choice { install, skipThisVersion, remindLater };
    struct Message {
        QString title;
        QString text;
        bool warning = false;
    };
    // A release newer than the running copy.
    struct Offer {
        QString version;        // as shown ("1.2")
        QString currentVersion; // the running copy's
        QString notes;          // inline release notes (HTML or text); may be empty
        QString notesURL;       // the release notes' address; may be empty
        // False when this copy cannot replace itself; `cannotInstallReason` says why and
        // what to do instead, and only skipping or dismissing is offered.
        bool installable = true;
        QString cannotInstallReason;
    };

    virtual ~UpdateUserDriver() = default;
    virtual void showMessage(const Message& message) = 0;
    // The one-time question whether to check for updates automatically.
    virtual void askToCheckAutomatically(std::function<void(bool yes)> reply) = 0;
    virtual void showUpdateFound(const Offer& offer, std::function<void(Choice)> reply) = 0;
    // Shows or updates the download's progress (total -1: unknown) with a Cancel button.
    virtual void showDownloadProgress(qint64 received, qint64 total, std::function<void()> cancel) = 0;
    virtual void hideDownloadProgress() = 0;
    // After an update was installed without asking: restart now?
    virtual void askToRestart(const QString& version, std::function<void(bool now)> reply) = 0;
};

// Software updates from an appcast feed. The feed address and the ed25519 public key
// that signs the archives are fixed when the program is built; a build without a feed
// has no updater, and its commands say so.
//
// Checks run only when asked (`checkForUpdates`, the menu command and "Check Now") or,
// when automatic checks are on, at most once a day. Automatic checks are off until the
// person turns them on or answers yes to a one-time question at the second start (not
// while the first-run guide is unfinished). A found update shows its version and notes
// with install, skip this version and remind me later; with automatic downloads on, an
// automatic check downloads and installs it without asking and offers a restart.
//
// Installing downloads the archive, checks its length and signature before touching
// anything, unpacks it beside the program folder and swaps the folders by renaming,
// then restarts. Only a relocatable program folder that the person may change is
// replaced; a copy installed by the package manager is never touched.
//
// Downloads, parsing, verification and unpacking run off the main thread; the public
// calls, the dialogs and the replies run on the main thread.
class SoftwareUpdateController {
public:
    // Settings.
    static inline const QString automaticChecksKey = QStringLiteral("Ostrevane.AutomaticallyChecksForUpdates");
    static inline const QString automaticDownloadsKey = QStringLiteral("Ostrevane.AutomaticallyDownloadsUpdates");
    static inline const QString lastCheckKey = QStringLiteral("Ostrevane.LastUpdateCheck");
    static inline const QString skippedVersionKey = QStringLiteral("Ostrevane.SkippedUpdateVersion");
    static inline const QString hasLaunchedKey = QStringLiteral("Ostrevane.UpdaterHasLaunchedBefore");
    static inline const QString askedKey = QStringLiteral("Ostrevane.AskedToCheckForUpdatesAutomatically");

    static constexpr double checkInterval = 24 * 60 * 60;
    // After launch, so that a check never competes with start-up.
    static constexpr double firstCheckDelay = 30.0;
    static constexpr double questionDelay = 2.0;
    static constexpr double feedTimeout = 15.0;
    static constexpr qint64 maxFeedBytes = 2 * 1024 * 1024;
    static constexpr qint64 maxArchiveBytes = 512LL * 1024 * 1024;

    struct Configuration {
        QString feedURL;     // empty: this build has no updater
        QByteArray publicKey; // base64 of the 32-byte ed25519 public key
        QString currentVersion;
        QString systemVersion; // compared with a release's minimum system
        QString programFolder; // the folder this copy runs from
        double feedTimeoutSeconds = feedTimeout;
    };
    struct Ports {
        Dispatcher* dispatcher = nullptr;
        Clock* clock = nullptr;
        UserDefaults* defaults = nullptr;
        UpdateDownloader* downloader = nullptr; // none: no updater
        UpdateUserDriver* driver = nullptr;     // none: results are only logged
        // Starts the program folder's binary in place of this process.
        std::function<void(const QString& programFolder)> restart;
    };

    SoftwareUpdateController(Ports ports, Configuration configuration);
    ~SoftwareUpdateController();
    SoftwareUpdateController(const SoftwareUpdateController&) = delete;
    SoftwareUpdateController& operator=(const SoftwareUpdateController&) = delete;

    // The one instance: the one made with makeShared, or else one without an updater.
    static SoftwareUpdateController& shared();
    static SoftwareUpdateController& makeShared(Ports ports, Configuration configuration);
    // The build's feed and key, this program's version and folder.
    static Configuration buildConfiguration();

    // Whether this build has an updater.
    bool isAvailable() const;
    // Starts the updater at launch: the one-time question and the automatic checks.
    void startUpdater();
    // A check the person asked for: every outcome is shown, also "up to date" and a
    // skipped version. While a check or download runs, it joins that one.
    void checkForUpdates();

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool enabled);
    bool automaticallyDownloadsUpdates() const;
    void setAutomaticallyDownloadsUpdates(bool enabled);
    std::optional<WallTime> lastUpdateCheckDate() const;
    bool isBusy() const;

    const Configuration& configuration() const { return m_configuration; }

private:
    struct Session;
    struct FeedOutcome;

    void check(bool userInitiated);
    void feedArrived(const std::shared_ptr<Session>& session, const UpdateDownloader::Result& result);
    void present(const std::shared_ptr<Session>& session, const FeedOutcome& outcome);
    void offer(const std::shared_ptr<Session>& session, const AppcastItem& item);
    void download(const std::shared_ptr<Session>& session);
    void archiveArrived(const std::shared_ptr<Session>& session, const UpdateDownloader::Result& result);
    void installed(const std::shared_ptr<Session>& session, UpdateProblem problem, const QString& detail);
    void finish(const std::shared_ptr<Session>& session, const std::optional<UpdateUserDriver::Message>& message);
    void scheduleAutomaticCheck(double delay);
    void automaticCheckDue();
    void askAboutAutomaticChecks();
    void reportProgress(const std::shared_ptr<Session>& session, qint64 received, qint64 total);

    Ports m_ports;
    Configuration m_configuration;
    std::shared_ptr<Session> m_session; // the check or installation in progress
    CancellableRef m_nextCheck;
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0); // held weakly by callbacks
};

} // namespace ostrevane
