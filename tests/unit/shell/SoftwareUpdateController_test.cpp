#include "core/shell/SoftwareUpdateController.h"

#include "core/onboarding/OnboardingManager.h"
#include "core/preferences/UserDefaults.h"
#include "platform/qt/QtDispatcher.h"
#include "platform/qt/QtUpdateDownloader.h"
#include "support/LocalHttpServer.h"
#include "support/TestRuntime.h"
#include "support/ProgramFolderFixtures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

using Choice = UpdateUserDriver::Choice;

// Records what a person would see and answers as the test says.
struct FakeDriver : UpdateUserDriver {
    std::vector<Message> messages;
    std::vector<Offer> offers;
    std::optional<Choice> choice;
    std::optional<bool> checkAutomatically;
    int questions = 0;
    int progressHidden = 0;

    void showMessage(const Message& message) override { messages.push_back(message); }
    void askToCheckAutomatically(std::function<void(bool)> reply) override
    {
        ++questions;
        if (checkAutomatically)
            reply(*checkAutomatically);
    }
    void showUpdateFound(const Offer& offer, std::function<void(Choice)> reply) override
    {
        offers.push_back(offer);
        if (choice)
            reply(*choice);
    }
    void showDownloadProgress(qint64, qint64, std::function<void()>) override {}
    void hideDownloadProgress() override { ++progressHidden; }
    void askToRestart(const QString&, std::function<void(bool)>) override {}
    QStringList messageTexts() const
    {
        QStringList texts;
        for (const Message& message : messages)
            texts << message.text;
        return texts;
    }
};

QByteArray appcast(const QString& version, const QString& url, qint64 length, const QByteArray& signature)
{
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" "
           "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel><item>"
           "<sparkle:version>" +
           version.toUtf8() + "</sparkle:version><description><![CDATA[<p>Quicker search</p>]]></description>"
           "<enclosure url=\"" + url.toUtf8() + "\" length=\"" + QByteArray::number(length) +
           "\" type=\"application/gzip\" sparkle:edSignature=\"" + signature + "\"/></item></channel></rss>";
}

// A controller of release 1.1 whose person is the fake driver and whose restarts are recorded.
class UpdaterTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    FakeDriver driver;
    QStringList restarts;
    std::unique_ptr<SoftwareUpdateController> controller;

    void makeController(Dispatcher& dispatcher, UpdateDownloader& downloader,
                        const SoftwareUpdateController::Configuration& configuration)
    {
        SoftwareUpdateController::Ports ports{.dispatcher = &dispatcher,
                                              .clock = &runtime.clock,
                                              .defaults = &runtime.defaults(),
                                              .downloader = &downloader,
                                              .driver = &driver,
                                              .restart = [this](const QString& folder) { restarts << folder; }};
        controller.reset();
        controller = std::make_unique<SoftwareUpdateController>(ports, configuration);
    }
};

// The updater against feeds and archives served from 127.0.0.1, with real downloads,
// real threads and a real program folder in a temporary directory.
class UpdaterOnline : public UpdaterTest {
protected:
    QtDispatcher dispatcher;
    QtUpdateDownloader downloader;
    LocalHttpServer server;
    UpdateSigningKey key;
    QTemporaryDir dir;
    QString folder = makeProgramFolder(dir.path(), "Ostrevane", "1.1");

    void make(const QString& feedURL, double feedTimeout = 10.0)
    {
        makeController(dispatcher, downloader, {feedURL, key.publicKeyBase64(), "1.1", "6.1.0", folder, feedTimeout});
    }
    // Serves release 2.0 of the program folder; `tamper` may change the archive or the
    // feed's record of it after it was signed.
    void serveRelease(const std::function<void(QByteArray& archive, qint64& length, QString& url)>& tamper = {})
    {
        QTemporaryDir source;
        QByteArray archive = archiveOf(makeProgramFolder(source.path(), "Ostrevane-2.0-x86_64", "2.0"));
        const QByteArray signature = key.signBase64(archive);
        qint64 length = archive.size();
        QString url = server.url("/Ostrevane-2.0.tar.gz");
        if (tamper)
            tamper(archive, length, url);
        server.route("/Ostrevane-2.0.tar.gz", {200, archive, {}, LocalHttpServer::Response::Mode::complete});
        server.route("/appcast.xml", {200, appcast("2.0", url, length, signature), {}, {}});
        make(server.url("/appcast.xml"));
    }
    void checkAndWait()
    {
        controller->checkForUpdates();
        ASSERT_TRUE(pumpEventsUntil([&] { return !controller->isBusy(); }, 20000));
    }
};

} // namespace

TEST_F(UpdaterOnline, OnlyANewerReleaseIsOfferedAndInstallingItVerifiesSwapsTheFolderAndRestarts)
{
    server.route("/appcast.xml", {200, appcast("1.1", server.url("/a.tar.gz"), 10, "c2ln"), {}, {}});
    make(server.url("/appcast.xml"));
    checkAndWait();
    EXPECT_EQ(driver.messageTexts(), QStringList{"Ostrevane 1.1 is currently the newest version available."});
    EXPECT_TRUE(driver.offers.empty());

    serveRelease();
    driver.choice = Choice::remindLater;
    checkAndWait();
    ASSERT_EQ(driver.offers.size(), 1u);
    EXPECT_EQ(driver.offers[0].version, "2.0");
    EXPECT_EQ(driver.offers[0].notes, "<p>Quicker search</p>");
    EXPECT_TRUE(driver.offers[0].installable);
    EXPECT_EQ(runProgramFolder(folder), "1.1");

    driver.choice = Choice::install;
    checkAndWait();
    EXPECT_EQ(runProgramFolder(folder), "2.0");
    EXPECT_EQ(restarts, QStringList{folder});
    EXPECT_EQ(driver.progressHidden, 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"Ostrevane"});
}

TEST_F(UpdaterOnline, ABrokenFeedIsAClearMessageNeverAHang)
{
    server.route("/malformed.xml", {200, "<rss><channel><item><title>1.2</title>", {}, {}});
    server.route("/huge.xml", LocalHttpServer::bytes(3 * 1024 * 1024));
    server.route("/slow.xml", LocalHttpServer::hang());
    server.route("/downgrade.xml", LocalHttpServer::redirect("http://updates.site.test/appcast.xml"));
    const std::pair<QString, QString> rows[] = {
        {server.url("/malformed.xml"), "The update information is damaged and could not be read."},
        {server.url("/huge.xml"), "The update information is much larger than expected, so Ostrevane did not read it."},
        {server.url("/slow.xml"), "The update server did not answer in time. Try again later."},
        {server.url("/downgrade.xml"),
         "The update information is not offered over a secure connection (https), so Ostrevane did not read it."},
    };
    for (const auto& [url, text] : rows) {
        make(url, 1.0);
        driver.messages.clear();
        checkAndWait();
        ASSERT_EQ(driver.messages.size(), 1u) << qPrintable(url);
        EXPECT_EQ(driver.messages[0].text, text) << qPrintable(url);
    }
}

TEST_F(UpdaterOnline, AnArchiveThatFailsItsChecksTouchesNothing)
{
    const struct {
        const char* name;
        std::function<void(QByteArray&, qint64&, QString&)> tamper;
        const char* text;
    } rows[] = {
        {"bad signature", [](QByteArray& archive, qint64&, QString&) { archive[archive.size() / 2] ^= 0x01; },
         "The downloaded update is not signed by the makers of Ostrevane, so it was not installed."},
        {"shorter than announced", [](QByteArray&, qint64& length, QString&) { length += 1; },
         "The downloaded update does not have the expected size, so it was not installed."},
        {"plain http", [](QByteArray&, qint64&, QString& url) { url = "http://updates.site.test/Ostrevane-2.0.tar.gz"; },
         "The update is not offered over a secure connection (https), so Ostrevane did not download it."},
    };
    for (const auto& row : rows) {
        serveRelease(row.tamper);
        driver.choice = Choice::install;
        driver.messages.clear();
        checkAndWait();
        EXPECT_EQ(driver.messageTexts(), QStringList{row.text}) << row.name;
        EXPECT_EQ(runProgramFolder(folder), "1.1") << row.name;
        EXPECT_TRUE(restarts.isEmpty()) << row.name;
    }
}

TEST_F(UpdaterOnline, ACopyFromThePackageManagerIsNeverReplaced)
{
    serveRelease();
    folder = "/usr";
    make(server.url("/appcast.xml"));
    driver.choice = Choice::install; // not offered: nothing may happen
    checkAndWait();
    ASSERT_EQ(driver.offers.size(), 1u);
    EXPECT_FALSE(driver.offers[0].installable);
    EXPECT_EQ(server.requests().filter("tar.gz"), QStringList{});
}

namespace {

// The updater's schedule and choices on virtual time, with a downloader that answers at
// once with a feed offering 2.0.
class UpdaterSchedule : public UpdaterTest {
protected:
    struct CannedDownloader : UpdateDownloader {
        int feeds = 0;
        QByteArray feed = appcast("2.0", "https://updates.site.test/a.tar.gz", 10, "c2ln");
        void download(Request request, std::function<void(Result)> completion) override
        {
            ++feeds;
            EXPECT_TRUE(request.url.endsWith("appcast.xml"));
            completion(Result{Failure::none, 200, feed});
        }
        void cancelAll() override {}
    };

    CannedDownloader downloader;

    UpdaterSchedule() { driver.choice = Choice::remindLater; } // an open offer holds back later checks

    void launch(const QString& feedURL = "https://updates.site.test/appcast.xml")
    {
        makeController(runtime.dispatcher(), downloader, {feedURL, "", "1.1", "6.1", "/usr", 10.0});
        controller->startUpdater();
        runtime.runUntilIdle();
    }
    void restart()
    {
        controller.reset();
        runtime.restart();
        launch();
    }
    void finishGuide() { runtime.defaults().set(OnboardingManager::didCompleteKey, true); }
};

} // namespace

TEST_F(UpdaterSchedule, TheQuestionComesOnceAtTheSecondStartAndYesTurnsChecksOn)
{
    finishGuide();
    driver.checkAutomatically = true;
    launch();
    runtime.advance(SoftwareUpdateController::checkInterval * 2);
    EXPECT_EQ(driver.questions, 0);
    EXPECT_EQ(downloader.feeds, 0); // off until the person says so

    restart();
    runtime.advance(SoftwareUpdateController::questionDelay);
    EXPECT_EQ(driver.questions, 1);
    EXPECT_TRUE(controller->automaticallyChecksForUpdates());
    runtime.advance(SoftwareUpdateController::firstCheckDelay);
    EXPECT_EQ(downloader.feeds, 1);

    restart();
    runtime.advance(SoftwareUpdateController::questionDelay + SoftwareUpdateController::firstCheckDelay);
    EXPECT_EQ(driver.questions, 1); // never asked again
}

TEST_F(UpdaterSchedule, NoToTheQuestionMeansNoChecks)
{
    launch();
    finishGuide();
    driver.checkAutomatically = false;
    restart();
    runtime.advance(SoftwareUpdateController::questionDelay);
    EXPECT_EQ(driver.questions, 1);
    runtime.advance(SoftwareUpdateController::checkInterval * 3);
    EXPECT_EQ(downloader.feeds, 0);
}

TEST_F(UpdaterSchedule, AutomaticChecksRunAtMostDailyAcrossRestarts)
{
    launch();
    controller->setAutomaticallyChecksForUpdates(true);
    runtime.advance(SoftwareUpdateController::firstCheckDelay);
    EXPECT_EQ(downloader.feeds, 1);
    runtime.advance(2 * 60 * 60);
    restart(); // two hours after the last check
    runtime.advance(SoftwareUpdateController::checkInterval - 2 * 60 * 60 - 1);
    EXPECT_EQ(downloader.feeds, 1);
    runtime.advance(1);
    EXPECT_EQ(downloader.feeds, 2);
}

TEST_F(UpdaterSchedule, ASkippedVersionIsOfferedOnlyWhenThePersonAsks)
{
    launch();
    driver.choice = Choice::skipThisVersion;
    controller->checkForUpdates();
    runtime.runUntilIdle();
    EXPECT_EQ(runtime.defaults().string(SoftwareUpdateController::skippedVersionKey), "2.0");
    controller->setAutomaticallyChecksForUpdates(true);
    runtime.advance(SoftwareUpdateController::checkInterval + SoftwareUpdateController::firstCheckDelay);
    EXPECT_EQ(downloader.feeds, 2);
    EXPECT_EQ(driver.offers.size(), 1u);
    controller->checkForUpdates();
    runtime.runUntilIdle();
    EXPECT_EQ(driver.offers.size(), 2u);
}

TEST_F(UpdaterSchedule, AskingAgainWhileAnOfferIsOpenShowsThatOfferWithoutAnotherDownload)
{
    launch();
    driver.choice.reset(); // the offer stays open
    controller->checkForUpdates();
    runtime.runUntilIdle();
    controller->checkForUpdates();
    runtime.runUntilIdle();
    EXPECT_EQ(downloader.feeds, 1);
    EXPECT_EQ(driver.offers.size(), 2u);
}

TEST_F(UpdaterSchedule, ABuildWithoutFeedSaysSoAndNeverChecks)
{
    launch("");
    EXPECT_FALSE(controller->isAvailable());
    controller->setAutomaticallyChecksForUpdates(true);
    controller->checkForUpdates();
    runtime.advance(SoftwareUpdateController::checkInterval * 2);
    EXPECT_EQ(downloader.feeds, 0);
    ASSERT_EQ(driver.messages.size(), 1u);
    EXPECT_EQ(driver.messages[0].title, "Updates Are Not Available");
}
