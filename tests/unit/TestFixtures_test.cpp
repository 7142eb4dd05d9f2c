#include "core/TestFixtures.h"

#include <gtest/gtest.h>

using namespace ostrevane;

TEST(TestFixtures, ModeIsOnOnlyForExactlyOne)
{
    qputenv(OstrevaneTestFixtures::panelVariable, "true");
    EXPECT_FALSE(OstrevaneTestFixtures::shouldShowTestPanel());
    qputenv(OstrevaneTestFixtures::panelVariable, "1");
    EXPECT_TRUE(OstrevaneTestFixtures::shouldShowTestPanel());
    qunsetenv(OstrevaneTestFixtures::panelVariable);
}

// The named positions and a plain number are checked on the real panel; these are the clamps.
TEST(TestFixtures, InitialHighlightIsClampedToTheRowsAndFallsBackOnHostileText)
{
    const struct {
        std::optional<QString> selection;
        int count;
        int expected;
    } rows[] = {
        {QStringLiteral("99"), 11, 10}, {QStringLiteral("-3"), 11, 0}, {QStringLiteral("99999999999999999999999"), 11, 5},
        {std::nullopt, 4, 3},           {QStringLiteral("7"), 0, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(OstrevaneTestFixtures::selectedIndex(row.selection, row.count), row.expected)
            << row.selection.value_or(QStringLiteral("<absent>")).toStdString() << " over " << row.count;
}
