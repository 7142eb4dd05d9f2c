#include "core/OnboardingManager.h"

#include "core/Localization.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ostrevane;

namespace {

using Stage = OnboardingStage;

struct Event {
    const char* name;
    std::function<void(OnboardingManager&)> send;
};

const Event trustDetected{"permissionDidBecomeTrusted", [](OnboardingManager& m) { m.permissionDidBecomeTrusted(); }};
const Event panelShown{"panelDidShow", [](OnboardingManager& m) { m.panelDidShow(); }};
const Event highlightMoved{"noteMove", [](OnboardingManager& m) { m.noteMove(); }};
const Event nextPressed{"advance", [](OnboardingManager& m) { m.advance(); }};

struct Transition {
    Stage from;
    const Event& event;
    bool trusted;
    Stage to;
};

} // namespace

TEST(OnboardingManager, EachEventMovesOnlyFromItsOwnStage)
{
    const Transition rows[] = {
        {Stage::permissions, trustDetected, true, Stage::summon},
        {Stage::idle, trustDetected, true, Stage::idle},
        {Stage::summon, panelShown, true, Stage::panelBasics},
        {Stage::permissions, panelShown, false, Stage::permissions},
        {Stage::movement, panelShown, true, Stage::movement},
        {Stage::movement, highlightMoved, true, Stage::actions},
        {Stage::panelBasics, highlightMoved, true, Stage::panelBasics},
        {Stage::idle, nextPressed, true, Stage::idle},
        {Stage::permissions, nextPressed, true, Stage::summon},
        {Stage::permissions, nextPressed, false, Stage::permissions},
        {Stage::summon, nextPressed, false, Stage::panelBasics},
        {Stage::panelBasics, nextPressed, true, Stage::movement},
        {Stage::actions, nextPressed, true, Stage::complete},
        {Stage::complete, nextPressed, true, Stage::complete},
    };
    for (const Transition& row : rows) {
        TestRuntime runtime;
        runtime.accessibility.setTrusted(row.trusted);
        OnboardingManager& manager = OnboardingManager::shared();
        manager.setStage(row.from);
        row.event.send(manager);
        EXPECT_EQ(manager.stage(), row.to) << row.event.name << " from " << static_cast<int>(row.from);
    }
}

TEST(OnboardingManager, StageChangedIsEmittedOnlyForRealChanges)
{
    TestRuntime runtime;
    OnboardingManager& manager = OnboardingManager::shared();
    QList<Stage> seen;
    QObject::connect(&manager, &OnboardingManager::stageChanged, [&seen](Stage stage) { seen << stage; });

    manager.setStage(Stage::summon);
    manager.setStage(Stage::summon);
    manager.noteMove();
    manager.panelDidShow();

    EXPECT_EQ(seen, (QList<Stage>{Stage::summon, Stage::panelBasics}));
}

TEST(OnboardingManager, OnlyCompletePersistsAndItReturnsToIdleAfterFourTenths)
{
    TestRuntime runtime;
    OnboardingManager& manager = OnboardingManager::shared();
    manager.setStage(Stage::summon);
    for (int i = 0; i < 3; ++i)
        manager.advance();
    EXPECT_EQ(manager.stage(), Stage::actions);
    EXPECT_FALSE(runtime.defaults().object(OnboardingManager::didCompleteKey).isValid());
    EXPECT_FALSE(runtime.defaults().object(OnboardingManager::hasSeenWelcomeKey).isValid());

    manager.complete();
    EXPECT_EQ(manager.stage(), Stage::complete);
    runtime.advance(0.39);
    EXPECT_EQ(manager.stage(), Stage::complete);
    runtime.advance(0.01);
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

// The panel overlay.

namespace {

QStringList capLabels(const OnboardingOverlayContent& content)
{
    QStringList labels;
    for (const auto& cap : content.keyCaps)
        labels << cap.label + (cap.pulses ? "*" : "");
    return labels;
}

} // namespace

TEST(OnboardingOverlay, ShownOnlyInThePanelStages)
{
    TestRuntime runtime;
    for (Stage stage : {Stage::idle, Stage::permissions, Stage::summon, Stage::complete})
        EXPECT_FALSE(OnboardingOverlayContent::forStage(stage, true, false).has_value()) << static_cast<int>(stage);
}

TEST(OnboardingOverlay, TextsCapsDotsAndButtonsFollowStageItemsAndDetailView)
{
    TestRuntime runtime;
    const struct {
        Stage stage;
        bool hasItems;
        bool inDetail;
        const char* title;
        const char* detailStart;
        QStringList caps; // "*" marks a pulsing cap
        std::array<bool, 3> dots;
        const char* primary;
    } rows[] = {
        {Stage::panelBasics, true, false, "This is the switcher", "Hold Option to keep the panel open.", {"⌥*"},
         {true, false, false}, "Next"},
        {Stage::panelBasics, false, false, "This is the switcher", "No open windows were found.", {"⌥*"},
         {true, false, false}, "Next"},
        {Stage::movement, true, false, "Move through the list", "Keep holding Option, then use W/S or Tab",
         {"W*", "A*", "S*", "D*"}, {true, true, false}, "Next"},
        {Stage::movement, false, false, "No windows yet", "When items appear, W/S moves the highlight.",
         {"W*", "A*", "S*", "D*", "↩", "⎋"}, {true, true, false}, "Next"},
        {Stage::actions, true, true, "Action keys", "While holding Option, use A to go back,", {"A*", "X*", "⎋*"},
         {true, true, true}, "Done"},
        {Stage::actions, true, false, "Action keys", "While holding Option, use Q for Desktop", {"Q*", "X*", "⎋*"},
         {true, true, true}, "Done"},
    };
    for (const auto& row : rows) {
        const auto content = OnboardingOverlayContent::forStage(row.stage, row.hasItems, row.inDetail);
        ASSERT_TRUE(content.has_value());
        EXPECT_EQ(content->title, QString::fromUtf8(row.title));
        EXPECT_TRUE(content->detail.startsWith(QString::fromUtf8(row.detailStart))) << row.detailStart;
        EXPECT_EQ(capLabels(*content), row.caps) << row.title;
        EXPECT_EQ(content->progressDotsLit, row.dots) << row.title;
        EXPECT_EQ(content->primaryButton, QString::fromUtf8(row.primary));
    }
}

TEST(OnboardingOverlay, TextsAreLookedUpInTheCurrentLanguage)
{
    TestRuntime runtime;
    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
    const auto content = OnboardingOverlayContent::forStage(Stage::actions, true, false);
    ASSERT_TRUE(content.has_value());
    EXPECT_EQ(content->primaryButton, QStringLiteral("完成"));
}
