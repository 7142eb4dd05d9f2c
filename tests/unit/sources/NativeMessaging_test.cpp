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
    for (qsizetype size : {3, 4, static_cast<int>(whole.size()) - 1}) {
        const Frame frame = NativeMessaging::readFrame(QByteArrayView(whole).first(size), limit);
        EXPECT_EQ(frame.status, Status::incomplete) << size;
        EXPECT_EQ(frame.consumed, 0) << size;
    }
    const Frame frame = NativeMessaging::readFrame(whole + rawFrame("{}"), limit);
    EXPECT_EQ(frame.status, Status::complete);
    EXPECT_EQ(frame.consumed, whole.size());
    EXPECT_EQ(frame.message, (QJsonObject{{"type", "list"}, {"id", 7}}));
}

TEST(NativeMessaging, DeeplyNestedJsonIsRefusedWithoutExhaustingTheStack)
{
    const QByteArray body = "{\"a\":" + QByteArray(100000, '[') + QByteArray(100000, ']') + "}";
    EXPECT_EQ(NativeMessaging::readFrame(rawFrame(body), 1024 * 1024).status, Status::malformed);
}
