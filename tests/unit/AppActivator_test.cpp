#include "core/AppActivator.h"

#include "core/AppleScriptMediaControl.h"
#include "core/platform/ScriptRunner.h"
#include "platform/sim/ThreadedDispatcher.h"
#include "support/Fixtures.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

const QString editorID = QStringLiteral("com.example.editor");

class AppActivatorTest : public ::testing::Test {
protected:
    TestRuntime runtime;

    AppActivator& activator() { return AppActivator::shared(); }
    SimWorkspace& workspace() { return runtime.desktop().workspace; }
    QStringList kills() { return runtime.desktop().processSignals.log(); }

    ProcessID launch(const QString& bundleID, SimAppBehaviour behaviour = {},
                     ActivationPolicy policy = ActivationPolicy::regular)
    {
        return runtime.desktop().launch(bundleID, bundleID.section(QLatin1Char('.'), -1), policy, std::nullopt,
                                        behaviour);
    }
    // An application that ignores the polite quit request.
    ProcessID launchStubborn(const QString& bundleID, bool survivesKill = false)
    {
        return launch(bundleID, SimAppBehaviour{.quitsWhenAsked = false, .survivesKill = survivesKill});
    }
    void showSheet(ProcessID pid)
    {
        runtime.desktop().openWindow(pid, QStringLiteral("Untitled"), SimWindowOptions{.hasSheet = true});
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

// Sets a variable for one test and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : m_name(name), m_old(qgetenv(name)) { qputenv(name, value); }
    ~ScopedEnv() { qputenv(m_name, m_old); }

private:
    const char* m_name;
    QByteArray m_old;
};

} // namespace

// Table rows print as their names in failure messages.
template <class Row>
    requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

// ---- Quitting across its time windows

struct RepeatCase {
    const char* name;
    double gap;
    QStringList workspaceLog;
    QStringList killLog;
};

class QuitRepeat : public AppActivatorTest, public ::testing::WithParamInterface<RepeatCase> {};

TEST_P(QuitRepeat, SecondCloseForceQuitsOnlyWithinSixSeconds)
{
    launchStubborn(editorID);
    closeTwice(editorID, GetParam().gap);
    EXPECT_EQ(workspace().log(), GetParam().workspaceLog);
    EXPECT_EQ(kills(), GetParam().killLog);
}

INSTANTIATE_TEST_SUITE_P(
    AppActivator, QuitRepeat,
    ::testing::Values(
        RepeatCase{"FiveSecondsApart", 5.0, {"terminate 1001"}, {"kill 1001 9"}},
        RepeatCase{"ExactlySixSecondsApart", 6.0, {"terminate 1001"}, {"kill 1001 9"}},
        RepeatCase{"SevenSecondsApart", 7.0, {"terminate 1001", "terminate 1001"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppActivatorTest, QuitThatSucceededLetsTheNextCloseQuitPolitelyAgain)
{
    launch(editorID);
    activator().quit(editorID);
    runtime.advance(1.2); // the follow-up finds the application gone
    const ProcessID again = launch(editorID);
    runtime.advance(1.0);
    activator().quit(editorID);
    runtime.runUntilIdle();
    EXPECT_EQ(again, 1002);
    EXPECT_EQ(workspace().log(), (QStringList{"terminate 1001", "terminate 1002"}));
    EXPECT_TRUE(kills().isEmpty());
}

TEST_F(AppActivatorTest, InstanceWithADialogIsBroughtForwardAfterTheCloseAndKilledInTheSecondPass)
{
    launchStubborn(editorID);
    showSheet(launchStubborn(editorID));
    activator().quit(editorID);
    runtime.advance(1.1);
    EXPECT_EQ(workspace().log(), (QStringList{"terminate 1001", "terminate 1002"}));
    runtime.advance(0.1);
    EXPECT_EQ(workspace().log(), (QStringList{"terminate 1001", "terminate 1002", "activate 1002"}));
    EXPECT_TRUE(kills().isEmpty());
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
    runtime.advance(1.4);
    EXPECT_EQ(activator().closeCapability(editorID), CloseCapability::none());
}

TEST_F(AppActivatorTest, SurvivorIsMarkedForSixHundredSecondsAcrossARestart)
{
    launchStubborn(editorID, /*survivesKill=*/true);
    closeTwice(editorID, 5.0);
    runtime.advance(1.99);
    EXPECT_EQ(activator().closeCapability(editorID), CloseCapability::quit());
    runtime.advance(0.01);
    EXPECT_EQ(activator().closeCapability(editorID), CloseCapability::blocked("Force quit ineffective"));
    EXPECT_EQ(kills(), (QStringList{"kill 1001 9", "kill 1001 9"}));
    // 2026-01-01 00:00:00 UTC + 5 s + 2 s + 600 s.
    EXPECT_EQ(runtime.defaults().dictionary("forceQuitIneffectiveUntil.v1"),
              (QVariantMap{{editorID, 1767226207.0}}));

    runtime.restart();
    EXPECT_EQ(activator().closeCapability(editorID), CloseCapability::blocked("Force quit ineffective"));
    runtime.advance(599.0);
    EXPECT_EQ(activator().closeCapability(editorID), CloseCapability::blocked("Force quit ineffective"));
    runtime.advance(1.0);
    EXPECT_EQ(activator().closeCapability(editorID), CloseCapability::quit());
    EXPECT_EQ(runtime.defaults().dictionary("forceQuitIneffectiveUntil.v1"), QVariantMap{});
}

struct StoredMarksCase {
    const char* name;
    QVariant stored;
    CloseCapability expected;
};

class StoredMarks : public AppActivatorTest, public ::testing::WithParamInterface<StoredMarksCase> {};

TEST_P(StoredMarks, AreReadOnFirstUse)
{
    runtime.defaults().set("forceQuitIneffectiveUntil.v1", GetParam().stored);
    launch(editorID);
    EXPECT_EQ(activator().closeCapability(editorID), GetParam().expected);
}

// Virtual time starts at 1767225600 seconds since 1970.
const CloseCapability ineffective = CloseCapability::blocked("Force quit ineffective");
INSTANTIATE_TEST_SUITE_P(
    AppActivator, StoredMarks,
    ::testing::Values(
        StoredMarksCase{"FutureMarkBlocks", QVariantMap{{editorID, 1767225700.0}}, ineffective},
        StoredMarksCase{"IntegerSecondsCount", QVariantMap{{editorID, qint64(1767225700)}}, ineffective},
        StoredMarksCase{"ExpiredMarkIsDropped", QVariantMap{{editorID, 1767225599.0}}, CloseCapability::quit()},
        StoredMarksCase{"MarkEndingNowIsDropped", QVariantMap{{editorID, 1767225600.0}}, CloseCapability::quit()},
        StoredMarksCase{"NonNumericEntryVoidsTheTable",
                        QVariantMap{{editorID, 1767225700.0}, {"com.example.other", "soon"}}, CloseCapability::quit()},
        StoredMarksCase{"NonDictionaryIsIgnored", QVariantList{editorID}, CloseCapability::quit()}),
    [](const auto& info) { return std::string(info.param.name); });

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
    launchStubborn("com.apple.Music");
    showSheet(launchStubborn("com.apple.Music"));

    activator->quit("com.apple.Music");
    threads.advance(1.2);
    ASSERT_TRUE(threads.waitUntilIdle(timeout));
    activator->quit("com.apple.Music");
    ASSERT_TRUE(threads.waitUntilIdle(timeout));
    EXPECT_EQ(kills(), (QStringList{"kill 1001 9"}));
    threads.advance(0.6);
    ASSERT_TRUE(threads.waitUntilIdle(timeout));
    threads.advance(1.4);
    ASSERT_TRUE(threads.waitUntilIdle(timeout));

    EXPECT_EQ(kills(), (QStringList{"kill 1001 9", "kill 1002 9"}));
    EXPECT_EQ(runtime.desktop().media.log(), (QStringList{"pause com.apple.Music Music"}));
    EXPECT_EQ(workspace().log(), (QStringList{"terminate 1001", "terminate 1002", "activate 1002", "activate 1002"}));
    EXPECT_EQ(activator->closeCapability("com.apple.Music"), CloseCapability::none());
}

// ---- Capability

TEST_F(AppActivatorTest, CapabilityFollowsTheFirstMatchingRule)
{
    const struct {
        QString bundleID;
        std::optional<ActivationPolicy> running; // nothing: not running
        CloseCapability expected;
    } rows[] = {
        {"com.apple.finder", ActivationPolicy::regular, CloseCapability::blocked("Protected app")},
        {"com.apple.SystemUIServer", std::nullopt, CloseCapability::blocked("Protected app")},
        {"com.google.GeminiMacOS", ActivationPolicy::regular, CloseCapability::blocked("Force quit ineffective")},
        {"com.apple.Safari", std::nullopt, CloseCapability::blocked("Close tabs instead")},
        {"com.example.editor", ActivationPolicy::regular, CloseCapability::quit()},
        {"com.example.tray", ActivationPolicy::accessory, CloseCapability::none()},
        {"com.example.absent", std::nullopt, CloseCapability::none()},
    };
    for (const auto& row : rows) {
        if (row.running)
            launch(row.bundleID, {}, *row.running);
        EXPECT_EQ(activator().closeCapability(row.bundleID), row.expected) << row.bundleID.toStdString();
    }
}

TEST_F(AppActivatorTest, RunningUserAppNeedsALaunchableBundleDirectlyInARoot)
{
    runtime.desktop().launch("com.example.direct", "Direct", ActivationPolicy::regular, "/Applications/Direct.app");
    workspace().setTerminated(
        runtime.desktop().launch("com.example.gone", "Gone", ActivationPolicy::regular, "/Applications/Gone.app"));
    EXPECT_TRUE(activator().isRunningUserApp("com.example.direct"));
    EXPECT_FALSE(activator().isRunningUserApp("com.example.gone"));
    EXPECT_FALSE(activator().isRunningUserApp("com.example.absent"));
}

// ---- Modal dialogs

TEST_F(AppActivatorTest, ModalDialogIsFoundBySubroleOrSheet)
{
    const struct {
        const char* name;
        std::vector<SimWindowOptions> windows;
        ModalDialogState expected;
    } rows[] = {
        {"no windows", {}, ModalDialogState::absent},
        {"dialog subrole", {{}, {.subrole = "AXDialog"}}, ModalDialogState::present},
        {"other subrole", {{.subrole = "AXStandardWindow"}}, ModalDialogState::absent},
        {"sheet attribute", {{.hasSheet = true}}, ModalDialogState::present},
    };
    for (const auto& row : rows) {
        const ProcessID pid = launch(editorID);
        for (const SimWindowOptions& options : row.windows)
            runtime.desktop().openWindow(pid, QStringLiteral("Window"), options);
        EXPECT_EQ(activator().modalDialogState(pid), row.expected) << row.name;
    }
}

TEST_F(AppActivatorTest, UnreadableWindowsAreIndeterminate)
{
    const ProcessID pid = launch(editorID);
    runtime.desktop().makeWindowsUnreadable(pid);
    EXPECT_EQ(activator().modalDialogState(pid), ModalDialogState::indeterminate);
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

TEST_F(AppActivatorTest, MediaPlayerIsPausedBeforeItIsKilled)
{
    PauseProbe probe(runtime.desktop().processSignals);
    runtime.context().ports().mediaControl = &probe;
    launchStubborn("com.apple.Music");
    closeTwice("com.apple.Music", 1.0);
    EXPECT_EQ(probe.log, (QStringList{"pause com.apple.Music Music after 0 kills"}));
    EXPECT_EQ(kills(), (QStringList{"kill 1001 9"}));
}

// Answers nothing and remembers each script.
class RecordingScriptRunner : public ScriptRunner {
public:
    QStringList sources;
    std::optional<ScriptDescriptor> executeAppleScript(const QString& source) override
    {
        sources << source;
        return std::nullopt;
    }
};

TEST(AppleScriptMediaControl, SendsTheOneLinePauseScript)
{
    RecordingScriptRunner runner;
    AppleScriptMediaControl media(runner);
    media.pause("com.apple.Music", "Music");
    media.pause("com.example.odd", "Odd \"Player\"");
    EXPECT_EQ(runner.sources, (QStringList{"tell application \"Music\" to pause",
                                           "tell application \"Odd \\\"Player\\\"\" to pause"}));
}

// ---- Application activation

TEST_F(AppActivatorTest, OpeningAnApplicationActivatesWhatLaunched)
{
    RunningApplication launched;
    launched.processIdentifier = 2001;
    launched.bundleIdentifier = editorID;
    workspace().addInstalled("/Applications/Editor.app", launched);
    activator().activate(fixtures::app(editorID, "Editor", "/Applications/Editor.app"));
    EXPECT_EQ(workspace().log(), (QStringList{"open /Applications/Editor.app", "activate 2001"}));
}

TEST_F(AppActivatorTest, FailedLaunchIsRetriedAsAPlainOpen)
{
    workspace().setOpenFails("/Applications/My Editor.app", "The file is damaged.");
    activator().activate(fixtures::app(editorID, "My Editor", "/Applications/My Editor.app"));
    EXPECT_EQ(workspace().log(), (QStringList{"open /Applications/My Editor.app",
                                              "openURL file:///Applications/My Editor.app"}));
}

TEST_F(AppActivatorTest, EnsureFinderWindowActivatesFinderThenOpensHomeOnTheMainQueue)
{
    ScopedEnv home("HOME", "/home/tester");
    RunningApplication finder;
    finder.processIdentifier = 3001;
    finder.bundleIdentifier = QStringLiteral("com.apple.finder");
    workspace().addInstalled("/System/Library/CoreServices/Finder.app", finder);
    activator().ensureFinderWindow();
    EXPECT_EQ(workspace().log(), (QStringList{"open /System/Library/CoreServices/Finder.app"}));
    runtime.runUntilIdle();
    EXPECT_EQ(workspace().log(), (QStringList{"open /System/Library/CoreServices/Finder.app", "activate 3001 all",
                                              "openURL file:///home/tester"}));
}

// Finder is not installed here, so its open fails; the home folder is opened all the same.
TEST_F(AppActivatorTest, FinderRowsGoThroughEnsureFinderWindow)
{
    ScopedEnv home("HOME", "/home/tester");
    SwitchItemActivator rows;
    runtime.context().ports().actions = &rows;
    SwitchItem(fixtures::app("com.apple.finder", "Finder", "/System/Library/CoreServices/Finder.app")).activate();
    SwitchItem(fixtures::windowGroup("com.apple.finder", "Finder",
                                     {fixtures::window("Finder", QStringLiteral("com.apple.finder"), "Documents")}))
        .activate();
    runtime.runUntilIdle();
    EXPECT_EQ(workspace().log(),
              (QStringList{"open /System/Library/CoreServices/Finder.app", "open /System/Library/CoreServices/Finder.app",
                           "openURL file:///home/tester", "openURL file:///home/tester"}));
}

TEST_F(AppActivatorTest, AppRowsAskTheActivatorWhetherAndHowToClose)
{
    SwitchItemActivator rows;
    runtime.context().ports().actions = &rows;
    launchStubborn(editorID);
    const SwitchItem row(fixtures::app(editorID, "editor", "/Applications/editor.app"));
    const SwitchItem browser(fixtures::tabGroup("com.google.Chrome", "Google Chrome",
                                                {fixtures::tab("com.google.Chrome", "News", "https://news.example")}));
    EXPECT_EQ(row.closeCapability(), CloseCapability::quit());
    EXPECT_EQ(browser.closeCapability(), CloseCapability::blocked("Close tabs instead"));
    row.close();
    runtime.runUntilIdle();
    EXPECT_EQ(workspace().log(), (QStringList{"terminate 1001"}));
}
