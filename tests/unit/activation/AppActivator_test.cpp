#include "core/activation/AppActivator.h"

#include "platform/sim/ThreadedDispatcher.h"
#include "support/Fixtures.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

const QString editorID = QStringLiteral("com.example.editor");
const QString musicID = QStringLiteral("com.apple.Music");
const CloseCapability ineffective = CloseCapability::blocked("Force quit ineffective");

class AppActivatorTest : public ::testing::Test {
protected:
    TestRuntime runtime;

    AppActivator& activator() { return AppActivator::shared(); }
    SimWorkspace& workspace() { return runtime.desktop().workspace; }
    QStringList kills() { return runtime.desktop().processSignals.log(); }

    ProcessID launch(const QString& bundleID, ActivationPolicy policy = ActivationPolicy::regular)
    {
        return runtime.desktop().launch(bundleID, bundleID.section(QLatin1Char('.'), -1), policy);
    }
    // An application that ignores the polite quit request, and with a dialog open if asked.
    ProcessID launchStubborn(const QString& bundleID, bool survivesKill = false, bool withDialog = false)
    {
        const ProcessID pid = runtime.desktop().launch(bundleID, bundleID.section(QLatin1Char('.'), -1),
                                                       ActivationPolicy::regular, std::nullopt,
                                                       SimAppBehaviour{.quitsWhenAsked = false, .survivesKill = survivesKill});
        if (withDialog)
            runtime.desktop().openWindow(pid, QStringLiteral("Untitled"), SimWindowOptions{.hasSheet = true});
        return pid;
    }
    // An activator of its own on `dispatcher`, outside the shared one.
    std::shared_ptr<AppActivator> makeActivator(Dispatcher& dispatcher, const PlatformProfile& profile = PlatformProfile::macOS())
    {
        return std::make_shared<AppActivator>(AppActivator::Ports{
            dispatcher, runtime.clock, runtime.defaults(), profile, runtime.accessibility, workspace(),
            runtime.desktop().processSignals, runtime.desktop().media});
    }
    // Two closes of the same application `gap` seconds apart.
    void closeTwice(const QString& bundleID, double gap)
    {
        activator().quit(bundleID);
        runtime.advance(gap);
        activator().quit(bundleID);
        runtime.runUntilIdle();
    }
};

} // namespace

// ---- Quitting across its time windows

TEST_F(AppActivatorTest, SecondCloseForceQuitsOnlyWithinSixSeconds)
{
    for (const double gap : {5.0, 6.0, 7.0}) {
        const QString bundleID = QStringLiteral("com.example.app%1").arg(gap);
        launchStubborn(bundleID);
        closeTwice(bundleID, gap);
        runtime.advance(10.0);
    }
    EXPECT_EQ(workspace().log(), (QStringList{"terminate 1001", "terminate 1002", "terminate 1003", "terminate 1003"}));
    EXPECT_EQ(kills(), (QStringList{"kill 1001 9", "kill 1002 9"}));
}

// On Linux closing the windows is not all of a polite quit: what still runs after the
// follow-up delay is sent SIGTERM, unless it asks the user something.
TEST_F(AppActivatorTest, WhereTheProfileSaysSoWhatStillRunsAfterThePoliteQuitIsSentItsSignal)
{
    const PlatformProfile linux = PlatformProfile::linuxDesktop({QStringLiteral("files"), {}});
    const auto activator = makeActivator(runtime.dispatcher(), linux);
    const ProcessID tray = launchStubborn(QStringLiteral("org.example.Tray"));
    const ProcessID editor = launchStubborn(editorID, false, true);
    activator->quit(QStringLiteral("org.example.Tray"));
    activator->quit(editorID);
    runtime.advance(1.1);
    EXPECT_TRUE(kills().isEmpty());
    runtime.advance(0.1);
    EXPECT_EQ(kills(), QStringList{QStringLiteral("kill %1 15").arg(tray)});
    EXPECT_TRUE(workspace().log().contains(QStringLiteral("activate %1").arg(editor))) << "its dialog is shown instead";
}

// ---- Windows whose program does not respond

TEST_F(AppActivatorTest, ASecondCloseOfAHungWindowForceQuitsItsProcessOnlyWhenItOwnsNoOtherWindow)
{
    const auto windowOf = [&](ProcessID pid, const QString& title) {
        WindowItem item = fixtures::window("Stubborn", QStringLiteral("x11:Stubborn"), title, pid);
        item.axWindow = runtime.desktop().openWindow(pid, title);
        item.cgWindowID = runtime.desktop().windowNumber(item.axWindow);
        return item;
    };
    const ProcessID alone = launchStubborn(QStringLiteral("org.example.Alone"));
    const ProcessID busy = launchStubborn(QStringLiteral("org.example.Busy"));
    const WindowItem only = windowOf(alone, "Only");
    const WindowItem first = windowOf(busy, "First");
    windowOf(busy, "Second");
    workspace().setResponsiveness(alone, Responsiveness::notResponding);
    workspace().setResponsiveness(busy, Responsiveness::notResponding);

    EXPECT_EQ(activator().hungWindowState(only), HungWindow::no) << "not closed yet";
    activator().closeWindow(only);
    activator().closeWindow(first);
    EXPECT_EQ(activator().hungWindowState(only), HungWindow::forceQuitOffered);
    EXPECT_EQ(activator().hungWindowState(first), HungWindow::notResponding);
    runtime.advance(5.0);
    activator().closeWindow(only);
    activator().closeWindow(first);
    runtime.runUntilIdle();
    EXPECT_EQ(kills(), QStringList{QStringLiteral("kill %1 9").arg(alone)});

    runtime.advance(7.0); // the repeat window has passed: a close is a close again
    EXPECT_EQ(activator().hungWindowState(first), HungWindow::no);
    workspace().setResponsiveness(busy, Responsiveness::responding);
    activator().closeWindow(first);
    EXPECT_EQ(activator().hungWindowState(first), HungWindow::no);
}

TEST_F(AppActivatorTest, InstanceWithADialogIsBroughtForwardAfterTheCloseAndKilledInTheSecondPass)
{
    launchStubborn(editorID);
    launchStubborn(editorID, false, /*withDialog=*/true);
    activator().quit(editorID);
    runtime.advance(1.1);
    EXPECT_EQ(workspace().log(), (QStringList{"terminate 1001", "terminate 1002"}));
    runtime.advance(0.1);
    EXPECT_EQ(workspace().log(), (QStringList{"terminate 1001", "terminate 1002", "activate 1002"}));
    runtime.advance(0.8);
    workspace().clearLog();

    activator().quit(editorID); // force quit: the dialog's owner is brought forward, the other killed at once
    runtime.runUntilIdle();
    EXPECT_EQ(workspace().log(), (QStringList{"activate 1002"}));
    EXPECT_EQ(kills(), (QStringList{"kill 1001 9"}));
    runtime.advance(0.59);
    EXPECT_EQ(kills(), (QStringList{"kill 1001 9"}));
    runtime.advance(0.01);
    EXPECT_EQ(kills(), (QStringList{"kill 1001 9", "kill 1002 9"}));
}

TEST_F(AppActivatorTest, SurvivorIsMarkedForSixHundredSecondsAcrossARestart)
{
    launchStubborn(editorID, /*survivesKill=*/true);
    closeTwice(editorID, 5.0);
    runtime.advance(1.99);
    EXPECT_EQ(activator().closeCapability(editorID), CloseCapability::quit());
    runtime.advance(0.01);
    EXPECT_EQ(activator().closeCapability(editorID), ineffective);
    EXPECT_EQ(kills(), (QStringList{"kill 1001 9", "kill 1001 9"}));
    // 2026-01-01 00:00:00 UTC + 5 s + 2 s + 600 s.
    EXPECT_EQ(runtime.defaults().dictionary("forceQuitIneffectiveUntil.v1"), (QVariantMap{{editorID, 1767226207.0}}));

    runtime.restart();
    EXPECT_EQ(activator().closeCapability(editorID), ineffective);
    runtime.advance(599.0);
    EXPECT_EQ(activator().closeCapability(editorID), ineffective);
    runtime.advance(1.0);
    EXPECT_EQ(activator().closeCapability(editorID), CloseCapability::quit());
    EXPECT_EQ(runtime.defaults().dictionary("forceQuitIneffectiveUntil.v1"), QVariantMap{});
}

TEST(AppActivator, StoredMarksAreReadOnFirstUseAndADamagedTableIsIgnored)
{
    // Virtual time starts at 1767225600 seconds since 1970.
    const struct {
        const char* name;
        QVariant stored;
        CloseCapability expected;
    } rows[] = {
        {"integer seconds count", QVariantMap{{editorID, qint64(1767225700)}}, ineffective},
        {"mark ending now is dropped", QVariantMap{{editorID, 1767225600.0}}, CloseCapability::quit()},
        {"non-numeric entry voids the table", QVariantMap{{editorID, 1767225700.0}, {"com.example.other", "soon"}},
         CloseCapability::quit()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestRuntime fresh;
        fresh.defaults().set("forceQuitIneffectiveUntil.v1", row.stored);
        fresh.desktop().launch(editorID, QStringLiteral("editor"));
        EXPECT_EQ(AppActivator::shared().closeCapability(editorID), row.expected);
    }
}

TEST_F(AppActivatorTest, DelayedChecksDoNothingOnceTheActivatorIsGone)
{
    launchStubborn(editorID, /*survivesKill=*/true);
    auto activator = makeActivator(runtime.dispatcher());
    activator->quit(editorID);
    runtime.advance(1.0);
    activator->quit(editorID);
    activator.reset();
    runtime.advance(3.0);
    EXPECT_TRUE(kills().isEmpty());
    EXPECT_FALSE(runtime.defaults().object("forceQuitIneffectiveUntil.v1").isValid());
}

TEST_F(AppActivatorTest, ForceQuitOnRealThreadsReportsBackThroughTheMainQueue)
{
    constexpr double timeout = 10.0; // a hung test's safety net only
    ThreadedDispatcher threads(runtime.clock);
    auto activator = makeActivator(threads);
    launchStubborn(musicID);
    launchStubborn(musicID, false, /*withDialog=*/true);

    activator->quit(musicID);
    threads.advance(1.2);
    ASSERT_TRUE(threads.waitUntilIdle(timeout));
    activator->quit(musicID);
    ASSERT_TRUE(threads.waitUntilIdle(timeout));
    EXPECT_EQ(kills(), (QStringList{"kill 1001 9"}));
    threads.advance(0.6);
    ASSERT_TRUE(threads.waitUntilIdle(timeout));
    threads.advance(1.4);
    ASSERT_TRUE(threads.waitUntilIdle(timeout));

    EXPECT_EQ(kills(), (QStringList{"kill 1001 9", "kill 1002 9"}));
    EXPECT_EQ(runtime.desktop().media.log(), (QStringList{"pause com.apple.Music Music"}));
    EXPECT_EQ(workspace().log(), (QStringList{"terminate 1001", "terminate 1002", "activate 1002", "activate 1002"}));
    EXPECT_EQ(activator->closeCapability(musicID), CloseCapability::none());
}

// ---- Capability and dialogs

TEST_F(AppActivatorTest, CapabilityFollowsTheFirstMatchingRuleAndOnlyLiveLaunchableAppsAreUserApps)
{
    const struct {
        QString bundleID;
        std::optional<ActivationPolicy> running; // nothing: not running
        CloseCapability expected;
    } rows[] = {
        {"com.apple.SystemUIServer", std::nullopt, CloseCapability::blocked("Protected app")},
        {"com.google.GeminiMacOS", ActivationPolicy::regular, ineffective},
        {"com.apple.Safari", std::nullopt, CloseCapability::blocked("Close tabs instead")},
        {"com.example.editor", ActivationPolicy::regular, CloseCapability::quit()},
        {"com.example.tray", ActivationPolicy::accessory, CloseCapability::none()},
    };
    for (const auto& row : rows) {
        if (row.running)
            launch(row.bundleID, *row.running);
        EXPECT_EQ(activator().closeCapability(row.bundleID), row.expected) << row.bundleID.toStdString();
    }

    // A running user app is a launchable bundle directly in a root that has not terminated.
    runtime.desktop().launch("com.example.direct", "Direct", ActivationPolicy::regular, "/Applications/Direct.app");
    workspace().setTerminated(
        runtime.desktop().launch("com.example.gone", "Gone", ActivationPolicy::regular, "/Applications/Gone.app"));
    EXPECT_TRUE(activator().runningUserAppIDs().contains("com.example.direct"));
    EXPECT_FALSE(activator().runningUserAppIDs().contains("com.example.gone"));
}

// A dialog found by its sheet is checked with the force quit above.
TEST_F(AppActivatorTest, ModalDialogIsFoundByItsSubroleAndUnreadableWindowsAreIndeterminate)
{
    const ProcessID pid = launch(editorID);
    runtime.desktop().openWindow(pid, QStringLiteral("Main"));
    runtime.desktop().openWindow(pid, QStringLiteral("Save"), {.subrole = "AXDialog"});
    EXPECT_EQ(activator().modalDialogState(pid), ModalDialogState::present);
    const ProcessID unreadable = launch(editorID);
    runtime.desktop().makeWindowsUnreadable(unreadable);
    EXPECT_EQ(activator().modalDialogState(unreadable), ModalDialogState::indeterminate);
    EXPECT_EQ(activator().modalDialogState(4242), ModalDialogState::indeterminate);
}

// ---- Media

// Notes whether anything had been killed when the pause arrived.
class PauseProbe : public MediaControl {
public:
    explicit PauseProbe(SimProcessSignals& processSignals) : m_signals(processSignals) {}
    QStringList log;
    void pause(const QString& bundleID, const QString& playerName) override
    {
        log << QStringLiteral("pause %1 %2 after %3 kills").arg(bundleID, playerName).arg(m_signals.log().size());
    }

private:
    SimProcessSignals& m_signals;
};

// The pause runs on the activator's serial queue ahead of the kill: a pause arriving after
// the kill would start the player again.
TEST_F(AppActivatorTest, MediaPlayerIsPausedBeforeItIsKilled)
{
    PauseProbe probe(runtime.desktop().processSignals);
    runtime.context().ports().mediaControl = &probe;
    launchStubborn(musicID);
    closeTwice(musicID, 1.0);
    EXPECT_EQ(probe.log, (QStringList{"pause com.apple.Music Music after 0 kills"}));
    EXPECT_EQ(kills(), (QStringList{"kill 1001 9"}));
}

// ---- Application activation

// On Linux the plain open would show the desktop entry in a text editor: the failure is
// reported instead, to the log and to the observers that tell the user.
TEST_F(AppActivatorTest, AFailedLaunchIsReportedAndNeverOpenedAsADocumentWhereThatShowsItAsText)
{
    PlatformProfile profile = PlatformProfile::macOS();
    profile.retriesFailedLaunchAsPlainOpen = false;
    const auto activator = makeActivator(runtime.dispatcher(), profile);
    std::vector<QStringList> reported;
    const AppActivator::Token token = activator->observeLaunchFailures([&](const AppActivator::LaunchFailure& failure) {
        reported.push_back({failure.appName, failure.appPath, failure.reason});
    });
    activator->observeLaunchFailures([&](const AppActivator::LaunchFailure&) { reported.push_back({"second"}); });
    workspace().setOpenFails("/apps/vim.desktop", "no terminal emulator is installed");

    activator->activate(fixtures::app("vim", "Vim", "/apps/vim.desktop"));
    EXPECT_TRUE(reported.empty()) << "observers hear of it on the main queue";
    runtime.runUntilIdle();
    activator->removeLaunchFailureObserver(token);
    activator->activate(fixtures::app("vim", "Vim", "/apps/vim.desktop"));
    runtime.runUntilIdle();

    EXPECT_EQ(workspace().log(), (QStringList{"open /apps/vim.desktop", "open /apps/vim.desktop"}));
    EXPECT_EQ(reported, (std::vector<QStringList>{{"Vim", "/apps/vim.desktop", "no terminal emulator is installed"},
                                                  {"second"},
                                                  {"second"}}));
}

TEST_F(AppActivatorTest, FinderRowsActivateFinderThenOpenHomeOnTheMainQueue)
{
    SwitchItemActivator rows;
    runtime.context().ports().actions = &rows;
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", "/home/tester");
    workspace().addInstalled("/System/Library/CoreServices/Finder.app",
                             {.processIdentifier = 3001, .bundleIdentifier = QStringLiteral("com.apple.finder")});
    SwitchItem(fixtures::app("com.apple.finder", "Finder", "/System/Library/CoreServices/Finder.app")).activate();
    EXPECT_EQ(workspace().log(), (QStringList{"open /System/Library/CoreServices/Finder.app"}));
    runtime.runUntilIdle();
    qputenv("HOME", savedHome);
    EXPECT_EQ(workspace().log(), (QStringList{"open /System/Library/CoreServices/Finder.app", "activate 3001 all",
                                              "openURL file:///home/tester"}));
}
