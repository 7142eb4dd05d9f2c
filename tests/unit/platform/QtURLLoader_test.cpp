#include "platform/network/QtURLLoader.h"
#include "platform/qt/NetworkModule.h"
#include "support/LocalHttpServer.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <mutex>

using namespace ostrevane;

namespace {

using Read = std::pair<int, std::optional<QByteArray>>; // calls and the last answer

// What the loader answered and how often, from whichever thread it answered on.
struct Answer {
    mutable std::mutex mutex;
    int calls = 0;
    std::optional<QByteArray> body;

    URLLoader::Completion completion()
    {
        return [this](std::optional<QByteArray> answered) {
            std::lock_guard lock(mutex);
            ++calls;
            body = std::move(answered);
        };
    }
    Read read() const
    {
        std::lock_guard lock(mutex);
        return {calls, body};
    }
};

// Fetches `url` and waits (on events) for the answer.
std::optional<QByteArray> fetchAndWait(URLLoader& loader, const QString& url)
{
    Answer answer;
    loader.fetch(url, answer.completion());
    EXPECT_TRUE(pumpEventsUntil([&] { return answer.read().first > 0; })) << qPrintable(url);
    return answer.read().second;
}

} // namespace

TEST(QtURLLoader, GivesTheBodyWhateverTheStatusFollowsRedirectsOnlyToHttpAndRefusesBodiesOverTheLimit)
{
    using Mode = LocalHttpServer::Response::Mode;
    LocalHttpServer server;
    server.route("/missing", LocalHttpServer::htmlError(404));
    server.route("/moved", LocalHttpServer::redirect(server.url("/missing")));
    server.route("/to-file", LocalHttpServer::redirect("file:///etc/passwd"));
    server.route("/loop", LocalHttpServer::redirect(server.url("/loop")));
    server.route("/at-limit", LocalHttpServer::bytes(4096));
    server.route("/over", LocalHttpServer::bytes(4097));
    server.route("/far-over-unannounced", LocalHttpServer::bytes(3 * 1024 * 1024, Mode::closeDelimited));
    QtURLLoader loader({.timeoutSeconds = 60, .maxBodyBytes = 4096}); // only the redirect cap can end the loop

    const std::pair<const char*, std::optional<QByteArray>> rows[] = {
        {"/moved", "<html><body><h1>Not here</h1></body></html>"},
        {"/to-file", std::nullopt},
        {"/loop", std::nullopt},
        {"/at-limit", QByteArray(4096, 'x')},
        {"/over", std::nullopt},
        {"/far-over-unannounced", std::nullopt},
    };
    for (const auto& [path, body] : rows)
        EXPECT_EQ(fetchAndWait(loader, server.url(path)), body) << path;
}

TEST(QtURLLoader, RefusesEveryAddressThatIsNotHttpAtOnceWithoutTouchingTheNetwork)
{
    LocalHttpServer server;
    QtURLLoader loader({.timeoutSeconds = 0.3});
    const QString ftp = "ftp://127.0.0.1:" + QString::number(server.port()) + "/x";
    for (const QString& url : QStringList{"file:///etc/hostname", ftp, "not an address"}) {
        Answer answer;
        loader.fetch(url, answer.completion());
        EXPECT_EQ(answer.read(), (Read{1, std::nullopt})) << qPrintable(url); // on this thread
    }
    EXPECT_EQ(server.requests(), QStringList());
}

TEST(QtURLLoader, DestroyingTheLoaderCompletesFetchesInProgressOnce)
{
    LocalHttpServer server;
    server.route("/hang", LocalHttpServer::hang());
    Answer started;
    Answer queued;
    {
        QtURLLoader loader({.timeoutSeconds = 60});
        loader.fetch(server.url("/hang"), started.completion());
        ASSERT_TRUE(pumpEventsUntil([&] { return server.requests().size() == 1; }));
        loader.fetch(server.url("/hang"), queued.completion());
    }
    EXPECT_EQ(started.read(), (Read{1, std::nullopt}));
    EXPECT_EQ(queued.read(), (Read{1, std::nullopt}));
}

// The program's downloads come from the module it loads with the first one; without a
// usable module a download completes with nothing and the program goes on.
TEST(NetworkModule, TheBuiltModuleDownloadsAndWithoutAUsableOneEveryFetchGivesNothing)
{
    LocalHttpServer server;
    server.route("/icon", LocalHttpServer::png());
    const std::unique_ptr<NetworkURLLoader> loader =
        NetworkModule::makeLoader({}, {QStringLiteral(OSTREVANE_NETWORK_MODULE)});
    ASSERT_TRUE(loader);
    EXPECT_EQ(fetchAndWait(*loader, server.url("/icon")), LocalHttpServer::pngBytes(16, 16));

    QTemporaryDir folder;
    QFile foreign(folder.filePath(QString::fromLatin1(NetworkModule::fileName)));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly) && foreign.write("not a module") > 0);
    foreign.close();
    EXPECT_FALSE(NetworkModule::makeLoader({}, NetworkModule::candidates(folder.path())));
    // This test's own folder has none, as a program whose module went missing.
    LazyURLLoader lazy;
    EXPECT_EQ(fetchAndWait(lazy, server.url("/icon")), std::nullopt);
}
