#include "core/onboarding/OnboardingManager.h"
#include "core/shell/PlatformProfile.h"

#include "core/model/Localization.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

using namespace ostrevane;

using Stage = OnboardingStage;

TEST(OnboardingManager, EachEventMovesOnlyFromItsOwnStage)
{
    using M = OnboardingManager;
    const struct {
        Stage from;
        std::function<void(M&)> event;
        bool trusted;
        Stage to;
    } rows[] = {
        {Stage::idle, &M::permissionDidBecomeTrusted, true, Stage::idle},
        {Stage::permissions, &M::panelDidShow, false, Stage::permissions},
        {Stage::movement, &M::noteMove, true, Stage::actions},
        {Stage::permissions, &M::advance, false, Stage::permissions},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        TestRuntime runtime;
        runtime.accessibility.setTrusted(rows[i].trusted);
        OnboardingManager& manager = OnboardingManager::shared();
        manager.setStage(rows[i].from);
        rows[i].event(manager);
        EXPECT_EQ(manager.stage(), rows[i].to);
    }
}

TEST(OnboardingManager, OnlyCompletePersistsAndItReturnsToIdleAfterFourTenths)
{
    TestRuntime runtime;
    OnboardingManager& manager = OnboardingManager::shared();
    manager.setStage(Stage::summon);
    for (int i = 0; i < 3; ++i)
        manager.advance();
    EXPECT_FALSE(runtime.defaults().object(OnboardingManager::didCompleteKey).isValid());
    EXPECT_FALSE(runtime.defaults().object(OnboardingManager::hasSeenWelcomeKey).isValid());

    manager.complete();
    EXPECT_EQ(manager.stage(), Stage::complete);
    runtime.advance(0.4);
    EXPECT_EQ(manager.stage(), Stage::idle);

    runtime.restart();
    EXPECT_EQ(runtime.defaults().boolean(OnboardingManager::didCompleteKey), true);
    EXPECT_EQ(runtime.defaults().boolean(OnboardingManager::hasSeenWelcomeKey), true);
}

TEST(OnboardingManager, GuideRestartedWithinTheDelayIsLeftAlone)
{
    TestRuntime runtime;
    OnboardingManager& manager = OnboardingManager::shared();
    manager.complete();
    runtime.advance(0.2);
    manager.setStage(Stage::summon);
    runtime.advance(1.0);
    EXPECT_EQ(manager.stage(), Stage::summon);
}

TEST(OnboardingOverlay, OnLinuxTheStripSpeaksOfAltAndNamesKeysInWords)
{
    TestRuntime runtime;
    const PlatformProfile linux = PlatformProfile::linuxDesktop({QStringLiteral("org.example.Files"), {}});
    runtime.context().ports().profile = &linux;
    const auto basics = OnboardingOverlayContent::forStage(Stage::panelBasics, true, false);
    ASSERT_TRUE(basics.has_value());
    EXPECT_TRUE(basics->detail.startsWith(QStringLiteral("Hold Alt to keep the panel open.")));
    EXPECT_EQ(basics->keyCaps.front().label, QStringLiteral("Alt"));

    const auto empty = OnboardingOverlayContent::forStage(Stage::movement, false, false);
    QStringList caps;
    for (const auto& cap : empty->keyCaps)
        caps << cap.label;
    EXPECT_EQ(caps, (QStringList{"W", "A", "S", "D", "Enter", "Esc"}));
    EXPECT_TRUE(OnboardingOverlayContent::forStage(Stage::actions, true, true)->detail.startsWith(
        QStringLiteral("While holding Alt, use A to go back,")));
}
