#include "core/input/GlobalHotKey.h"

#include "platform/sim/ManualDispatcher.h"
#include "support/FakePanelPorts.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

constexpr quint32 tab = 48, space = 49, option = 0x800;

struct HotKeys {
    ManualClock clock;
    ManualDispatcher dispatcher{clock};
    FakeHotkeyService service;
    std::shared_ptr<GlobalHotKey::Registry> registry = std::make_shared<GlobalHotKey::Registry>(service, dispatcher);

    std::unique_ptr<GlobalHotKey> make(quint32 keyCode, quint32 modifiers, int& presses)
    {
        return std::make_unique<GlobalHotKey>(registry, keyCode, modifiers, [&presses] { ++presses; });
    }
};

} // namespace

TEST(GlobalHotKey, ReleasingUnregistersAndLaterPressesOfItsIdDoNothingWhileLivePressesRunOnTheMainQueue)
{
    HotKeys keys;
    int releasedPresses = 0, livePresses = 0;
    auto released = keys.make(tab, option, releasedPresses);
    auto live = keys.make(tab, option, livePresses);
    released.reset();

    EXPECT_EQ(keys.service.registered.count(1), 0u);
    keys.service.press(1);
    keys.service.press(FakeHotkeyService::Chord{tab, option});
    EXPECT_EQ(livePresses, 0); // presses reach the handler on the main queue
    keys.dispatcher.runUntilIdle();
    EXPECT_EQ(releasedPresses, 0);
    EXPECT_EQ(livePresses, 1);
}

TEST(GlobalHotKey, OneTimerRetriesEveryWaitingChordAndAskingRetriesAtOnce)
{
    HotKeys keys;
    keys.service.heldElsewhere = {{tab, option}, {space, option}};
    int presses = 0;
    auto first = keys.make(tab, option, presses);
    auto second = keys.make(space, option, presses);
    keys.dispatcher.advance(GlobalHotKey::retryInterval);
    EXPECT_EQ(keys.service.retries, 1);

    keys.registry->retryNow(); // the guide opened
    EXPECT_EQ(keys.service.retries, 2);
    keys.dispatcher.advance(GlobalHotKey::retryInterval - 0.1);
    EXPECT_EQ(keys.service.retries, 2); // the timer started again from the asked retry
    keys.dispatcher.advance(0.1);
    EXPECT_EQ(keys.service.retries, 3);

    first.reset();
    second.reset();
    keys.dispatcher.advance(10 * GlobalHotKey::retryInterval);
    EXPECT_EQ(keys.service.retries, 4); // the released chords no longer wait
}

TEST(GlobalHotKey, AChordTheServiceLosesIsRetriedUntilItIsBack)
{
    HotKeys keys;
    int presses = 0;
    auto live = keys.make(tab, option, presses);
    ASSERT_TRUE(live->isRegistered());

    keys.service.takeAway({tab, option}); // a keyboard change collided with another program's grab
    EXPECT_TRUE(live->isHeldElsewhere());
    keys.service.heldElsewhere.clear();
    keys.dispatcher.advance(GlobalHotKey::retryInterval);
    EXPECT_EQ(keys.service.retries, 1);
    EXPECT_TRUE(live->isRegistered());
}
