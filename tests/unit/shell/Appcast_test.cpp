#include "core/shell/Appcast.h"

#include "support/QtPrinting.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

QByteArray feed(const QByteArray& items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Ostrevane</title>" +
           items + "</channel></rss>";
}

QByteArray item(const char* version, const char* extra = "")
{
    return QByteArray("<item><title>Ostrevane ") + version + "</title><sparkle:version>" + version +
           "</sparkle:version>" + extra + "<enclosure url=\"https://updates.site.test/Ostrevane-" + version +
           ".tar.gz\" length=\"1000\" type=\"application/gzip\" sparkle:edSignature=\"c2lnbmF0dXJl\"/></item>";
}

} // namespace

TEST(UpdateVersion, OrdersReleasesAsPeopleReadThem)
{
    const struct {
        const char* older;
        const char* newer;
    } rows[] = {
        {"1.9", "1.10"},         {"1.9-rc1", "1.9"},   {"1.9-beta2", "1.9-rc1"},
        {"1.9-dev", "1.9-alpha"}, {"1.9-rc9", "1.9-rc10"}, {"99999999999999999999", "100000000000000000000"},
    };
    for (const auto& row : rows) {
        EXPECT_LT(UpdateVersion::compare(row.older, row.newer), 0) << row.older << " < " << row.newer;
        EXPECT_GT(UpdateVersion::compare(row.newer, row.older), 0) << row.newer << " > " << row.older;
    }
    for (const auto& [a, b] : {std::pair{"1.9", "1.9.0"}, {"1.9+build7", "1.9"}, {"1.9-RC1", "1.9-rc1"}})
        EXPECT_EQ(UpdateVersion::compare(a, b), 0) << a << " == " << b;
}

TEST(Appcast, ReadsEveryFieldOfAReleaseFromElementsOrEnclosureAttributes)
{
    const QByteArray xml = feed(
        "<item><title>Ostrevane 1.2</title>"
        "<sparkle:version>1.2.0</sparkle:version><sparkle:shortVersionString>1.2</sparkle:shortVersionString>"
        "<sparkle:minimumSystemVersion>5.10</sparkle:minimumSystemVersion>"
        "<sparkle:releaseNotesLink> https://updates.site.test/1.2.html </sparkle:releaseNotesLink>"
        "<description><![CDATA[<p>Faster <b>search</b></p>]]></description>"
        "<enclosure url=\"https://updates.site.test/a.tar.gz\" length=\"4321\" type=\"application/gzip\" "
        "sparkle:edSignature=\"c2ln\"/></item>"
        "<item><enclosure url=\"https://updates.site.test/b.tar.gz\" length=\"7\" sparkle:version=\"1.3\" "
        "sparkle:shortVersionString=\"1.3 beta\" sparkle:edSignature=\"c2lnMg==\"/></item>");
    const auto items = Appcast::parse(xml);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2u);
    const AppcastItem& first = (*items)[0];
    EXPECT_EQ((QStringList{first.title, first.version, first.displayVersion(), first.minimumSystemVersion,
                           first.releaseNotesURL, first.notes, first.archiveURL, QString::fromLatin1(first.edSignature)}),
              (QStringList{"Ostrevane 1.2", "1.2.0", "1.2", "5.10", "https://updates.site.test/1.2.html",
                           "<p>Faster <b>search</b></p>", "https://updates.site.test/a.tar.gz", "c2ln"}));
    EXPECT_EQ(first.archiveLength, 4321);
    EXPECT_EQ((*items)[1].version, "1.3");
    EXPECT_EQ((*items)[1].displayVersion(), "1.3 beta");
}

TEST(Appcast, LeavesOutReleasesItCannotInstallAndEnclosuresForOtherSystems)
{
    const QByteArray xml = feed(
        "<item><sparkle:version>2.0</sparkle:version>"
        "<enclosure url=\"https://x.test/mac.zip\" length=\"5\" sparkle:os=\"macos\" sparkle:edSignature=\"cw==\"/>"
        "<enclosure url=\"https://x.test/linux.tar.gz\" length=\"6\" sparkle:os=\"linux\" sparkle:edSignature=\"cw==\"/>"
        "</item>"
        "<item><sparkle:version>3.0</sparkle:version>"
        "<enclosure url=\"https://x.test/unsigned.tar.gz\" length=\"6\"/></item>"
        "<item><sparkle:version>4.0</sparkle:version>"
        "<enclosure url=\"https://x.test/empty.tar.gz\" length=\"0\" sparkle:edSignature=\"cw==\"/></item>"
        "<item><enclosure url=\"https://x.test/noversion.tar.gz\" length=\"6\" sparkle:edSignature=\"cw==\"/></item>"
        "<item><sparkle:version>5.0</sparkle:version></item>");
    const auto items = Appcast::parse(xml);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ((*items)[0].archiveURL, "https://x.test/linux.tar.gz");
}

TEST(Appcast, RefusesDocumentsThatAreNotAnRssChannel)
{
    for (const QByteArray& bytes : {QByteArray("<rss><channel><item>"), QByteArray("<html><body>404</body></html>"),
                                    QByteArray("")}) {
        QString error;
        EXPECT_FALSE(Appcast::parse(bytes, &error)) << bytes.constData();
        EXPECT_FALSE(error.isEmpty());
    }
    const auto empty = Appcast::parse(feed(""));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

TEST(Appcast, BestUpdateIsTheNewestNewerReleaseThisSystemCanRun)
{
    const auto items = Appcast::parse(feed(item("1.9") + item("1.10") + item("1.9-rc1") +
                                           item("2.0", "<sparkle:minimumSystemVersion>7.0</sparkle:minimumSystemVersion>")));
    ASSERT_TRUE(items);
    EXPECT_EQ(Appcast::bestUpdate(*items, "1.9", "6.1.0")->version, "1.10");
    EXPECT_EQ(Appcast::bestUpdate(*items, "1.9", "7.0")->version, "2.0");
    EXPECT_FALSE(Appcast::bestUpdate(*items, "1.10", "6.1"));
    EXPECT_FALSE(Appcast::bestUpdate(*items, "3.0", "9.0"));
}
