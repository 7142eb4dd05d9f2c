#include "core/shell/LoginItemController.h"

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
