#include "platform/browser/ConnectorRelay.h"

#include "core/sources/NativeMessaging.h"
#include "platform/browser/ExtensionProtocol.h"

#include <QByteArrayView>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>

namespace ostrevane {

namespace {

using Frame = NativeMessaging::Frame;

// Beyond this much unsent data the other side has stopped reading: the program's
// connection is dropped rather than holding ever more memory.
constexpr qsizetype maxBacklog = 2 * static_cast<qsizetype>(NativeMessaging::maxFromBrowser);

// Standard error reaches the browser's own log; standard output is the browser's channel.
void note(const char* text) { std::fprintf(stderr, "ostrevane-connector: %s\n", text); }

// Takes the whole frames off the front of `buffer`, handing each valid one (its full
// bytes and its message) to `take`. Returns false on an oversized frame.
template <class Take>
bool takeFrames(QByteArray& buffer, quint32 limit, bool& warnedMalformed, Take take)
{
    qsizetype offset = 0;
    bool intact = true;
    for (;;) {
        const Frame frame = NativeMessaging::readFrame(QByteArrayView(buffer).sliced(offset), limit);
        if (frame.status == Frame::Status::incomplete)
            break;
        if (frame.status == Frame::Status::oversized) {
            intact = false;
            break;
        }
        if (frame.status == Frame::Status::complete)
            take(QByteArrayView(buffer).sliced(offset, frame.consumed), frame.message);
        else if (!std::exchange(warnedMalformed, true))
            note("skipped a malformed message");
        offset += frame.consumed;
    }
    buffer.remove(0, offset);
    return intact;
}

} // namespace

ConnectorRelay::ConnectorRelay(Options options) : m_options(std::move(options)), m_nextAttempt(Clock::now()) {}

ConnectorRelay::Ending ConnectorRelay::run()
{
    BrowserSocket::setNonBlocking(m_options.input);
    BrowserSocket::setNonBlocking(m_options.output);
    for (;;) {
        if (!m_program.isValid() && Clock::now() >= m_nextAttempt)
            tryConnect();
        pollfd fds[3] = {{m_options.input, POLLIN, 0},
                         // Asked only with something to write: a closed pipe reports POLLERR at every poll.
                         {m_toBrowser.isEmpty() ? -1 : m_options.output, POLLOUT, 0},
                         {m_program.get(), static_cast<short>(POLLIN | (m_toProgram.isEmpty() ? 0 : POLLOUT)), 0}};
        const nfds_t count = m_program.isValid() ? 3 : 2;
        if (::poll(fds, count, pollTimeoutMs()) < 0 && errno != EINTR)
            return Ending::inputBroken;
        if (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))
            if (std::optional<Ending> ending = writeBrowser())
                return *ending;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
            if (std::optional<Ending> ending = readBrowser())
                return *ending;
        if (count == 3 && (fds[2].revents & POLLOUT))
            writeProgram();
        if (count == 3 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR)))
            readProgram();
    }
}

int ConnectorRelay::pollTimeoutMs() const
{
    if (m_program.isValid())
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_nextAttempt - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

std::optional<ConnectorRelay::Ending> ConnectorRelay::readBrowser()
{
    const bool ended = BrowserSocket::readAvailable(m_options.input, m_fromBrowser);
    const bool intact = takeFrames(m_fromBrowser, NativeMessaging::maxFromBrowser, m_warnedMalformed,
                                   [this](QByteArrayView bytes, const QJsonObject& message) {
                                       if (message.value(ExtensionProtocol::typeKey) == ExtensionProtocol::hello)
                                           m_extensionGreeting = bytes.toByteArray();
                                       if (m_program.isValid())
                                           m_toProgram.append(bytes);
                                   });
    if (!intact) {
        note("the browser sent an oversized message; ending");
        return Ending::inputBroken;
    }
    if (m_toProgram.size() > maxBacklog)
        dropProgram("the program stopped reading");
    if (m_program.isValid() && !m_toProgram.isEmpty())
        writeProgram();
    if (!ended)
        return std::nullopt;
    if (!m_fromBrowser.isEmpty()) {
        note("the browser's input ended inside a message");
        return Ending::inputBroken;
    }
    return Ending::inputClosed;
}

std::optional<ConnectorRelay::Ending> ConnectorRelay::writeBrowser()
{
    if (!BrowserSocket::writeAvailable(m_options.output, m_toBrowser))
        return Ending::outputClosed;
    return std::nullopt;
}

void ConnectorRelay::readProgram()
{
    const bool ended = BrowserSocket::readAvailable(m_program.get(), m_fromProgram);
    bool warned = true; // the program is ours: no note per message, the drop below says enough
    const bool intact = takeFrames(m_fromProgram, NativeMessaging::maxToBrowser, warned,
                                   [this](QByteArrayView bytes, const QJsonObject&) { m_toBrowser.append(bytes); });
    if (!m_toBrowser.isEmpty() && !BrowserSocket::writeAvailable(m_options.output, m_toBrowser))
        m_toBrowser.clear(); // the browser has gone; the input's end will say so
    if (!intact)
        dropProgram("the program sent a message larger than a browser accepts");
    else if (m_toBrowser.size() > maxBacklog)
        dropProgram("the browser stopped reading");
    else if (ended)
        dropProgram(nullptr);
}

void ConnectorRelay::writeProgram()
{
    if (!BrowserSocket::writeAvailable(m_program.get(), m_toProgram))
        dropProgram(nullptr);
}

void ConnectorRelay::tryConnect()
{
    m_program = BrowserSocket::connectTo(m_options.socketPath, nullptr);
    m_nextAttempt = Clock::now() + m_options.retryInterval;
    if (!m_program.isValid() || !BrowserSocket::setNonBlocking(m_program.get())) {
        m_program.reset();
        return;
    }
    m_toProgram = NativeMessaging::frame(m_options.greeting, NativeMessaging::maxFromBrowser) + m_extensionGreeting;
    writeProgram();
}

void ConnectorRelay::dropProgram(const char* why)
{
    if (why)
        note(why);
    m_program.reset();
    m_fromProgram.clear();
    m_toProgram.clear();
    m_nextAttempt = Clock::now() + m_options.retryInterval;
}

} // namespace ostrevane
