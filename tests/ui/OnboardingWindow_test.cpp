#include "core/OnboardingManager.h"
#include "core/UserDefaults.h"
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

    void open(bool trusted)
    {
        runtime.accessibility.setTrusted(trusted);
        onboarding().setStage(trusted ? OnboardingStage::summon : OnboardingStage::permissions);
        OnboardingSummonView::Environment env;
        env.onboarding = &onboarding();
        env.dispatcher = &runtime.dispatcher();
        env.accessibilityTrusted = [this] { return runtime.accessibility.isProcessTrusted(); };
        env.openSettings = [] {};
        window = std::make_unique<OnboardingWindow>(env, &runtime.context().notifications(), [this] { ++dismissals; });
        window->show();
    }
    bool completed() { return runtime.defaults().boolean(OnboardingManager::didCompleteKey).value_or(false); }
};

} // namespace

TEST(OnboardingWindow, PermissionPageStaysUntilTrustedAndFlipsToTheSummonPageWithinASecondOfTrust)
{
    GuideFixture f;
    f.open(false);
    EXPECT_EQ(f.content().titleText(), QStringLiteral("Enable Accessibility"));
    QTest::mouseClick(f.content().defaultButton(), Qt::LeftButton); // Continue, still untrusted: stays
    EXPECT_EQ(f.onboarding().stage(), OnboardingStage::permissions);

    f.runtime.accessibility.setTrusted(true);
    f.runtime.advance(1.0);
    EXPECT_EQ(f.content().titleText(), QStringLiteral("Summon Ostrevane"));
    EXPECT_EQ(f.content().defaultButton()->text(), QStringLiteral("Got it"));
    EXPECT_EQ(f.onboarding().stage(), OnboardingStage::summon);
    EXPECT_EQ(f.dismissals, 0);
}

TEST(OnboardingWindow, SkipCompletesTheGuideWhileGotItSummoningAndClosingOnlyDismissItOnce)
{
    const struct {
        const char* name;
        std::function<void(GuideFixture&)> act;
        bool completed;
        OnboardingStage stage;
    } rows[] = {
        {"skip", [](GuideFixture& f) { QTest::mouseClick(f.content().skipButton(), Qt::LeftButton); }, true,
         OnboardingStage::complete},
        {"got it", [](GuideFixture& f) { QTest::mouseClick(f.content().defaultButton(), Qt::LeftButton); }, false,
         OnboardingStage::summon},
        {"panel summoned", [](GuideFixture& f) { f.onboarding().panelDidShow(); }, false, OnboardingStage::panelBasics},
        {"closed twice",
         [](GuideFixture& f) {
             f.window->close();
             f.window->close();
         },
         false, OnboardingStage::summon},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        GuideFixture f;
        f.open(true);
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
