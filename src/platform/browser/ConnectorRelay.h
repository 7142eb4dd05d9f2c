#pragma once

#include "platform/browser/BrowserSocket.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <optional>

namespace ostrevane {

// The heart of the native-messaging host: relays whole frames between the browser (the
// host's standard input and output) and the running program (the browser socket).
//
// Frames from the browser are checked (length within the browsers' limit, UTF-8 JSON of
// an object) before they are passed on; a malformed one is dropped alone, an oversized
// or truncated one ends the relay, since the stream can no longer be trusted. Frames
// from the program are checked the same way against the limit a browser accepts.
// Nothing but frames is ever written to the output.
//
// The program may start after the browser, quit and start again: while it is not
// there the relay tries to connect every retryInterval, dropping what the browser
// sends meanwhile except the extension's greeting, which it repeats to every new
// connection after its own. The relay ends when the browser closes the input.
class ConnectorRelay {
public:
    struct Options {
        int input = 0;  // frames from the browser
        int output = 1; // frames to the browser
        QString socketPath;
        std::chrono::milliseconds retryInterval{500};
        // Sent first on every connection to the program.
        QJsonObject greeting;
    };

    enum class Ending {
        inputClosed, // the browser closed the pipe: the normal end
        inputBroken, // an oversized or truncated frame, or a read error
        outputClosed // the browser stopped reading
    };

    explicit ConnectorRelay(Options options);

    // Relays until the browser goes; blocks the calling thread.
    Ending run();

private:
    using Clock = std::chrono::steady_clock;

    // Each returns an ending when the relay must stop.
    std::optional<Ending> readBrowser();
    std::optional<Ending> writeBrowser();
    void readProgram();
    void writeProgram();
    void tryConnect();
    void dropProgram(const char* why);
    int pollTimeoutMs() const;

    Options m_options;
    UniqueFd m_program;
    Clock::time_point m_nextAttempt;
    QByteArray m_fromBrowser; // bytes read, not yet a whole frame
    QByteArray m_toBrowser;
    QByteArray m_fromProgram;
    QByteArray m_toProgram;
    QByteArray m_extensionGreeting; // the extension's latest greeting frame, repeated on reconnects
    bool m_warnedMalformed = false;
};

} // namespace ostrevane
