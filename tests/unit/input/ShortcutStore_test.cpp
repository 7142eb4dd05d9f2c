#include "core/input/ShortcutStore.h"

#include "core/model/Localization.h"
#include "support/TestRuntime.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

constexpr quint32 option = 0x800;
constexpr quint32 command = 0x100;

QStringList storedMemberNames(UserDefaults& defaults)
{
    const auto blob = defaults.data(ShortcutStore::defaultsKey);
    return blob ? QJsonDocument::fromJson(*blob).object().keys() : QStringList{};
}

} // namespace

TEST(ShortcutStore, OverridesSurviveRelaunchAndResetAllRestoresTheDefaults)
{
    TestRuntime runtime;
    ShortcutStore::set({126, 0}, ShortcutAction::moveUp);
    ShortcutStore::set({7, command}, ShortcutAction::closeSelected);
    EXPECT_EQ(storedMemberNames(runtime.defaults()), (QStringList{"closeSelected", "moveUp"}));
    runtime.restart();
    EXPECT_EQ(ShortcutStore::all(),
              (ShortcutMap{{ShortcutAction::moveUp, {126, 0}}, {ShortcutAction::closeSelected, {7, command}}}));
    ShortcutStore::set({125, 0}, ShortcutAction::moveDown);
    ShortcutStore::resetAll();
    EXPECT_FALSE(runtime.defaults().object(ShortcutStore::defaultsKey).isValid());
    EXPECT_EQ(ShortcutStore::allResolved().at(ShortcutAction::closeSelected), (HotkeyConfig{7, option}));
}

TEST(ShortcutStore, AGarbledBlobStoredMeansDefaultsAndTheNextSetKeepsOnlyItsAction)
{
    const QVariant stored[] = {
        QByteArray("{\"moveUp\": "),
        QByteArray(R"({"moveUp": {"keyCode": 13, "carbonModifiers": 256}, "back": {"keyCode": 0}})"),
        QStringLiteral(R"({"moveUp": {"keyCode": 13, "carbonModifiers": 256}})"),
    };
    for (const QVariant& value : stored) {
        TestRuntime runtime;
        runtime.defaults().set(ShortcutStore::defaultsKey, value);
        EXPECT_TRUE(ShortcutStore::all().empty()) << value.toString().toStdString();
        EXPECT_EQ(ShortcutStore::allResolved().at(ShortcutAction::moveUp), (HotkeyConfig{13, option}));

        ShortcutStore::set({2, command}, ShortcutAction::desktop);
        EXPECT_EQ(storedMemberNames(runtime.defaults()), QStringList{"desktop"});
    }
}

TEST(ShortcutStore, ConflictNamesTheFirstOtherActionUsingTheChordInTheCurrentLanguage)
{
    TestRuntime runtime;
    ShortcutMap current = ShortcutStore::allResolved();
    current[ShortcutAction::moveDown] = {7, command};

    const struct {
        const char* name;
        ShortcutAction action;
        HotkeyConfig candidate;
        const char* conflict; // the other action and the message, empty when none
    } rows[] = {
        {"desktop on Option+W", ShortcutAction::desktop, {13, option}, "moveUp: Conflicts with Move up"},
        {"cancel on Return meets open first", ShortcutAction::cancel, {36, 0},
         "openSelected: Conflicts with Open selected"},
        {"an edited chord counts", ShortcutAction::closeSelected, {7, command}, "moveDown: Conflicts with Move down"},
    };
    for (const auto& row : rows) {
        const auto conflict = ShortcutStore::conflict(row.action, row.candidate, current);
        EXPECT_EQ(conflict ? ShortcutActions::rawValue(conflict->action) + ": " + conflict->message : QString(),
                  QString::fromUtf8(row.conflict))
            << row.name;
    }

    // Titles and messages are looked up at each read.
    Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
    EXPECT_EQ(ShortcutStore::conflict(ShortcutAction::desktop, {13, option}, current).value().message,
              QStringLiteral("与“上移”冲突"));
}
