#include "core/sources/NativeMessaging.h"

#include "support/QtPrinting.h"

#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstring>

using namespace ostrevane;
using Frame = NativeMessaging::Frame;
using Status = NativeMessaging::Frame::Status;

namespace {

// A frame written by hand: the length in the machine's byte order, then the bytes.
QByteArray rawFrame(const QByteArray& body, std::optional<quint32> claimedLength = std::nullopt)
{
    const quint32 length = claimedLength.value_or(static_cast<quint32>(body.size()));
    QByteArray bytes(4, Qt::Uninitialized);
    std::memcpy(bytes.data(), &length, 4);
    return bytes + body;
}

constexpr quint32 limit = 1024;

} // namespace

TEST(NativeMessaging, AFrameArrivingInPiecesIsIncompleteUntilItsLastByte)
{
    const QByteArray whole = rawFrame(R"({"type":"list","id":7})");
    for (qsizetype size : {0, 1, 3, 4, 10, static_cast<int>(whole.size()) - 1}) {
        const Frame frame = NativeMessaging::readFrame(QByteArrayView(whole).first(size), limit);
        EXPECT_EQ(frame.status, Status::incomplete) << size;
        EXPECT_EQ(frame.consumed, 0) << size;
    }
    const Frame frame = NativeMessaging::readFrame(whole + rawFrame("{}"), limit);
    EXPECT_EQ(frame.status, Status::complete);
    EXPECT_EQ(frame.consumed, whole.size());
    EXPECT_EQ(frame.message, (QJsonObject{{"type", "list"}, {"id", 7}}));
}

TEST(NativeMessaging, LengthsUpToTheLimitAreReadAndLongerOnesAreRefusedBeforeTheirBytesArrive)
{
    // Exactly at the limit: an object padded with a long string.
    const QByteArray prefix = R"({"pad":")";
    const QByteArray atLimit = prefix + QByteArray(limit - prefix.size() - 2, 'x') + "\"}";
    ASSERT_EQ(atLimit.size(), limit);
    EXPECT_EQ(NativeMessaging::readFrame(rawFrame(atLimit), limit).status, Status::complete);

    // One byte more, announced by the header alone (a 4 GiB claim must not be waited for).
    EXPECT_EQ(NativeMessaging::readFrame(rawFrame({}, limit + 1), limit).status, Status::oversized);
    EXPECT_EQ(NativeMessaging::readFrame(rawFrame({}, 0xFFFFFFFFu), limit).status, Status::oversized);
}

TEST(NativeMessaging, AnEmptyOrBrokenBodyIsMalformedAndCanBeSkippedToTheNextFrame)
{
    const QByteArray next = rawFrame(R"({"type":"changed"})");
    const QList<QByteArray> broken{
        "",                         // zero length
        "{\"type\":",               // truncated JSON
        "[1,2,3]",                  // not an object
        "\"text\"",                 // not an object
        "{\"title\":\"caf\xC3\"}",  // UTF-8 cut inside a character
        "{\"title\":\"\xED\xA0\x80\"}", // an encoded surrogate
        "{\"title\":\"\xC0\xAF\"}", // an overlong encoding
        "{\"a\":1}x",               // trailing garbage
    };
    for (const QByteArray& body : broken) {
        const QByteArray stream = rawFrame(body) + next;
        const Frame frame = NativeMessaging::readFrame(stream, limit);
        EXPECT_EQ(frame.status, Status::malformed) << body.toHex().constData();
        ASSERT_EQ(frame.consumed, 4 + body.size());
        const Frame following = NativeMessaging::readFrame(QByteArrayView(stream).sliced(frame.consumed), limit);
        EXPECT_EQ(following.message, (QJsonObject{{"type", "changed"}}));
    }
}

TEST(NativeMessaging, DeeplyNestedJsonIsRefusedWithoutExhaustingTheStack)
{
    const QByteArray body = "{\"a\":" + QByteArray(100000, '[') + QByteArray(100000, ']') + "}";
    EXPECT_EQ(NativeMessaging::readFrame(rawFrame(body), 1024 * 1024).status, Status::malformed);
}

TEST(NativeMessaging, FramesRoundTripAndNothingLargerThanTheLimitIsFramed)
{
    const QJsonObject message{{"id", 3}, {"type", "activate"}, {"title", QString::fromUtf8("标签 \"1\"")}};
    const QByteArray framed = NativeMessaging::frame(message, limit);
    const Frame frame = NativeMessaging::readFrame(framed, limit);
    EXPECT_EQ(frame.status, Status::complete);
    EXPECT_EQ(frame.consumed, framed.size());
    EXPECT_EQ(frame.message, message);

    EXPECT_TRUE(NativeMessaging::frame(QJsonObject{{"pad", QString(limit, QLatin1Char('x'))}}, limit).isEmpty());
    EXPECT_EQ(NativeMessaging::frameJson("{}", 2), rawFrame("{}"));
    EXPECT_TRUE(NativeMessaging::frameJson("{}", 1).isEmpty());
}
