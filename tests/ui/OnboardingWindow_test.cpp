#include "core/onboarding/OnboardingManager.h"
#include "core/shell/PlatformProfile.h"
#include "core/preferences/UserDefaults.h"
#include "support/TestRuntime.h"
#include "ui/OnboardingWindow.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace ostrevane;

namespace {

struct GuideFixture {
    TestRuntime runtime;
    int dismissals = 0;
    std::unique_ptr<OnboardingWindow> window;

    OnboardingManager& onboarding() { return OnboardingManager::shared(); }
    OnboardingSummonView& content() { return *window->content(); }

    std::optional<QString> heldChord; // what the guide is told another program holds
    PlatformProfile linux = PlatformProfile::linuxDesktop({QStringLiteral("org.example.Files"), {}});

    // On the Linux desktop: its words, and no settings page to open.
    void useLinuxDesktop() { runtime.context().ports().profile = &linux; }

    void open(bool trusted)
    {
        runtime.accessibility.setTrusted(trusted);
        onboarding().setStage(trusted ? OnboardingStage::summon : OnboardingStage::permissions);
        OnboardingSummonView::Environment env;
        env.onboarding = &onboarding();
        env.dispatcher = &runtime.dispatcher();
        env.accessibilityTrusted = [this] { return runtime.accessibility.isProcessTrusted(); };
        if (runtime.context().profile().hasAccessibilityPermission)
            env.openSettings = [] {};
        env.chordHeldElsewhere = [this] { return heldChord; };
        window = std::make_unique<OnboardingWindow>(env, &runtime.context().notifications(), [this] { ++dismissals; });
        window->show();
    }
    void key(Qt::Key key)
    {
        QWidget* target = window->focusWidget() ? window->focusWidget() : window.get();
        QTest::keyClick(target, key);
    }
    bool completed() { return runtime.defaults().boolean(OnboardingManager::didCompleteKey).value_or(false); }
};

} // namespace

// Every way out of the summon page dismisses the guide once; only Skip Guide (clicked, or
// Return on it) completes it.
TEST(OnboardingWindow, EveryWayOutDismissesOnceAndOnlySkipCompletesTheGuide)
{
    const auto click = [](QPushButton* (OnboardingSummonView::*button)() const) {
        return [button](GuideFixture& f) { QTest::mouseClick((f.content().*button)(), Qt::LeftButton); };
    };
    const struct {
        const char* name;
        std::function<void(GuideFixture&)> act;
        bool completed;
        OnboardingStage stage;
    } rows[] = {
        {"skip", click(&OnboardingSummonView::skipButton), true, OnboardingStage::complete},
        {"got it", click(&OnboardingSummonView::defaultButton), false, OnboardingStage::summon},
        {"panel summoned", [](GuideFixture& f) { f.onboarding().panelDidShow(); }, false, OnboardingStage::panelBasics},
        {"closed twice",
         [](GuideFixture& f) {
             f.window->close();
             f.window->close();
         },
         false, OnboardingStage::summon},
        {"return on a focused Skip Guide",
         [](GuideFixture& f) {
             f.content().skipButton()->setFocus();
             f.key(Qt::Key_Return);
         },
         true, OnboardingStage::complete},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        GuideFixture f;
        f.open(true);
        ASSERT_EQ(f.window->focusWidget(), f.content().defaultButton());
        row.act(f);
        EXPECT_EQ(f.completed(), row.completed);
        EXPECT_EQ(f.onboarding().stage(), row.stage);
        EXPECT_EQ(f.dismissals, 1);
        EXPECT_FALSE(f.window->isVisible());
    }
}

TEST(OnboardingWindow, PollingStopsWithTheWindow)
{
    GuideFixture f;
    f.open(false);
    f.window.reset();
    f.runtime.accessibility.setTrusted(true);
    f.runtime.advance(3.0);
    EXPECT_EQ(f.onboarding().stage(), OnboardingStage::permissions);
}

TEST(OnboardingWindow, TheWaitingPageStaysUntilAWindowManagerRunsThenSpeaksOfAlt)
{
    GuideFixture f;
    f.useLinuxDesktop();
    f.open(false);
    EXPECT_EQ(f.content().titleText(), QStringLiteral("Waiting for a Window Manager"));
    EXPECT_FALSE(f.content().settingsButton()->isVisible());
    QTest::mouseClick(f.content().defaultButton(), Qt::LeftButton); // Continue, still without one: stays
    EXPECT_EQ(f.onboarding().stage(), OnboardingStage::permissions);

    f.runtime.accessibility.setTrusted(true); // a window manager came up
    f.runtime.advance(1.0);
    EXPECT_EQ(f.content().titleText(), QStringLiteral("Summon Ostrevane"));
    EXPECT_EQ(f.onboarding().stage(), OnboardingStage::summon);
    EXPECT_EQ(f.dismissals, 0);
    EXPECT_TRUE(f.content().subtitleText().contains(QStringLiteral("Hold Alt")));
}

TEST(OnboardingWindow, TheSummonPageSaysWhileAnotherProgramHoldsTheChord)
{
    GuideFixture f;
    f.useLinuxDesktop();
    f.heldChord = QStringLiteral("Alt+Tab");
    f.open(true);
    EXPECT_TRUE(f.content().showsChordWarning());
    EXPECT_TRUE(f.content().footnoteText().startsWith(QStringLiteral("Another program holds Alt+Tab")));

    f.heldChord.reset(); // the window manager let go, and the hotkey took the chord
    f.runtime.advance(OnboardingSummonView::permissionPollSeconds);
    EXPECT_FALSE(f.content().showsChordWarning());
    EXPECT_TRUE(f.content().footnoteText().startsWith(QStringLiteral("When the panel appears")));
}
