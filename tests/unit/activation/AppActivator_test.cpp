#include "core/activation/AppActivator.h"

#include "platform/sim/ThreadedDispatcher.h"
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

    ProcessID launch(const QString& bundleID)
    {
        return runtime.desktop().launch(bundleID, bundleID.section(QLatin1Char('.'), -1));
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
    std::shared_ptr<AppActivator> makeActivator(Dispatcher& dispatcher)
    {
        return std::make_shared<AppActivator>(AppActivator::Ports{
            dispatcher, runtime.clock, runtime.defaults(), PlatformProfile::macOS(), runtime.accessibility, workspace(),
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
    for (const double gap : {6.0, 7.0}) {
        const QString bundleID = QStringLiteral("com.example.app%1").arg(gap);
        launchStubborn(bundleID);
        closeTwice(bundleID, gap);
        runtime.advance(10.0);
    }
    EXPECT_EQ(workspace().log(), (QStringList{"terminate 1001", "terminate 1002", "terminate 1002"}));
    EXPECT_EQ(kills(), (QStringList{"kill 1001 9"}));
}

TEST_F(AppActivatorTest, SurvivorIsMarkedForSixHundredSecondsAcrossARestart)
{
    launchStubborn(editorID, /*survivesKill=*/true);
    closeTwice(editorID, 5.0);
    runtime.advance(2.0);
    EXPECT_EQ(activator().closeCapability(editorID), ineffective);
    // 2026-01-01 00:00:00 UTC + 5 s + 2 s + 600 s.
    EXPECT_EQ(runtime.defaults().dictionary("forceQuitIneffectiveUntil.v1"), (QVariantMap{{editorID, 1767226207.0}}));

    runtime.restart();
    EXPECT_EQ(activator().closeCapability(editorID), ineffective);
    runtime.advance(600.0);
    EXPECT_EQ(activator().closeCapability(editorID), CloseCapability::quit());
    EXPECT_EQ(runtime.defaults().dictionary("forceQuitIneffectiveUntil.v1"), QVariantMap{});
}

// A mark read back and ending is proven across the restart above.
TEST(AppActivator, AStoredMarkTableWithANonNumericEntryIsIgnored)
{
    TestRuntime runtime; // virtual time starts at 1767225600 seconds since 1970
    runtime.defaults().set("forceQuitIneffectiveUntil.v1",
                           QVariantMap{{editorID, 1767225700.0}, {"com.example.other", "soon"}});
    runtime.desktop().launch(editorID, QStringLiteral("editor"));
    EXPECT_EQ(AppActivator::shared().closeCapability(editorID), CloseCapability::quit());
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
    EXPECT_EQ(workspace().log(), (QStringList{"terminate 1001", "terminate 1002", "activate 1002", "activate 1002"}));
    EXPECT_EQ(activator->closeCapability(musicID), CloseCapability::none());
}

// ---- Dialogs

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
