// A stream from a browser extension or its connector: frames read off the front of the
// buffer one after another, as the connector and the program read them, and each message
// taken as an answer of the extension.
#include "FuzzSupport.h"

#include "core/sources/NativeMessaging.h"
#include "platform/browser/ExtensionProtocol.h"

using namespace ostrevane;

namespace {

// A small limit as well as the real one, so that oversized frames are reached at all.
constexpr quint32 smallLimit = 4096;

void readAnswer(const QJsonObject& message)
{
    ExtensionProtocol::replyID(message);
    ExtensionProtocol::resultOK(message);
    if (const auto rows = ExtensionProtocol::tabRows(message))
        for (const BrowserTabRow& row : *rows)
            if (row.windowIndex < 1 || row.tabIndex < 1)
                fuzz::fail("a tab row kept a position below 1");
}

void readStream(QByteArrayView bytes, quint32 limit)
{
    while (!bytes.isEmpty()) {
        const NativeMessaging::Frame frame = NativeMessaging::readFrame(bytes, limit);
        using Status = NativeMessaging::Frame::Status;
        if (frame.status == Status::incomplete || frame.status == Status::oversized)
            return;
        if (frame.consumed <= 0 || frame.consumed > bytes.size())
            fuzz::fail("a frame consumed nothing or more than the buffer held");
        if (frame.status == Status::complete) {
            readAnswer(frame.message);
            // What we write must read back as the same message.
            const QByteArray again = NativeMessaging::frame(frame.message, NativeMessaging::maxFromBrowser);
            const NativeMessaging::Frame reread = NativeMessaging::readFrame(again, NativeMessaging::maxFromBrowser);
            if (reread.status != Status::complete || reread.message != frame.message)
                fuzz::fail("a message did not survive its own framing");
        }
        bytes = bytes.sliced(frame.consumed);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    readStream(bytes, NativeMessaging::maxFromBrowser);
    readStream(bytes, smallLimit);
    return 0;
}
