#include "core/shell/IdleMemoryTrim.h"

#include "platform/sim/ManualClock.h"
#include "platform/sim/ManualDispatcher.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

class IdleMemoryTrimTest : public ::testing::Test {
protected:
    ManualClock clock;
    ManualDispatcher dispatcher{clock};
    qint64 freeBytes = 0;
    int looks = 0;
    int trims = 0;
    IdleMemoryTrim memory{{dispatcher,
                           [this] {
                               ++looks;
                               return freeBytes;
                           },
                           [this] {
                               ++trims;
                               freeBytes /= 4; // what a trim cannot return stays free
                           }}};

    // The loop goes idle `times` times over `seconds`, as it does while it works.
    void busy(int times, double seconds)
    {
        for (int i = 0; i < times; ++i) {
            memory.loopWentIdle();
            dispatcher.advance(seconds / times);
        }
    }
    // Nothing happens but timers: the loop goes idle once after each, as the real one does.
    void quiet(double seconds)
    {
        for (double t = 0; t < seconds; t += 0.5) {
            const size_t pending = dispatcher.pendingCount();
            dispatcher.advance(0.5);
            if (dispatcher.pendingCount() < pending)
                memory.loopWentIdle();
        }
    }
};

} // namespace

TEST_F(IdleMemoryTrimTest, TrimsAMomentAfterABurstFreedMemoryOnlyWhatCameSince)
{
    freeBytes = IdleMemoryTrim::threshold / 2;
    busy(10, 1.0);
    quiet(2 * IdleMemoryTrim::delay);
    EXPECT_EQ(trims, 0) << "too little freed";

    freeBytes = 8 * IdleMemoryTrim::threshold;
    busy(20, 1.0);
    quiet(2 * IdleMemoryTrim::delay);
    EXPECT_EQ(trims, 1);

    busy(20, 1.0); // what stayed free after the trim does not count again
    quiet(2 * IdleMemoryTrim::delay);
    EXPECT_EQ(trims, 1);

    freeBytes += 2 * IdleMemoryTrim::threshold;
    busy(20, 1.0);
    quiet(2 * IdleMemoryTrim::delay);
    EXPECT_EQ(trims, 2);
}

TEST_F(IdleMemoryTrimTest, AQuietProgramIsNeverWokenToLook)
{
    freeBytes = 8 * IdleMemoryTrim::threshold;
    busy(5, 0.5);
    quiet(IdleMemoryTrim::delay * 2);
    const int looked = looks;
    quiet(600);
    EXPECT_EQ(looks, looked);
    EXPECT_EQ(trims, 1);
}
