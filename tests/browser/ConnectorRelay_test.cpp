#include "platform/browser/ConnectorRelay.h"

#include "BrowserTestKit.h"
#include "support/QtPrinting.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <future>
#include <sys/socket.h>
#include <unistd.h>

using namespace ostrevane;
using namespace ostrevane::browsertest;

namespace {

QJsonObject message(const char* type, int n = 0) { return {{"type", type}, {"n", n}}; }

// A relay on a thread of its own, between two pipes (the browser's side) and the socket.
class RelayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(::pipe(toRelay), 0);
        ASSERT_EQ(::pipe(fromRelay), 0);
    }
    void TearDown() override
    {
        closeBrowserSide();
        if (ending.valid())
            ending.wait();
        for (int fd : {toRelay[0], fromRelay[0], fromRelay[1]})
            ::close(fd);
    }

    void startRelay()
    {
        ConnectorRelay::Options options;
        options.input = toRelay[0];
        options.output = fromRelay[1];
        options.socketPath = folder.path();
        options.retryInterval = 20ms;
        options.greeting = message("connector");
        ending = std::async(std::launch::async, [options] { return ConnectorRelay(options).run(); });
    }
    void browserSends(const QByteArray& bytes)
    {
        ASSERT_EQ(::write(toRelay[1], bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    }
    void browserSends(const QJsonObject& m)
    {
        browserSends(NativeMessaging::frame(m, NativeMessaging::maxFromBrowser));
    }
    void closeBrowserSide()
    {
        if (toRelay[1] >= 0)
            ::close(std::exchange(toRelay[1], -1));
    }
    ConnectorRelay::Ending endingOfRelay()
    {
        EXPECT_EQ(ending.wait_for(5s), std::future_status::ready);
        return ending.get();
    }

    // The program's side: accepts the relay's next connection.
    UniqueFd acceptRelay(const UniqueFd& listener)
    {
        pollfd pfd{listener.get(), POLLIN, 0};
        if (::poll(&pfd, 1, 5000) != 1)
            return {};
        return UniqueFd(::accept(listener.get(), nullptr, nullptr));
    }

    SocketFolder folder;
    int toRelay[2] = {-1, -1};
    int fromRelay[2] = {-1, -1};
    std::future<ConnectorRelay::Ending> ending;
};

} // namespace

TEST_F(RelayTest, WaitsForTheProgramAndRepeatsTheExtensionsGreetingToEachNewConnection)
{
    startRelay();
    browserSends(message("hello", 1));
    UniqueFd listener = BrowserSocket::listen(folder.path(), nullptr);
    for (int run = 0; run < 2; ++run) {
        UniqueFd program = acceptRelay(listener);
        ASSERT_TRUE(program.isValid()) << run;
        FrameReader reader;
        EXPECT_EQ(reader.next(program.get(), 5s), message("connector")) << run;
        EXPECT_EQ(reader.next(program.get(), 5s), message("hello", 1)) << run;
        browserSends(message("tabs", run));
        EXPECT_EQ(reader.next(program.get(), 5s), message("tabs", run)) << run;
        // The program quits (and starts again on the next round).
    }
}

TEST_F(RelayTest, AnOversizedMessageFromTheBrowserEndsTheRelay)
{
    startRelay();
    const quint32 huge = NativeMessaging::maxFromBrowser + 1;
    browserSends(QByteArray(reinterpret_cast<const char*>(&huge), 4));
    EXPECT_EQ(endingOfRelay(), ConnectorRelay::Ending::inputBroken);
}

TEST_F(RelayTest, InputEndingInsideAMessageEndsTheRelayAsBroken)
{
    startRelay();
    browserSends(NativeMessaging::frame(message("tabs"), 1000).chopped(2));
    closeBrowserSide();
    EXPECT_EQ(endingOfRelay(), ConnectorRelay::Ending::inputBroken);
}

TEST_F(RelayTest, AMessageTooLargeForABrowserIsNotPassedOnAndTheProgramIsDropped)
{
    UniqueFd listener = BrowserSocket::listen(folder.path(), nullptr);
    startRelay();
    UniqueFd program = acceptRelay(listener);
    ASSERT_TRUE(program.isValid());
    const QByteArray tooLarge = NativeMessaging::frameJson(
        "{\"pad\":\"" + QByteArray(NativeMessaging::maxToBrowser, 'x') + "\"}", NativeMessaging::maxFromBrowser);
    std::thread writer([&] {
        QByteArray bytes = tooLarge;
        while (!bytes.isEmpty()) {
            pollfd pfd{program.get(), POLLOUT, 0};
            if (::poll(&pfd, 1, 5000) != 1 || !BrowserSocket::writeAvailable(program.get(), bytes))
                return;
        }
    });
    FrameReader reader;
    EXPECT_EQ(reader.next(program.get(), 5s), message("connector"));
    // The relay hangs up on the program and nothing reaches the browser.
    EXPECT_EQ(reader.next(program.get(), 5s), std::nullopt);
    EXPECT_TRUE(reader.closed());
    writer.join();
    pollfd pfd{fromRelay[0], POLLIN, 0};
    EXPECT_EQ(::poll(&pfd, 1, 0), 0);
}

// The connector as the browser starts it: its greeting, frames both ways (a malformed one
// from the browser dropped), nothing else on its output, and a clean end with its input.
TEST(ConnectorProgram, PassesValidFramesBothWaysWritesNothingElseAndEndsWhenTheBrowserClosesItsInput)
{
    SocketFolder folder;
    UniqueFd listener = BrowserSocket::listen(folder.path(), nullptr);
    QProcess connector;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", folder.dir.path());
    connector.setProcessEnvironment(environment);
    connector.start(QStringLiteral(OSTREVANE_CONNECTOR), {"chrome-extension://abc/"});
    ASSERT_TRUE(connector.waitForStarted());

    pollfd pfd{listener.get(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 5000), 1);
    UniqueFd program(::accept(listener.get(), nullptr, nullptr));
    FrameReader reader;
    const std::optional<QJsonObject> greeting = reader.next(program.get(), 5s);
    ASSERT_TRUE(greeting);
    EXPECT_EQ(greeting->value("type"), "connector");
    EXPECT_EQ(greeting->value("caller"), "chrome-extension://abc/");

    const QByteArray request = NativeMessaging::frame(message("list", 9), NativeMessaging::maxToBrowser);
    ASSERT_EQ(::write(program.get(), request.constData(), request.size()), request.size());
    connector.write(NativeMessaging::frameJson("{\"broken\":", 100));
    connector.write(NativeMessaging::frameJson("\"not an object\"", 100));
    connector.write(NativeMessaging::frame(message("tabs", 9), NativeMessaging::maxFromBrowser));
    ASSERT_TRUE(connector.waitForBytesWritten(5000));
    EXPECT_EQ(reader.next(program.get(), 5s), message("tabs", 9));
    connector.closeWriteChannel();
    ASSERT_TRUE(connector.waitForFinished(5000));
    EXPECT_EQ(connector.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(connector.exitCode(), 0);
    EXPECT_EQ(connector.readAllStandardOutput(), request);
}
