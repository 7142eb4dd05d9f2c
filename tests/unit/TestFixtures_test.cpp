#include "core/TestFixtures.h"

#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

TEST(TestFixtures, ModeIsOnOnlyForExactlyOneAndTheSelectionVariableIsRead)
{
    const struct {
        const char* value;
        bool on;
    } rows[] = {{"1", true}, {"true", false}, {"yes", false}, {"", false}, {" 1", false}};
    for (const auto& row : rows) {
        qputenv(OstrevaneTestFixtures::panelVariable, row.value);
        EXPECT_EQ(OstrevaneTestFixtures::shouldShowTestPanel(), row.on) << row.value;
    }
    qunsetenv(OstrevaneTestFixtures::panelVariable);
    EXPECT_FALSE(OstrevaneTestFixtures::shouldShowTestPanel());

    // The selection variable applies to the eleven default rows.
    qputenv(OstrevaneTestFixtures::selectionVariable, "bottom");
    EXPECT_EQ(OstrevaneTestFixtures::selectedIndex(), 10);
    qunsetenv(OstrevaneTestFixtures::selectionVariable);
    EXPECT_EQ(OstrevaneTestFixtures::selectedIndex(), 5);
}

TEST(TestFixtures, InitialHighlightFollowsTheSelectionVariable)
{
    const struct {
        std::optional<QString> selection;
        int count;
        int expected;
    } rows[] = {
        {std::nullopt, 11, 5}, {QStringLiteral("top"), 11, 0},   {QStringLiteral("bottom"), 11, 10},
        {QStringLiteral("3"), 11, 3},  {QStringLiteral("99"), 11, 10},  {QStringLiteral("-3"), 11, 0},
        {QStringLiteral("+4"), 11, 4}, {QStringLiteral("middle"), 11, 5}, {QStringLiteral("abc"), 11, 5},
        {QStringLiteral(" 3"), 11, 5}, {QStringLiteral("99999999999999999999999"), 11, 5},
        {std::nullopt, 4, 3},          {std::nullopt, 1, 0},            {QStringLiteral("bottom"), 0, 0},
        {QStringLiteral("7"), 0, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(OstrevaneTestFixtures::selectedIndex(row.selection, row.count), row.expected)
            << row.selection.value_or(QStringLiteral("<absent>")).toStdString() << " over " << row.count;
}

TEST(TestFixtures, DefaultRowsLeadWithTheBrowserGroupAndSearchOnlyRowsAreTabs)
{
    TestRuntime runtime;
    const std::vector<SwitchItem> items = OstrevaneTestFixtures::defaultVisibleItems();
    ASSERT_EQ(items.size(), 11u);
    ASSERT_NE(items[0].as<TabGroupItem>(), nullptr);
    EXPECT_EQ(items[0].as<TabGroupItem>()->activeTab().title, QStringLiteral("Ostrevane GitHub"));
    for (const SwitchItem& item : OstrevaneTestFixtures::hiddenSearchOnlyItems())
        EXPECT_EQ(item.kind(), SwitchItem::Kind::tab) << item.title().toStdString();
}

TEST(TestFixtures, AppPathIsTheRunningCopysElseTheApplicationsFolder)
{
    TestRuntime runtime;
    runtime.desktop().launch(QStringLiteral("com.apple.Terminal"), QStringLiteral("Terminal"),
                             ActivationPolicy::regular, QStringLiteral("/System/Applications/Utilities/Terminal.app"));
    Workspace& workspace = runtime.context().workspace();

    EXPECT_EQ(OstrevaneTestFixtures::app(workspace, "com.apple.Terminal", "Terminal").path,
              QStringLiteral("/System/Applications/Utilities/Terminal.app"));
    EXPECT_EQ(OstrevaneTestFixtures::app(workspace, "com.openai.chat", "ChatGPT").path,
              QStringLiteral("/Applications/ChatGPT.app"));
}
