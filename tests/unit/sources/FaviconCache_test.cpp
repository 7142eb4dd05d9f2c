#include "core/sources/FaviconCache.h"
#include "platform/qt/QtDispatcher.h"
#include "platform/network/QtURLLoader.h"
#include "platform/sim/ThreadedDispatcher.h"
#include "support/LocalHttpServer.h"
#include "support/QtPrinting.h"

#include <QThreadPool>

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <thread>

using namespace ostrevane;

namespace {

// A cache on the real dispatcher and loader, whose every address (named hosts
// included) reaches the local server through it acting as a proxy. The lookup
// service is "http://service.test".
class FaviconCacheTest : public ::testing::Test {
protected:
    FaviconCacheTest() : m_loader({.timeoutSeconds = 0.3}, server.asProxy()) {}

    ~FaviconCacheTest() override
    {
        // Background work may still reach the loader; it must end before the loader does.
        cache.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    // Asks for `key` and waits for the answer.
    ImageHandle imageNow(const QString& key)
    {
        std::optional<ImageHandle> result;
        cache->image(key, [&](ImageHandle image) { result = std::move(image); });
        EXPECT_TRUE(pumpEventsUntil([&] { return result.has_value(); })) << qPrintable(key);
        return result.value_or(nullptr);
    }

    LocalHttpServer server;

private:
    QtDispatcher m_dispatcher;
    QtURLLoader m_loader;

protected:
    std::shared_ptr<FaviconCache> cache = std::make_shared<FaviconCache>(m_dispatcher, m_loader, "http://service.test");
};

QSize sizeOf(const ImageHandle& image) { return image ? image->size() : QSize(); }

// Answers each fetch on a thread of its own: a picture for addresses ending in
// "/good", nothing for the rest. Counts fetches per address.
class ThreadedLoader : public URLLoader {
public:
    ~ThreadedLoader() override
    {
        for (std::thread& thread : m_threads)
            thread.join();
    }

    void fetch(const QString& url, Completion completion) override
    {
        std::lock_guard lock(m_mutex);
        ++m_fetches[url];
        const bool good = url.endsWith(QLatin1String("/good"));
        m_threads.emplace_back([good, completion = std::move(completion)] {
            completion(good ? std::optional<QByteArray>(LocalHttpServer::pngBytes(8, 8)) : std::nullopt);
        });
    }

    std::map<QString, int> fetches() const
    {
        std::lock_guard lock(m_mutex);
        return m_fetches;
    }

private:
    mutable std::mutex m_mutex;
    std::map<QString, int> m_fetches;
    std::vector<std::thread> m_threads;
};

} // namespace

TEST(FaviconCacheRaces, RequestsRacingWithLoadsAreAnsweredOnceInOrderAndShareGoodLoads)
{
    ManualClock clock;
    ThreadedDispatcher dispatcher(clock);
    ThreadedLoader loader;
    auto cache = std::make_shared<FaviconCache>(dispatcher, loader, QString());
    const QStringList keys = {"http://a.test/good", "http://b.test/bad", "http://c.test/good", "http://d.test/bad"};
    constexpr int rounds = 5;
    using Answers = std::vector<std::pair<int, ImageHandle>>; // round and picture
    std::map<QString, Answers> answers;                         // main thread only
    int answered = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const QString& key : keys) {
            cache->image(key, [&answers, &answered, key, round](ImageHandle image) {
                answers[key].emplace_back(round, std::move(image));
                ++answered;
            });
        }
        // Lets a little of the main queue run between rounds, so requests meet loads at every stage.
        dispatcher.runMainUntil([] { return true; }, 1.0);
    }
    ASSERT_TRUE(dispatcher.runMainUntil([&] { return answered == rounds * 4; }, 30.0));
    ASSERT_TRUE(dispatcher.waitUntilIdle(30.0));

    for (const QString& key : keys) {
        const ImageHandle first = answers[key].empty() ? nullptr : answers[key].front().second;
        EXPECT_EQ(first != nullptr, key.endsWith("/good")) << qPrintable(key);
        EXPECT_EQ(answers[key], (Answers{{0, first}, {1, first}, {2, first}, {3, first}, {4, first}})) << qPrintable(key);
    }
    // A picture, once loaded, is shared by every later request; failures may load again.
    EXPECT_EQ(loader.fetches().at("http://a.test/good"), 1);
    EXPECT_EQ(loader.fetches().at("http://c.test/good"), 1);
}

// The lookup service learns only the page's origin, never its path or query.
TEST_F(FaviconCacheTest, ErrorPagesAndHangingSitesFallThroughTheBareHostToTheServiceWhichLearnsOnlyTheOrigin)
{
    server.route("http://www.site.test:8080/favicon.ico", LocalHttpServer::htmlError(404));
    server.route("http://site.test:8080/favicon.ico", LocalHttpServer::hang());
    server.route("http://service.test/s2/favicons", LocalHttpServer::png(32));
    const QString key = "ostrevane-favicon://www.site.test"
                        "?page=http://www.site.test:8080/mail/inbox?token%3Dsecret%26user%3Dme&scheme=http";

    EXPECT_EQ(sizeOf(imageNow(key)), QSize(32, 32));
    EXPECT_EQ(server.requests(), (QStringList{
                                     "http://www.site.test:8080/favicon.ico",
                                     "http://site.test:8080/favicon.ico",
                                     "http://service.test/s2/favicons?domain_url=http://www.site.test:8080&sz=64",
                                 }));
}

TEST_F(FaviconCacheTest, AFailedLoadIsNotRememberedAndTheNextRequestLoadsAgain)
{
    const QString key = "ostrevane-favicon://site.test?page=http://site.test/&scheme=http";
    EXPECT_EQ(imageNow(key), nullptr);
    EXPECT_EQ(server.requests().size(), 2);

    server.route("http://site.test/favicon.ico", LocalHttpServer::png());
    EXPECT_EQ(sizeOf(imageNow(key)), QSize(16, 16));
    EXPECT_EQ(server.requests().size(), 3);
}

// The full chain, a kept port and the private path are checked over HTTP above.
TEST(FaviconCandidates, ComeOnlyFromWebPagesAndTakeNoPortFromAnotherHost)
{
    const QString service = QStringLiteral("https://favicons.example");
    const struct {
        const char* name;
        const char* key;
        QStringList candidates;
    } rows[] = {
        {"a page on another host lends no port",
         "ostrevane-favicon://example.com?page=http://other.test:8080/&scheme=http",
         {"http://example.com/favicon.ico", "https://favicons.example/s2/favicons?domain_url=http://example.com&sz=64"}},
        {"a page scheme that is not the web", "ostrevane-favicon://extensions?page=chrome://extensions/&scheme=chrome", {}},
        {"not an address", "ostrevane-favicon://exa mple.com", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FaviconCache::faviconCandidates(QString::fromUtf8(row.key), service), row.candidates) << row.name;

}

TEST(FaviconDataAddresses, DecodeStrictly)
{
    const struct {
        const char* name;
        const char* text;
        QSize size;
    } rows[] = {
        {"base64", "data:image/x-portable-bitmap;base64,UDEKMSAxCjEK", QSize(1, 1)},
        {"base64 with a line break", "data:image/x-portable-bitmap;base64,UDEKMSAx\nCjEK", QSize()},
        {"percent-escaped", "data:image/x-portable-bitmap,P1%0A1%201%0A1%0A", QSize(1, 1)},
        {"a malformed escape", "data:image/x-portable-bitmap,P1%0A1%201%0A1%G0", QSize()},
    };
    for (const auto& row : rows)
        EXPECT_EQ(sizeOf(FaviconCache::imageFromDataURL(QString::fromUtf8(row.text))), row.size) << row.name;
}

TEST(FaviconPictures, LargePicturesAreScaledDownAndGarbageIsRefused)
{
    EXPECT_EQ(sizeOf(FaviconCache::decodeImage(LocalHttpServer::pngBytes(1024, 512))), QSize(256, 128));
    EXPECT_EQ(FaviconCache::decodeImage(QByteArray("<html>404</html>")), nullptr);
}
