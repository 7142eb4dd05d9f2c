#pragma once

// The browser extension's side of the connector, for the benchmarks: it starts the real
// ostrevane-connector as a browser starts a native host (pipes for its standard input and
// output) and answers the program's requests from a list of tabs spread over windows,
// with titles, addresses and icon addresses like real sites'.

#include "core/sources/NativeMessaging.h"
#include "platform/browser/BrowserSocket.h"
#include "platform/browser/ExtensionProtocol.h"
#include "platform/browser/NativeHostManifests.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <csignal>
#include <mutex>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace ostrevane::bench {

class BenchExtension {
public:
    BenchExtension(int tabs, int windows) : m_tabs(tabs), m_windows(std::max(1, windows)) {}
    ~BenchExtension()
    {
        for (int fd : {m_in, m_out})
            if (fd >= 0)
                ::close(fd);
    }
    BenchExtension(const BenchExtension&) = delete;
    BenchExtension& operator=(const BenchExtension&) = delete;

    // Starts the connector and greets the program as the extension does.
    bool start(const char* connector)
    {
        // A connector that has ended closes our pipe: the write then fails instead of
        // ending the benchmark, as a browser's does.
        std::signal(SIGPIPE, SIG_IGN);
        int toHost[2], fromHost[2];
        if (::pipe2(toHost, O_CLOEXEC) != 0 || ::pipe2(fromHost, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toHost[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromHost[1], STDOUT_FILENO);
        const std::string origin = "chrome-extension://" + NativeHostManifests::chromiumExtensionID.toStdString() + "/";
        char* argv[] = {const_cast<char*>(connector), const_cast<char*>(origin.c_str()), nullptr};
        const bool started = posix_spawn(&m_connector, connector, &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(toHost[0]);
        ::close(fromHost[1]);
        m_out = toHost[1];
        m_in = fromHost[0];
        BrowserSocket::setNonBlocking(m_in);
        send({{ExtensionProtocol::typeKey, ExtensionProtocol::hello}, {"version", "bench"}, {"browser", "Bench"}});
        return started;
    }

    // Where requests arrive; poll it, then call answer().
    int input() const { return m_in; }
    pid_t connector() const { return m_connector; }

    // Answers every whole request read; false when the connector has gone.
    bool answer()
    {
        if (BrowserSocket::readAvailable(m_in, m_buffer) && m_buffer.isEmpty())
            return false;
        for (;;) {
            const NativeMessaging::Frame frame = NativeMessaging::readFrame(m_buffer, NativeMessaging::maxToBrowser);
            if (frame.status != NativeMessaging::Frame::Status::complete)
                return frame.status == NativeMessaging::Frame::Status::incomplete;
            m_buffer.remove(0, frame.consumed);
            reply(frame.message);
        }
    }

    // Opens one more tab and tells the program, as the extension does on a tab event.
    void addTab()
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_tabs;
        }
        send({{ExtensionProtocol::typeKey, ExtensionProtocol::changed}});
    }

private:
    void reply(const QJsonObject& request)
    {
        QJsonObject answer;
        if (request.value(ExtensionProtocol::typeKey) == QLatin1String("list"))
            answer = QJsonObject{{"type", "tabs"}, {"tabs", rows()}};
        else
            answer = QJsonObject{{"type", "result"}, {"ok", true}};
        answer.insert(ExtensionProtocol::idKey, request.value(ExtensionProtocol::idKey));
        send(answer);
    }

    QJsonArray rows()
    {
        std::lock_guard lock(m_mutex);
        QJsonArray list;
        const int perWindow = (m_tabs + m_windows - 1) / m_windows;
        for (int i = 0; i < m_tabs; ++i) {
            const int tab = i % perWindow + 1;
            list.append(QJsonArray{i / perWindow + 1, tab, tab == 1,
                                   QStringLiteral("Tab %1: an article about something").arg(i + 1),
                                   QStringLiteral("https://www.site%1.example/articles/%2?ref=feed").arg(i % 37).arg(i),
                                   QStringLiteral("https://www.site%1.example/favicon.ico").arg(i % 37)});
        }
        return list;
    }

    void send(const QJsonObject& message)
    {
        QByteArray frame = NativeMessaging::frame(message, NativeMessaging::maxFromBrowser);
        std::lock_guard lock(m_sending);
        while (!frame.isEmpty()) {
            pollfd out{m_out, POLLOUT, 0};
            ::poll(&out, 1, -1);
            if (!BrowserSocket::writeAvailable(m_out, frame))
                return;
        }
    }

    std::mutex m_mutex; // guards m_tabs
    std::mutex m_sending;
    int m_tabs;
    int m_windows;
    int m_in = -1;
    int m_out = -1;
    pid_t m_connector = -1;
    QByteArray m_buffer;
};

} // namespace ostrevane::bench
