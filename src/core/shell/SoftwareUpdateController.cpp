#include "core/shell/SoftwareUpdateController.h"

#include "core/model/Localization.h"
#include "core/onboarding/OnboardingManager.h"
#include "core/shell/ProgramFolder.h"
#include "core/shell/RuntimeContext.h"
#include "core/shell/UpdateSignature.h"
#include "core/preferences/UserDefaults.h"
#include "core/platform/SystemInfo.h"
#include "core/platform/SystemServices.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

#include <algorithm>
#include <atomic>

#ifndef OSTREVANE_UPDATE_FEED_URL
#define OSTREVANE_UPDATE_FEED_URL ""
#endif
#ifndef OSTREVANE_UPDATE_PUBLIC_KEY
#define OSTREVANE_UPDATE_PUBLIC_KEY ""
#endif

namespace ostrevane {

// What went wrong, kept apart from its text so that the text is looked up on the main
// thread in the language of the moment.
enum class UpdateProblem {
    none,
    noUpdater,
    insecureFeed,
    feedUnreachable,
    feedTimedOut,
    feedTooLarge,
    feedStatus,
    feedMalformed,
    insecureArchive,
    downloadFailed,
    wrongLength,
    badSignature,
    installFailed,
};

namespace {

using Problem = UpdateProblem;
using Message = UpdateUserDriver::Message;
using Failure = UpdateDownloader::Failure;


QString localized(const char* text) { return Localization::shared().string(text); }

// The failures' texts; %@ takes the detail (a status, the system's words).
const std::pair<Problem, const char*> problemTexts[] = {
    {Problem::insecureFeed, QT_TRANSLATE_NOOP("Ostrevane", "The update information is not offered over a secure "
                                                           "connection (https), so Ostrevane did not read it.")},
    {Problem::feedUnreachable, QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane could not reach the update server. Check "
                                                              "your connection and try again later.")},
    {Problem::feedTimedOut, QT_TRANSLATE_NOOP("Ostrevane", "The update server did not answer in time. Try again later.")},
    {Problem::feedTooLarge, QT_TRANSLATE_NOOP("Ostrevane", "The update information is much larger than expected, so "
                                                           "Ostrevane did not read it.")},
    {Problem::feedStatus, QT_TRANSLATE_NOOP("Ostrevane", "The update server answered with error %@. Try again later.")},
    {Problem::feedMalformed, QT_TRANSLATE_NOOP("Ostrevane", "The update information is damaged and could not be read.")},
    {Problem::insecureArchive, QT_TRANSLATE_NOOP("Ostrevane", "The update is not offered over a secure connection "
                                                              "(https), so Ostrevane did not download it.")},
    {Problem::downloadFailed, QT_TRANSLATE_NOOP("Ostrevane", "The update could not be downloaded. Try again later.")},
    {Problem::wrongLength, QT_TRANSLATE_NOOP("Ostrevane", "The downloaded update does not have the expected size, so "
                                                          "it was not installed.")},
    {Problem::badSignature, QT_TRANSLATE_NOOP("Ostrevane", "The downloaded update is not signed by the makers of "
                                                           "Ostrevane, so it was not installed.")},
    {Problem::installFailed, QT_TRANSLATE_NOOP("Ostrevane", "The update could not be installed: %@")},
};

Message problemMessage(Problem problem, const QString& detail)
{
    if (problem == Problem::noUpdater)
        return {localized(QT_TRANSLATE_NOOP("Ostrevane", "Updates Are Not Available")),
                localized(QT_TRANSLATE_NOOP("Ostrevane", "This copy of Ostrevane was built without software updates. "
                                                         "Update it the way you installed it.")),
                false};
    for (const auto& [known, text] : problemTexts)
        if (known == problem)
            return {localized(QT_TRANSLATE_NOOP("Ostrevane", "Update Error")),
                    Localization::shared().format(text, {detail}), true};
    return {};
}

// Why this copy cannot replace itself, or nothing when it can.
std::optional<QString> cannotInstallReason(const QString& folder)
{
    switch (ProgramFolder::kind(folder)) {
    case ProgramFolder::Kind::relocatable:
        return std::nullopt;
    case ProgramFolder::Kind::packageManaged:
        return localized(QT_TRANSLATE_NOOP("Ostrevane", "This copy of Ostrevane was installed by your system's package "
                                                 "manager. Update it there, for example with your software center "
                                                 "or \"sudo apt upgrade\"."));
    case ProgramFolder::Kind::unwritable:
        return Localization::shared().format(
            QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane cannot update itself because you may not change its folder "
                                           "(%@)."),
            {QFileInfo(folder).absolutePath()});
    case ProgramFolder::Kind::other:
        break;
    }
    return localized(QT_TRANSLATE_NOOP("Ostrevane", "This copy of Ostrevane cannot replace itself. Install the new version "
                                             "the way you installed this one."));
}

Problem downloadProblem(Failure failure, Problem otherwise)
{
    switch (failure) {
    case Failure::refused:
        return otherwise == Problem::downloadFailed ? Problem::insecureArchive : Problem::insecureFeed;
    case Failure::timedOut:
        return otherwise == Problem::downloadFailed ? Problem::downloadFailed : Problem::feedTimedOut;
    case Failure::tooLarge:
        return otherwise == Problem::downloadFailed ? Problem::wrongLength : Problem::feedTooLarge;
    case Failure::httpStatus:
        return otherwise == Problem::downloadFailed ? Problem::downloadFailed : Problem::feedStatus;
    case Failure::none:
    case Failure::unreachable:
    case Failure::cancelled:
        break;
    }
    return otherwise;
}

QString systemVersionText(const SystemInfo::OSVersion& os)
{
    return QStringLiteral("%1.%2.%3").arg(os.major).arg(os.minor).arg(os.patch);
}

// A whole-download deadline that a slow but working line still meets.
double archiveTimeout(qint64 length) { return 60.0 + double(length) / (50.0 * 1024.0); }

} // namespace

struct SoftwareUpdateController::Session {
    bool userInitiated = false;
    bool interactive = false; // the person chose to install: progress and errors are shown
    bool downloading = false;
    std::optional<AppcastItem> item;
    std::atomic<int> shownPermille{-1};
};

struct SoftwareUpdateController::FeedOutcome {
    Problem problem = Problem::none;
    QString detail;
    std::optional<AppcastItem> update;
};

SoftwareUpdateController::SoftwareUpdateController(Ports ports, Configuration configuration)
    : m_ports(std::move(ports))
    , m_configuration(std::move(configuration))
{
}

SoftwareUpdateController::~SoftwareUpdateController()
{
    if (m_nextCheck)
        m_nextCheck->cancel();
}

SoftwareUpdateController& SoftwareUpdateController::shared()
{
    return RuntimeContext::current().singleton<SoftwareUpdateController>([](RuntimeContext& context) {
        Ports ports;
        ports.dispatcher = &context.dispatcher();
        ports.clock = &context.clock();
        ports.defaults = &context.defaults();
        return std::make_unique<SoftwareUpdateController>(ports, Configuration{});
    });
}

SoftwareUpdateController& SoftwareUpdateController::makeShared(Ports ports, Configuration configuration)
{
    return RuntimeContext::current().singleton<SoftwareUpdateController>(
        [&](RuntimeContext&) { return std::make_unique<SoftwareUpdateController>(ports, configuration); });
}

SoftwareUpdateController::Configuration SoftwareUpdateController::buildConfiguration()
{
    RuntimeContext& context = RuntimeContext::current();
    const QString binary = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    return Configuration{
        QStringLiteral(OSTREVANE_UPDATE_FEED_URL),
        QByteArrayLiteral(OSTREVANE_UPDATE_PUBLIC_KEY),
        context.systemInfo().mainBundle().shortVersion.value_or(QStringLiteral(OSTREVANE_VERSION)),
        systemVersionText(context.systemInfo().osVersion()),
        ProgramFolder::containing(binary),
        feedTimeout,
    };
}

bool SoftwareUpdateController::isAvailable() const
{
    return !m_configuration.feedURL.isEmpty() && m_ports.downloader;
}

bool SoftwareUpdateController::isBusy() const { return m_session != nullptr; }

bool SoftwareUpdateController::automaticallyChecksForUpdates() const
{
    return m_ports.defaults->boolean(automaticChecksKey).value_or(false);
}

bool SoftwareUpdateController::automaticallyDownloadsUpdates() const
{
    return m_ports.defaults->boolean(automaticDownloadsKey).value_or(false);
}

void SoftwareUpdateController::setAutomaticallyDownloadsUpdates(bool enabled)
{
    m_ports.defaults->set(automaticDownloadsKey, enabled);
}

std::optional<WallTime> SoftwareUpdateController::lastUpdateCheckDate() const
{
    const std::optional<QDateTime> date = m_ports.defaults->date(lastCheckKey);
    if (!date)
        return std::nullopt;
    return fromSecondsSince1970(double(date->toMSecsSinceEpoch()) / 1000.0);
}

void SoftwareUpdateController::setAutomaticallyChecksForUpdates(bool enabled)
{
    m_ports.defaults->set(automaticChecksKey, enabled);
    if (m_nextCheck)
        m_nextCheck->cancel();
    m_nextCheck.reset();
    if (!enabled || !isAvailable())
        return;
    // Turned on: the first check comes soon, unless one ran within the day.
    double due = firstCheckDelay;
    if (const std::optional<WallTime> last = lastUpdateCheckDate())
        due = std::max(due, checkInterval - secondsSince1970(m_ports.clock->now()) + secondsSince1970(*last));
    scheduleAutomaticCheck(due);
}

void SoftwareUpdateController::startUpdater()
{
    if (!isAvailable())
        return;
    UserDefaults& defaults = *m_ports.defaults;
    const bool launchedBefore = defaults.boolean(hasLaunchedKey).value_or(false);
    if (!launchedBefore)
        defaults.set(hasLaunchedKey, true);
    const bool undecided = !defaults.boolean(automaticChecksKey) && !defaults.boolean(askedKey).value_or(false);
    // Never in the middle of the first-run guide, which opens again until it is finished.
    const bool guideDone = defaults.boolean(OnboardingManager::didCompleteKey).value_or(false);
    if (launchedBefore && undecided && guideDone)
        m_ports.dispatcher->asyncAfter(questionDelay, [this, alive = std::weak_ptr<int>(m_lifetime)] {
            if (alive.lock())
                askAboutAutomaticChecks();
        });
    if (automaticallyChecksForUpdates())
        setAutomaticallyChecksForUpdates(true);
}

void SoftwareUpdateController::askAboutAutomaticChecks()
{
    if (!m_ports.driver)
        return;
    m_ports.driver->askToCheckAutomatically([this, alive = std::weak_ptr<int>(m_lifetime)](bool yes) {
        if (!alive.lock())
            return;
        m_ports.defaults->set(askedKey, true);
        setAutomaticallyChecksForUpdates(yes);
    });
}

void SoftwareUpdateController::scheduleAutomaticCheck(double delay)
{
    m_nextCheck = m_ports.dispatcher->asyncAfter(delay, [this, alive = std::weak_ptr<int>(m_lifetime)] {
        if (alive.lock())
            automaticCheckDue();
    });
}

void SoftwareUpdateController::automaticCheckDue()
{
    if (!automaticallyChecksForUpdates())
        return;
    const std::optional<WallTime> last = lastUpdateCheckDate();
    const double since = last ? secondsSince1970(m_ports.clock->now()) - secondsSince1970(*last) : checkInterval;
    if (since >= checkInterval && !isBusy()) {
        check(false);
        scheduleAutomaticCheck(checkInterval);
    } else {
        scheduleAutomaticCheck(std::max(firstCheckDelay, checkInterval - since)); // a check ran meanwhile
    }
}

void SoftwareUpdateController::checkForUpdates()
{
    if (m_session) {
        m_session->userInitiated = true; // its outcome is shown now
        if (m_session->item && !m_session->downloading)
            offer(m_session, *m_session->item); // an offer still open comes to the front
        return;
    }
    check(true);
}

void SoftwareUpdateController::check(bool userInitiated)
{
    if (!isAvailable()) {
        finish(nullptr, userInitiated ? std::optional(problemMessage(Problem::noUpdater, {})) : std::nullopt);
        return;
    }
    auto session = std::make_shared<Session>();
    session->userInitiated = userInitiated;
    if (!URLLoader::isSecureAddress(QUrl(m_configuration.feedURL))) {
        present(session, FeedOutcome{Problem::insecureFeed, {}, {}});
        return;
    }
    m_session = session;
    m_ports.defaults->set(lastCheckKey, QDateTime::fromMSecsSinceEpoch(
                                            qint64(secondsSince1970(m_ports.clock->now()) * 1000.0), Qt::UTC));
    UpdateDownloader::Request request{m_configuration.feedURL, maxFeedBytes, m_configuration.feedTimeoutSeconds, {}};
    m_ports.downloader->download(std::move(request), [this, session, alive = std::weak_ptr<int>(m_lifetime),
                                                      dispatcher = m_ports.dispatcher,
                                                      configuration = m_configuration](UpdateDownloader::Result result) {
        // Parsing is no work for the main thread.
        dispatcher->global(QueuePriority::utility, [=, this] {
            FeedOutcome outcome;
            if (result.failure != Failure::none) {
                outcome.problem = downloadProblem(result.failure, Problem::feedUnreachable);
                outcome.detail = QString::number(result.httpStatus);
            } else if (const auto items = Appcast::parse(result.body, &outcome.detail)) {
                outcome.update = Appcast::bestUpdate(*items, configuration.currentVersion, configuration.systemVersion);
            } else {
                outcome.problem = Problem::feedMalformed;
                qWarning("Ostrevane: the update feed does not parse: %s", qPrintable(outcome.detail));
            }
            dispatcher->async([=, this] {
                if (alive.lock())
                    present(session, outcome);
            });
        });
    });
}

void SoftwareUpdateController::present(const std::shared_ptr<Session>& session, const FeedOutcome& outcome)
{
    if (outcome.problem != Problem::none) {
        const Message message = problemMessage(outcome.problem, outcome.detail);
        qWarning("Ostrevane: update check failed: %s", qPrintable(message.text));
        finish(session, session->userInitiated ? std::optional(message) : std::nullopt);
        return;
    }
    if (!outcome.update) {
        const Message upToDate{localized(QT_TRANSLATE_NOOP("Ostrevane", "You're up to date!")),
                               Localization::shared().format(
                                   QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane %@ is currently the newest version "
                                                                  "available."),
                                   {m_configuration.currentVersion}),
                               false};
        finish(session, session->userInitiated ? std::optional(upToDate) : std::nullopt);
        return;
    }
    const bool skipped = m_ports.defaults->string(skippedVersionKey) == outcome.update->version;
    if (!session->userInitiated && skipped) {
        finish(session, std::nullopt);
        return;
    }
    session->item = outcome.update;
    offer(session, *outcome.update);
}

void SoftwareUpdateController::offer(const std::shared_ptr<Session>& session, const AppcastItem& item)
{
    const std::optional<QString> reason = cannotInstallReason(m_configuration.programFolder);
    if (!reason && !session->userInitiated && automaticallyDownloadsUpdates()) {
        download(session); // installed without asking; a restart is offered afterwards
        return;
    }
    if (!m_ports.driver) {
        qWarning("Ostrevane: version %s is available", qPrintable(item.displayVersion()));
        finish(session, std::nullopt);
        return;
    }
    const UpdateUserDriver::Offer offer{item.displayVersion(), m_configuration.currentVersion, item.notes,
                                        item.releaseNotesURL, !reason, reason.value_or(QString())};
    m_ports.driver->showUpdateFound(offer, [this, session, installable = offer.installable,
                                            alive = std::weak_ptr<int>(m_lifetime)](UpdateUserDriver::Choice choice) {
        if (!alive.lock() || m_session != session)
            return;
        if (choice == UpdateUserDriver::Choice::skipThisVersion)
            m_ports.defaults->set(skippedVersionKey, session->item->version);
        if (choice != UpdateUserDriver::Choice::install || !installable) {
            finish(session, std::nullopt);
            return;
        }
        session->interactive = true;
        download(session);
    });
}

void SoftwareUpdateController::download(const std::shared_ptr<Session>& session)
{
    session->downloading = true;
    const AppcastItem& item = *session->item;
    if (!URLLoader::isSecureAddress(QUrl(item.archiveURL))) {
        installed(session, Problem::insecureArchive, {});
        return;
    }
    if (item.archiveLength > maxArchiveBytes) {
        installed(session, Problem::downloadFailed, {});
        return;
    }
    reportProgress(session, 0, item.archiveLength);
    UpdateDownloader::Request request{item.archiveURL, item.archiveLength, archiveTimeout(item.archiveLength),
                                      [this, session, alive = std::weak_ptr<int>(m_lifetime),
                                       dispatcher = m_ports.dispatcher](qint64 received, qint64 total) {
                                          const int permille = total > 0 ? int(received * 1000 / total) : -1;
                                          if (session->shownPermille.exchange(permille) == permille)
                                              return; // the dialog shows this already
                                          dispatcher->async([=, this] {
                                              if (alive.lock() && m_session == session)
                                                  reportProgress(session, received, total);
                                          });
                                      }};
    m_ports.downloader->download(std::move(request), [this, session, alive = std::weak_ptr<int>(m_lifetime),
                                                      dispatcher = m_ports.dispatcher](UpdateDownloader::Result result) {
        dispatcher->async([=, this] {
            if (alive.lock() && m_session == session)
                archiveArrived(session, result);
        });
    });
}

void SoftwareUpdateController::reportProgress(const std::shared_ptr<Session>& session, qint64 received, qint64 total)
{
    if (!session->interactive || !m_ports.driver)
        return;
    m_ports.driver->showDownloadProgress(received, total, [this, session, alive = std::weak_ptr<int>(m_lifetime)] {
        if (alive.lock() && m_session == session)
            m_ports.downloader->cancelAll();
    });
}

void SoftwareUpdateController::archiveArrived(const std::shared_ptr<Session>& session,
                                              const UpdateDownloader::Result& result)
{
    if (result.failure == Failure::cancelled) {
        finish(session, std::nullopt);
        return;
    }
    if (result.failure != Failure::none) {
        const Message message = problemMessage(downloadProblem(result.failure, Problem::downloadFailed), {});
        qWarning("Ostrevane: update download failed: %s", qPrintable(message.text));
        finish(session, session->interactive ? std::optional(message) : std::nullopt);
        return;
    }
    // Verified and unpacked off the main thread; nothing is touched before both checks pass.
    m_ports.dispatcher->global(QueuePriority::utility, [this, session, result, alive = std::weak_ptr<int>(m_lifetime),
                                                        dispatcher = m_ports.dispatcher,
                                                        configuration = m_configuration] {
        const AppcastItem& item = *session->item;
        Problem problem = Problem::none;
        QString error;
        if (result.body.size() != item.archiveLength)
            problem = Problem::wrongLength;
        else if (!UpdateSignature::verify(configuration.publicKey, result.body, item.edSignature))
            problem = Problem::badSignature;
        else if (!ProgramFolder::installArchive(result.body, configuration.programFolder, &error))
            problem = Problem::installFailed;
        dispatcher->async([=, this] {
            if (alive.lock() && m_session == session)
                installed(session, problem, error);
        });
    });
}

void SoftwareUpdateController::installed(const std::shared_ptr<Session>& session, Problem problem, const QString& detail)
{
    if (m_ports.driver && session->interactive)
        m_ports.driver->hideDownloadProgress();
    if (problem != Problem::none) {
        const Message message = problemMessage(problem, detail);
        qWarning("Ostrevane: update not installed: %s", qPrintable(message.text));
        finish(session, session->interactive || session->userInitiated ? std::optional(message) : std::nullopt);
        return;
    }
    const QString version = session->item->displayVersion();
    const bool interactive = session->interactive;
    finish(session, std::nullopt);
    if (interactive) {
        m_ports.restart(m_configuration.programFolder);
        return;
    }
    qInfo("Ostrevane: version %s is installed and runs from the next start", qPrintable(version));
    if (m_ports.driver)
        m_ports.driver->askToRestart(version, [this, alive = std::weak_ptr<int>(m_lifetime)](bool now) {
            if (alive.lock() && now)
                m_ports.restart(m_configuration.programFolder);
        });
}

void SoftwareUpdateController::finish(const std::shared_ptr<Session>& session, const std::optional<Message>& message)
{
    if (session && m_session == session)
        m_session.reset();
    if (!message)
        return;
    if (m_ports.driver)
        m_ports.driver->showMessage(*message);
    else
        qWarning("Ostrevane: %s", qPrintable(message->text));
}

} // namespace ostrevane
