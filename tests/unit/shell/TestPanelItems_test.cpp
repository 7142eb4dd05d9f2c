#include "core/shell/TestPanelItems.h"

#include <gtest/gtest.h>

using namespace ostrevane;

// Named positions, a plain number and the clamps to the visible rows are checked on the panel itself.
TEST(TestPanelItems, InitialHighlightFallsBackToTheSixthRowOrTheLastOnUnreadableNumbersAndIsZeroWithoutRows)
{
    EXPECT_EQ(TestPanelItems::selectedIndex(QStringLiteral("99999999999999999999999"), 11), 5);
    EXPECT_EQ(TestPanelItems::selectedIndex(std::nullopt, 4), 3);
    EXPECT_EQ(TestPanelItems::selectedIndex(QStringLiteral("7"), 0), 0);
}
