#include "platform/qt/QtURLLoader.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace ostrevane;

namespace {

// What the loader answered, from whichever thread it answered on.
class Answer {
public:
    URLLoader::Completion completion()
    {
        return [this](std::optional<QByteArray> body) {
            std::lock_guard lock(m_mutex);
            ++m_calls;
            m_body = std::move(body);
        };
    }
    int calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::optional<QByteArray> body() const
    {
        std::lock_guard lock(m_mutex);
        return m_body;
    }

private:
    mutable std::mutex m_mutex;
    int m_calls = 0;
    std::optional<QByteArray> m_body;
};

// Fetches `url` and waits (on events) for the answer.
std::optional<QByteArray> fetchAndWait(QtURLLoader& loader, const QString& url)
{
    Answer answer;
    loader.fetch(url, answer.completion());
    EXPECT_TRUE(pumpEventsUntil([&] { return answer.calls() > 0; })) << qPrintable(url);
    return answer.body();
}

QtURLLoader::Options quickOptions(qint64 maxBodyBytes = QtURLLoader::defaultMaxBodyBytes)
{
    QtURLLoader::Options options;
    options.timeoutSeconds = 0.3;
    options.maxBodyBytes = maxBodyBytes;
    return options;
}

} // namespace

TEST(QtURLLoader, GivesTheBodyWhateverTheResponseStatus)
{
    LocalHttpServer server;
    server.route(QStringLiteral("/icon.png"), LocalHttpServer::png());
    server.route(QStringLiteral("/missing"), LocalHttpServer::htmlError(404));
    server.route(QStringLiteral("/broken"), LocalHttpServer::htmlError(500));
    QtURLLoader loader(quickOptions());

    EXPECT_EQ(fetchAndWait(loader, server.url("/icon.png")), LocalHttpServer::png().body);
    EXPECT_EQ(fetchAndWait(loader, server.url("/missing")), QByteArray("<html><body><h1>Not here</h1></body></html>"));
    EXPECT_EQ(fetchAndWait(loader, server.url("/broken")), QByteArray("<html><body><h1>Not here</h1></body></html>"));
}

TEST(QtURLLoader, RefusesEveryAddressThatIsNotHttpWithoutTouchingTheNetwork)
{
    LocalHttpServer server;
    QtURLLoader loader(quickOptions());
    const QStringList refused = {
        "file:///etc/hostname",
        "ftp://127.0.0.1:" + QString::number(server.port()) + "/x",
        "data:text/plain,hello",
        "javascript:alert(1)",
        "http:///no-host",
        "not an address",
        "",
    };
    for (const QString& url : refused) {
        Answer answer;
        loader.fetch(url, answer.completion());
        EXPECT_EQ(answer.calls(), 1) << qPrintable(url); // refused at once, on this thread
        EXPECT_EQ(answer.body(), std::nullopt) << qPrintable(url);
    }
    EXPECT_EQ(server.requests(), QStringList());
}

TEST(QtURLLoader, FollowsRedirectsOnlyToHttpAddresses)
{
    LocalHttpServer server;
    server.route(QStringLiteral("/icon.png"), LocalHttpServer::png());
    server.route(QStringLiteral("/moved"), LocalHttpServer::redirect(server.url("/icon.png")));
    server.route(QStringLiteral("/to-file"), LocalHttpServer::redirect(QStringLiteral("file:///etc/passwd")));
    server.route(QStringLiteral("/to-ftp"), LocalHttpServer::redirect(QStringLiteral("ftp://127.0.0.1/x")));
    server.route(QStringLiteral("/loop"), LocalHttpServer::redirect(server.url("/loop")));
    // A long deadline, so that only the redirect cap can end the loop.
    QtURLLoader::Options options;
    options.timeoutSeconds = 60;
    QtURLLoader loader(options);

    EXPECT_EQ(fetchAndWait(loader, server.url("/moved")), LocalHttpServer::png().body);
    EXPECT_EQ(fetchAndWait(loader, server.url("/to-file")), std::nullopt);
    EXPECT_EQ(fetchAndWait(loader, server.url("/to-ftp")), std::nullopt);
    EXPECT_EQ(fetchAndWait(loader, server.url("/loop")), std::nullopt);
}

TEST(QtURLLoader, AServerThatNeverAnswersTimesOut)
{
    LocalHttpServer server;
    server.route(QStringLiteral("/hang"), LocalHttpServer::hang());
    QtURLLoader loader(quickOptions());
    EXPECT_EQ(fetchAndWait(loader, server.url("/hang")), std::nullopt);
    EXPECT_EQ(server.requests(), QStringList{server.url("/hang")});
}

TEST(QtURLLoader, RefusesBodiesOverTheLimitWhetherAnnouncedOrNot)
{
    using Mode = LocalHttpServer::Response::Mode;
    LocalHttpServer server;
    server.route(QStringLiteral("/at-limit"), LocalHttpServer::bytes(4096));
    server.route(QStringLiteral("/at-limit-unannounced"), LocalHttpServer::bytes(4096, Mode::closeDelimited));
    server.route(QStringLiteral("/over"), LocalHttpServer::bytes(4097));
    server.route(QStringLiteral("/over-unannounced"), LocalHttpServer::bytes(4097, Mode::closeDelimited));
    server.route(QStringLiteral("/far-over-unannounced"), LocalHttpServer::bytes(3 * 1024 * 1024, Mode::closeDelimited));
    QtURLLoader loader(quickOptions(4096));

    EXPECT_EQ(fetchAndWait(loader, server.url("/at-limit")), QByteArray(4096, 'x'));
    EXPECT_EQ(fetchAndWait(loader, server.url("/at-limit-unannounced")), QByteArray(4096, 'x'));
    EXPECT_EQ(fetchAndWait(loader, server.url("/over")), std::nullopt);
    EXPECT_EQ(fetchAndWait(loader, server.url("/over-unannounced")), std::nullopt);
    EXPECT_EQ(fetchAndWait(loader, server.url("/far-over-unannounced")), std::nullopt);
}

TEST(QtURLLoader, AClosedPortGivesNothing)
{
    quint16 closedPort = 0;
    {
        LocalHttpServer gone;
        closedPort = gone.port();
    }
    QtURLLoader loader(quickOptions());
    EXPECT_EQ(fetchAndWait(loader, QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort)), std::nullopt);
}

TEST(QtURLLoader, DestroyingTheLoaderCompletesFetchesInProgressOnce)
{
    LocalHttpServer server;
    server.route(QStringLiteral("/hang"), LocalHttpServer::hang());
    Answer started;
    Answer queued;
    {
        QtURLLoader::Options options = quickOptions();
        options.timeoutSeconds = 60;
        QtURLLoader loader(options);
        loader.fetch(server.url("/hang"), started.completion());
        ASSERT_TRUE(pumpEventsUntil([&] { return server.requests().size() == 1; }));
        loader.fetch(server.url("/hang"), queued.completion());
    }
    EXPECT_EQ(started.calls(), 1);
    EXPECT_EQ(started.body(), std::nullopt);
    EXPECT_EQ(queued.calls(), 1);
    EXPECT_EQ(queued.body(), std::nullopt);
}
