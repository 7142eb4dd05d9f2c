#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QtGlobal>

namespace ostrevane {

// The browsers' native-messaging framing, which the browser extension, its connector and
// the program speak on every hop: a 32-bit length in the machine's byte order, then that
// many bytes of UTF-8 JSON. Every message is a JSON object.
//
// Pure functions without state: a reader keeps its own buffer and asks readFrame() for
// the frame at its front (the fuzzing harness calls it on arbitrary bytes).
namespace NativeMessaging {

inline constexpr qsizetype headerSize = 4;
// The browsers refuse a message larger than this from a host, so nothing bound for the
// extension may exceed it.
inline constexpr quint32 maxToBrowser = 1024 * 1024;
// Browsers allow 4 GiB towards a host, but the extension keeps its messages far
// smaller (it caps titles, addresses and icons): a longer frame is a broken stream, and
// taking it would only hold memory.
inline constexpr quint32 maxFromBrowser = 64 * 1024 * 1024;

struct Frame {
    enum class Status {
        complete,   // `message` holds the frame's object
        incomplete, // the buffer ends inside the frame: read more
        oversized,  // the length exceeds the limit: the stream cannot be trusted further
        malformed,  // a whole frame whose bytes are not UTF-8 JSON for an object
    };
    Status status = Status::incomplete;
    QJsonObject message;
    // Bytes the frame takes at the front of the buffer (header included) when it is
    // complete or malformed, so that a reader can skip a malformed frame; 0 otherwise.
    qsizetype consumed = 0;
};

// The frame at the front of `bytes`, read with the limit `maxLength` on its JSON text.
Frame readFrame(QByteArrayView bytes, quint32 maxLength);

// The whole frame of `message`; empty when its JSON text exceeds `maxLength`.
QByteArray frame(const QJsonObject& message, quint32 maxLength);

// A frame around JSON text that is already encoded; empty when it exceeds `maxLength`.
QByteArray frameJson(QByteArrayView json, quint32 maxLength);

} // namespace NativeMessaging

} // namespace ostrevane
