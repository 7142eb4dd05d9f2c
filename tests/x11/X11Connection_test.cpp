#include "X11BackendFixture.h"

#include <atomic>

namespace ostrevane::x11test {
namespace {

using X11ConnectionTest = X11BackendTest;

TEST(X11ConnectionAlone, UntrustedWithoutAWindowManager)
{
    XvfbSession bare(XvfbSession::WindowManager::none);
    ASSERT_TRUE(bare.isReady());
    const std::shared_ptr<X11Connection> connection = X11Connection::open(bare.display());
    ASSERT_TRUE(connection);
    connection->setConnectionLostHandler([] {});
    X11Accessibility accessibility(std::make_shared<X11Clients>(connection));

    EXPECT_FALSE(accessibility.isProcessTrusted());
}

TEST(X11ConnectionAlone, NoDisplayGivesNoConnection)
{
    EXPECT_EQ(X11Connection::open(":4095"), nullptr);
}

TEST(X11ConnectionAlone, LosingTheServerCallsTheLostHandlerOnce)
{
    auto bare = std::make_unique<XvfbSession>(XvfbSession::WindowManager::none);
    ASSERT_TRUE(bare->isReady());
    const std::shared_ptr<X11Connection> connection = X11Connection::open(bare->display());
    ASSERT_TRUE(connection);
    std::atomic<int> lost{0};
    connection->setConnectionLostHandler([&] { ++lost; });

    bare.reset();

    EXPECT_TRUE(XvfbSession::waitUntil([&] { return lost.load() == 1; }, XvfbSession::startTimeoutSeconds));
    EXPECT_TRUE(connection->hasError());
}

TEST_F(X11ConnectionTest, TitlesOutsideLatin1ReadBackIntact)
{
    // xterm sets such a title as COMPOUND_TEXT in WM_NAME only.
    const xcb_window_t window = startXterm(QStringLiteral("日本 Ω"));
    ASSERT_NE(window, XCB_NONE);

    EXPECT_EQ(clients->title(window), QStringLiteral("日本 Ω"));
}

TEST_F(X11ConnectionTest, TrustedWhileAnEwmhWindowManagerRunsAndReadsARealServerTimeThatMovesOn)
{
    EXPECT_TRUE(accessibility->isProcessTrusted());
    const xcb_timestamp_t first = connection->serverTime();
    ASSERT_TRUE(XvfbSession::waitUntil([&] { return connection->serverTime() > first; }, windowTimeout));
    EXPECT_NE(first, static_cast<xcb_timestamp_t>(XCB_CURRENT_TIME));
}

} // namespace
} // namespace ostrevane::x11test
