#include "core/shell/LoginItemController.h"

#include "core/model/Localization.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

using namespace ostrevane;

TEST(LoginItemController, AskingForTheStateItAlreadyHasCallsNothing)
{
    TestRuntime runtime;
    SimLoginItems& items = runtime.desktop().loginItems;
    EXPECT_EQ(LoginItemController::setEnabled(false), std::nullopt);
    EXPECT_EQ(items.unregisterCount(), 0);

    EXPECT_EQ(LoginItemController::setEnabled(true), std::nullopt);
    EXPECT_EQ(LoginItemController::setEnabled(true), std::nullopt);
    EXPECT_EQ(items.registerCount(), 1);
    EXPECT_TRUE(LoginItemController::isEnabled());

    EXPECT_EQ(LoginItemController::setEnabled(false), std::nullopt);
    EXPECT_EQ(items.unregisterCount(), 1);
    EXPECT_FALSE(LoginItemController::isEnabled());
}

TEST(LoginItemController, AFailedChangeReportsTheReasonAndLeavesTheRealState)
{
    TestRuntime runtime;
    runtime.desktop().loginItems.setFailure(QStringLiteral("Operation not permitted"));
    EXPECT_EQ(LoginItemController::setEnabled(true), QStringLiteral("Operation not permitted"));
    EXPECT_FALSE(LoginItemController::isEnabled());
    // Where the platform keeps the item out of sight, the message is the platform's own advice.
    EXPECT_EQ(LoginItemController::failureMessage(),
              QStringLiteral("Could not update login item. Move Ostrevane to Applications and try again."));
}
