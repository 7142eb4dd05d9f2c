#include "core/sources/NativeMessaging.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <cstring>

namespace ostrevane::NativeMessaging {

Frame readFrame(QByteArrayView bytes, quint32 maxLength)
{
    Frame result;
    if (bytes.size() < headerSize)
        return result;
    quint32 length = 0;
    std::memcpy(&length, bytes.data(), sizeof length); // the browsers write their own byte order
    if (length > maxLength) {
        result.status = Frame::Status::oversized;
        return result;
    }
    const qsizetype total = headerSize + static_cast<qsizetype>(length);
    if (bytes.size() < total)
        return result;
    result.consumed = total;
    const QByteArrayView json = bytes.sliced(headerSize, length);
    QJsonParseError error;
    // Qt's parser replaces broken UTF-8 inside strings instead of failing: check first,
    // so that what is relayed is exactly what was validated.
    const QJsonDocument document =
        json.isValidUtf8() ? QJsonDocument::fromJson(QByteArray::fromRawData(json.data(), json.size()), &error)
                           : QJsonDocument();
    if (!document.isObject()) {
        result.status = Frame::Status::malformed;
        return result;
    }
    result.status = Frame::Status::complete;
    result.message = document.object();
    return result;
}

QByteArray frameJson(QByteArrayView json, quint32 maxLength)
{
    if (json.size() > static_cast<qsizetype>(maxLength))
        return {};
    const quint32 length = static_cast<quint32>(json.size());
    QByteArray framed(headerSize, Qt::Uninitialized);
    std::memcpy(framed.data(), &length, sizeof length);
    framed.append(json.data(), json.size());
    return framed;
}

QByteArray frame(const QJsonObject& message, quint32 maxLength)
{
    return frameJson(QJsonDocument(message).toJson(QJsonDocument::Compact), maxLength);
}

} // namespace ostrevane::NativeMessaging
