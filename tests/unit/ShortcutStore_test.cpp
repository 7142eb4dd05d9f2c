#include "core/ShortcutStore.h"

#include "core/Localization.h"
#include "core/NotificationCenter.h"
#include "support/TestRuntime.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

constexpr quint32 option = 0x800;
constexpr quint32 command = 0x100;

void countPosts(const QString& name, int& counter)
{
    NotificationCenter::shared().addObserver(name, [&counter] { ++counter; });
}

QStringList storedMemberNames(UserDefaults& defaults)
{
    const auto blob = defaults.data(ShortcutStore::defaultsKey);
    return blob ? QJsonDocument::fromJson(*blob).object().keys() : QStringList{};
}

} // namespace

TEST(ShortcutActions, NineActionsInDisplayOrderWithRawValuesGroupsAndTitles)
{
    TestRuntime runtime;
    const struct {
        const char* raw;
        const char* title;
        ShortcutGroup group;
    } expected[] = {
        {"moveUp", "Move up", ShortcutGroup::navigation},
        {"moveDown", "Move down", ShortcutGroup::navigation},
        {"openSelected", "Open selected", ShortcutGroup::navigation},
        {"search", "Search", ShortcutGroup::navigation},
        {"cancel", "Cancel", ShortcutGroup::navigation},
        {"closeSelected", "Close selected", ShortcutGroup::actions},
        {"enterGroup", "Enter group", ShortcutGroup::actions},
        {"back", "Back", ShortcutGroup::actions},
        {"desktop", "Desktop", ShortcutGroup::actions},
    };
    const auto& actions = ShortcutActions::allCases();
    ASSERT_EQ(actions.size(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(ShortcutActions::rawValue(actions[i]), QLatin1String(expected[i].raw));
        EXPECT_EQ(ShortcutActions::title(actions[i]), QLatin1String(expected[i].title));
        EXPECT_EQ(ShortcutActions::group(actions[i]), expected[i].group) << expected[i].raw;
        EXPECT_EQ(ShortcutActions::fromRawValue(QLatin1String(expected[i].raw)), actions[i]);
    }
    EXPECT_EQ(ShortcutActions::detail(ShortcutAction::search),
              QStringLiteral("Starts searching when the search field is inactive."));
    EXPECT_EQ(ShortcutActions::fromRawValue(QStringLiteral("MoveUp")), std::nullopt);
    EXPECT_EQ(ShortcutGroups::title(ShortcutGroup::actions), QStringLiteral("Actions"));
    EXPECT_EQ(ShortcutGroups::actions(ShortcutGroup::actions).size(), 4);
}

TEST(ShortcutStore, NothingStoredResolvesEveryActionToItsDefault)
{
    TestRuntime runtime;
    const ShortcutMap expected{
        {ShortcutAction::moveUp, {13, option}},      {ShortcutAction::moveDown, {1, option}},
        {ShortcutAction::openSelected, {36, 0}},     {ShortcutAction::search, {36, 0}},
        {ShortcutAction::cancel, {53, 0}},           {ShortcutAction::closeSelected, {7, option}},
        {ShortcutAction::enterGroup, {2, option}},   {ShortcutAction::back, {0, option}},
        {ShortcutAction::desktop, {12, option}},
    };
    EXPECT_TRUE(ShortcutStore::all().empty());
    EXPECT_EQ(ShortcutStore::allResolved(), expected);
}

TEST(ShortcutStore, SetThenResetAllRestoresTheDefaultAndPostsOncePerCall)
{
    TestRuntime runtime;
    int posts = 0;
    countPosts(Notifications::shortcutsChanged, posts);

    ShortcutStore::set({7, command}, ShortcutAction::closeSelected);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(ShortcutStore::allResolved().at(ShortcutAction::closeSelected), (HotkeyConfig{7, command}));
    EXPECT_EQ(storedMemberNames(runtime.defaults()), QStringList{"closeSelected"});

    ShortcutStore::resetAll();
    EXPECT_EQ(posts, 2);
    EXPECT_FALSE(runtime.defaults().object(ShortcutStore::defaultsKey).isValid());
    EXPECT_EQ(ShortcutStore::allResolved().at(ShortcutAction::closeSelected), (HotkeyConfig{7, option}));
}

TEST(ShortcutStore, OverridesSurviveRelaunch)
{
    TestRuntime runtime;
    ShortcutStore::set({126, 0}, ShortcutAction::moveUp);
    ShortcutStore::set({125, 0}, ShortcutAction::moveDown);
    runtime.restart();
    const ShortcutMap expected{{ShortcutAction::moveUp, {126, 0}}, {ShortcutAction::moveDown, {125, 0}}};
    EXPECT_EQ(ShortcutStore::all(), expected);
}

TEST(ShortcutStore, GarbledBlobMeansDefaultsAndTheNextSetKeepsOnlyItsAction)
{
    const QVariant garbled[] = {
        QByteArray("{\"moveUp\": "),
        QByteArray("[]"),
        QByteArray(R"({"moveUp": {"keyCode": 13, "carbonModifiers": 256}, "back": {"keyCode": 0}})"),
        QStringLiteral(R"({"moveUp": {"keyCode": 13, "carbonModifiers": 256}})"),
    };
    for (const QVariant& stored : garbled) {
        TestRuntime runtime;
        runtime.defaults().set(ShortcutStore::defaultsKey, stored);
        EXPECT_TRUE(ShortcutStore::all().empty()) << stored.toString().toStdString();
        EXPECT_EQ(ShortcutStore::allResolved().at(ShortcutAction::moveUp), (HotkeyConfig{13, option}));

        ShortcutStore::set({2, command}, ShortcutAction::desktop);
        EXPECT_EQ(storedMemberNames(runtime.defaults()), QStringList{"desktop"});
    }
}

TEST(ShortcutStore, UnknownMemberNamesAreIgnoredAndDroppedOnSave)
{
    TestRuntime runtime;
    runtime.defaults().set(ShortcutStore::defaultsKey,
                           QByteArray(R"({"moveUp": {"keyCode": 126, "carbonModifiers": 0},
                                          "pinWindow": {"keyCode": 35, "carbonModifiers": 2048}})"));
    EXPECT_EQ(ShortcutStore::all(), (ShortcutMap{{ShortcutAction::moveUp, {126, 0}}}));

    ShortcutStore::set({12, command}, ShortcutAction::desktop);
    EXPECT_EQ(storedMemberNames(runtime.defaults()), (QStringList{"desktop", "moveUp"}));
}

TEST(ShortcutStore, ConflictNamesTheFirstOtherActionUsingTheChord)
{
    TestRuntime runtime;
    ShortcutMap current = ShortcutStore::allResolved();
    current[ShortcutAction::moveDown] = {7, command};

    const struct {
        const char* name;
        ShortcutAction action;
        HotkeyConfig candidate;
        std::optional<ShortcutAction> conflict;
        const char* message;
    } rows[] = {
        {"open may share Return with search", ShortcutAction::openSelected, {36, 0}, std::nullopt, ""},
        {"search may share Return with open", ShortcutAction::search, {36, 0}, std::nullopt, ""},
        {"desktop on Option+W", ShortcutAction::desktop, {13, option}, ShortcutAction::moveUp,
         "Conflicts with Move up"},
        {"an action's own chord", ShortcutAction::moveUp, {13, option}, std::nullopt, ""},
        {"cancel on Return meets open first", ShortcutAction::cancel, {36, 0}, ShortcutAction::openSelected,
         "Conflicts with Open selected"},
        {"an edited chord counts", ShortcutAction::closeSelected, {7, command}, ShortcutAction::moveDown,
         "Conflicts with Move down"},
        {"the replaced default is free", ShortcutAction::closeSelected, {1, option}, std::nullopt, ""},
        {"same key, other mask", ShortcutAction::back, {13, 0}, std::nullopt, ""},
    };
    for (const auto& row : rows) {
        const auto conflict = ShortcutStore::conflict(row.action, row.candidate, current);
        ASSERT_EQ(conflict.has_value(), row.conflict.has_value()) << row.name;
        if (conflict) {
            EXPECT_EQ(conflict->action, *row.conflict) << row.name;
            EXPECT_EQ(conflict->message, QLatin1String(row.message)) << row.name;
        }
    }
}

TEST(ShortcutStore, TitlesAndConflictTextFollowTheLanguageAtEachRead)
{
    TestRuntime runtime;
    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
    EXPECT_EQ(ShortcutActions::title(ShortcutAction::moveUp), QStringLiteral("上移"));
    const auto conflict = ShortcutStore::conflict(ShortcutAction::desktop, {13, option}, ShortcutStore::allResolved());
    ASSERT_TRUE(conflict.has_value());
    EXPECT_EQ(conflict->message, QStringLiteral("与“上移”冲突"));

    Localization::shared().setLanguage(AppLanguage::english);
    EXPECT_EQ(ShortcutActions::title(ShortcutAction::moveUp), QStringLiteral("Move up"));
}

TEST(KeyCodeNames, NamesTheSixtyEightKeysAndNumbersTheRest)
{
    EXPECT_EQ(KeyCodeNames::table().size(), 68u);
    const struct {
        quint32 keyCode;
        const char* name;
    } rows[] = {
        {49, "Space"}, {76, "Key#76"}, {0, "A"},     {22, "6"},      {23, "5"},       {42, "\\"},
        {48, "⇥"},     {51, "⌫"},      {53, "⎋"},    {10, "Key#10"}, {52, "Key#52"}, {103, "F11"},
        {109, "F10"},  {122, "F1"},    {126, "↑"},   {127, "Key#127"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(KeyCodeNames::name(row.keyCode), QString::fromUtf8(row.name)) << row.keyCode;
}
