#pragma once

#include "core/sources/NativeMessaging.h"
#include "core/shell/PlatformProfile.h"
#include "platform/browser/BrowserSocket.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <poll.h>
#include <thread>

namespace ostrevane::browsertest {

using namespace std::chrono_literals;

// A private folder for a socket, as the user's runtime folder is.
struct SocketFolder {
    QTemporaryDir dir;
    QString path() const { return dir.path() + QStringLiteral("/ostrevane-browser.sock"); }
};

inline const BrowserSpec& linuxBrowser(const char* id)
{
    static const PlatformProfile profile = PlatformProfile::linuxDesktop({QStringLiteral("org.gnome.Nautilus"), {}});
    return *profile.browser(QString::fromLatin1(id));
}

inline std::vector<BrowserSpec> linuxBrowsers()
{
    return PlatformProfile::linuxDesktop({QStringLiteral("org.gnome.Nautilus"), {}}).browsers;
}

// Reads whole frames from a descriptor, waiting at most `timeout` for each.
class FrameReader {
public:
    std::optional<QJsonObject> next(int fd, std::chrono::milliseconds timeout)
    {
        BrowserSocket::setNonBlocking(fd);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const NativeMessaging::Frame frame = readFrame();
            if (frame.status == NativeMessaging::Frame::Status::complete) {
                m_buffer.remove(0, frame.consumed);
                return frame.message;
            }
            if (frame.status != NativeMessaging::Frame::Status::incomplete)
                return std::nullopt;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
                return std::nullopt;
            if (BrowserSocket::readAvailable(fd, m_buffer) && readFrame().status == NativeMessaging::Frame::Status::incomplete) {
                m_closed = true;
                return std::nullopt;
            }
        }
    }
    bool closed() const { return m_closed; }

private:
    NativeMessaging::Frame readFrame() const { return NativeMessaging::readFrame(m_buffer, NativeMessaging::maxFromBrowser); }

    QByteArray m_buffer;
    bool m_closed = false;
};

// Stands where a connector and its extension would: connects to the program's socket,
// and answers its requests with `answer` on a thread of its own.
class FakeExtension {
public:
    using Answer = std::function<std::optional<QJsonObject>(const QJsonObject& request)>;

    explicit FakeExtension(const QString& socketPath)
    {
        m_fd = BrowserSocket::connectTo(socketPath, nullptr);
        if (m_fd.isValid())
            BrowserSocket::setNonBlocking(m_fd.get());
    }
    ~FakeExtension() { stop(); }

    bool isConnected() const { return m_fd.isValid(); }
    int fd() const { return m_fd.get(); }

    void sendRaw(QByteArray bytes)
    {
        while (!bytes.isEmpty()) {
            pollfd pfd{m_fd.get(), POLLOUT, 0};
            ::poll(&pfd, 1, 1000);
            if (!BrowserSocket::writeAvailable(m_fd.get(), bytes))
                return;
        }
    }
    void send(const QJsonObject& message) { sendRaw(NativeMessaging::frame(message, NativeMessaging::maxFromBrowser)); }

    // Answers requests until stopped; requests seen are counted.
    void answerWith(Answer answer)
    {
        m_thread = std::thread([this, answer = std::move(answer)] {
            FrameReader reader;
            while (!m_stop) {
                const std::optional<QJsonObject> request = reader.next(m_fd.get(), 20ms);
                if (reader.closed())
                    return;
                if (!request)
                    continue;
                ++m_requests;
                if (std::optional<QJsonObject> reply = answer(*request)) {
                    reply->insert(QStringLiteral("id"), request->value(QStringLiteral("id")));
                    send(*reply);
                }
            }
        });
    }
    int requests() const { return m_requests; }

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    void disconnect()
    {
        stop();
        m_fd.reset();
    }

private:
    UniqueFd m_fd;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
};

// A "tabs" answer from rows written as JSON arrays.
inline QJsonObject tabsAnswer(const QJsonArray& rows)
{
    return QJsonObject{{QStringLiteral("type"), QStringLiteral("tabs")}, {QStringLiteral("tabs"), rows}};
}

// A list of rows (`QJsonArray{QJsonArray{...}}` would copy the one inner array instead).
inline QJsonArray rowsOf(std::initializer_list<QJsonArray> rows)
{
    QJsonArray list;
    for (const QJsonArray& row : rows)
        list.append(row);
    return list;
}

// Polls `condition` until it holds or five seconds pass.
inline bool eventually(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(2ms);
    }
    return condition();
}

} // namespace ostrevane::browsertest
