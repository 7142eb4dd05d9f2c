// ostrevane-connector: the native-messaging host that browsers start for the Ostrevane
// extension. It relays the extension's messages to the running switcher over the
// per-user browser socket and back, and ends when the browser closes its input.

#include "platform/browser/BrowserSocket.h"
#include "platform/browser/ConnectorRelay.h"
#include "platform/browser/ExtensionProtocol.h"

#include <QJsonObject>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace ostrevane;

namespace {

// The browser reads frames from standard output: keep a private copy of it for frames
// and point the real one at /dev/null, so that no library's stray print can break the
// stream.
int claimStandardOutput()
{
    const int frames = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    return frames;
}

} // namespace

int main(int argc, char** argv)
{
    // A browser that has gone makes writes fail with EPIPE instead of killing us silently.
    std::signal(SIGPIPE, SIG_IGN);
    const int output = claimStandardOutput();
    if (output < 0) {
        std::fprintf(stderr, "ostrevane-connector: no standard output to answer on\n");
        return 1;
    }
    QString error;
    const std::optional<QString> path = BrowserSocket::defaultPath(&error);
    if (!path) {
        std::fprintf(stderr, "ostrevane-connector: %s\n", qPrintable(error));
        return 1;
    }
    ConnectorRelay::Options options;
    options.input = STDIN_FILENO;
    options.output = output;
    options.socketPath = *path;
    // Chromium passes the caller's origin first; Firefox the manifest's path, then the add-on id.
    options.greeting = QJsonObject{{ExtensionProtocol::typeKey, ExtensionProtocol::connector},
                                   {QStringLiteral("version"), ExtensionProtocol::connectorVersion},
                                   {QStringLiteral("caller"), QString::fromLocal8Bit(argc > 1 ? argv[argc - 1] : "")}};
    const ConnectorRelay::Ending ending = ConnectorRelay(options).run();
    return ending == ConnectorRelay::Ending::inputClosed ? 0 : 1;
}
