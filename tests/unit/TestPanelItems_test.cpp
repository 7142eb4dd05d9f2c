#include "core/TestPanelItems.h"

#include <gtest/gtest.h>

using namespace ostrevane;

// Named positions, a plain number and the clamps to the visible rows are checked on the panel itself.
TEST(TestFixtures, InitialHighlightFallsBackToTheSixthRowOrTheLastOnUnreadableNumbersAndIsZeroWithoutRows)
{
    EXPECT_EQ(OstrevaneTestFixtures::selectedIndex(QStringLiteral("99999999999999999999999"), 11), 5);
    EXPECT_EQ(OstrevaneTestFixtures::selectedIndex(std::nullopt, 4), 3);
    EXPECT_EQ(OstrevaneTestFixtures::selectedIndex(QStringLiteral("7"), 0), 0);
}
