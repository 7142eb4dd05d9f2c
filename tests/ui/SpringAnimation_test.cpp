#include "ui/SpringAnimation.h"

#include <gtest/gtest.h>

using namespace ostrevane;

// Reference values come from integrating the spring's equation numerically (RK4, 10 µs steps).

TEST(SpringAnimation, WaveSpringMovesQuicklyOvershootsSlightlyAndSettles)
{
    SpringAnimation spring(0.36, 0.8);
    spring.reset(0);
    spring.setTarget(100, 10.0);
    EXPECT_DOUBLE_EQ(spring.value(10.0), 0);
    EXPECT_NEAR(spring.value(10.1), 59.043, 0.01);
    EXPECT_NEAR(spring.value(10.36), 101.045, 0.01); // past the target
    EXPECT_FALSE(spring.isSettled(10.36));
    EXPECT_NEAR(spring.value(11.0), 100.0, 0.001);
    EXPECT_TRUE(spring.isSettled(11.0));
}

TEST(SpringAnimation, RetargetingMidFlightKeepsPositionAndVelocityWhileResetJumpsWithoutMotion)
{
    SpringAnimation spring(0.36, 0.8);
    spring.reset(0);
    spring.setTarget(100, 0);
    spring.setTarget(0, 0.1);
    EXPECT_NEAR(spring.velocity(0.1), 623.544, 0.05);
    EXPECT_NEAR(spring.value(0.2), 36.946, 0.01);

    spring.reset(12);
    EXPECT_DOUBLE_EQ(spring.value(0.25), 12);
    EXPECT_TRUE(spring.isSettled(0.25));
}
