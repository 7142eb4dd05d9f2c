#include "core/GlobalHotKey.h"

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

TEST(GlobalHotKey, AChordHeldByAnotherProgramFailsSilentlyAndIdsAreNotReused)
{
    HotKeys keys;
    keys.service.heldElsewhere.insert({tab, option});
    int presses = 0;
    auto refused = keys.make(tab, option, presses);
    EXPECT_FALSE(refused->isRegistered());
    refused.reset(); // nothing to unregister

    auto next = keys.make(space, option, presses);
    EXPECT_EQ(next->id(), 2u);
    EXPECT_TRUE(next->isRegistered());
}
