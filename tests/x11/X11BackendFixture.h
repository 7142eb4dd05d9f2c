#pragma once

#include "XvfbSession.h"

#include "core/shell/PlatformProfile.h"
#include "platform/sim/ManualClock.h"
#include "platform/sim/ThreadedDispatcher.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Clients.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowServer.h"
#include "platform/x11/X11Workspace.h"

#include <gtest/gtest.h>

#include <QFile>

#include <memory>

namespace ostrevane::x11test {

// The real backend on a private X session shared by the tests of one program, with an
// applications folder of its own: "xterm.desktop" (found by its desktop id) and
// "org.example.Clock.desktop" (found by StartupWMClass). Clients a test starts are
// ended after it, then the backend; the session goes last.
class X11BackendTest : public ::testing::Test {
protected:
    // A window appears well within this even on a loaded machine; only a hung test waits longer.
    static constexpr double windowTimeout = 30.0;

    static void SetUpTestSuite() { s_session = new XvfbSession(); }
    static void TearDownTestSuite()
    {
        delete s_session;
        s_session = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_session && s_session->isReady()) << s_session->failure().toStdString();
        writeEntry(QStringLiteral("xterm.desktop"), QStringLiteral("Name=Test Terminal\nExec=xterm\n"));
        writeEntry(QStringLiteral("org.example.Clock.desktop"),
                   QStringLiteral("Name=Test Clock\nExec=xclock -title Launched\nStartupWMClass=XClock\n"));
        connection = X11Connection::open(s_session->display());
        ASSERT_TRUE(connection);
        connection->setConnectionLostHandler([] {}); // the session may end before a stray event
        clients = std::make_shared<X11Clients>(connection);
        profile = PlatformProfile::linuxDesktop({QStringLiteral("org.example.Files"), {m_apps.path()}});
        dispatcher = std::make_unique<ThreadedDispatcher>(clock);
        workspace = std::make_unique<X11Workspace>(clients, *dispatcher, profile);
        accessibility = std::make_unique<X11Accessibility>(clients);
        windowServer = std::make_unique<X11WindowServer>(clients, *dispatcher);
    }

    void TearDown() override
    {
        for (const pid_t pid : m_started)
            s_session->stop(pid);
        windowServer.reset();
        accessibility.reset();
        workspace.reset();
        dispatcher.reset();
        clients.reset();
        connection.reset();
    }

    QString entryPath(const QString& fileName) const { return m_apps.filePath(fileName); }

    void writeEntry(const QString& fileName, const QString& keys)
    {
        QFile file(entryPath(fileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("[Desktop Entry]\nType=Application\n" + keys).toUtf8());
    }

    // Starts a client and waits for its window; the window, or XCB_NONE on time-out.
    xcb_window_t startClient(const QStringList& arguments, pid_t* started = nullptr)
    {
        const pid_t pid = s_session->start(arguments);
        if (pid < 0)
            return XCB_NONE;
        m_started.push_back(pid);
        if (started)
            *started = pid;
        xcb_window_t window = XCB_NONE;
        const bool appeared = XvfbSession::waitUntil(
            [&] {
                const std::vector<xcb_window_t> windows = clients->taskbarWindows(pid);
                window = windows.empty() ? XCB_NONE : windows.front();
                return window != XCB_NONE && isViewable(window);
            },
            windowTimeout);
        if (!appeared)
            ADD_FAILURE() << arguments.join(QLatin1Char(' ')).toStdString() << " showed no window on "
                          << s_session->display().constData() << (s_session->hasExited(pid) ? " (it exited)" : "")
                          << "; session output: " << s_session->readLog().constData();
        return appeared ? window : XCB_NONE;
    }

    xcb_window_t startXterm(const QString& title, pid_t* pid = nullptr)
    {
        return startClient({QStringLiteral("xterm"), QStringLiteral("-T"), title}, pid);
    }

    xcb_window_t startXclock(const QString& title, const QString& geometry, pid_t* pid = nullptr)
    {
        return startClient({QStringLiteral("xclock"), QStringLiteral("-title"), title, QStringLiteral("-geometry"),
                            geometry},
                           pid);
    }

    bool waitUntil(const std::function<bool()>& condition) { return XvfbSession::waitUntil(condition, windowTimeout); }

    // Managed windows are listed a moment before the manager maps them.
    bool isViewable(xcb_window_t window)
    {
        auto attributes = connection->reply(xcb_get_window_attributes_reply,
                                            xcb_get_window_attributes(connection->xcb(), window));
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    bool isActive(xcb_window_t window) { return clients->activeWindow() == window; }
    bool isHidden(xcb_window_t window) { return clients->state(window).hidden; }

    static inline XvfbSession* s_session = nullptr;
    ManualClock clock;
    std::shared_ptr<X11Connection> connection;
    std::shared_ptr<X11Clients> clients;
    PlatformProfile profile;
    std::unique_ptr<ThreadedDispatcher> dispatcher;
    std::unique_ptr<X11Workspace> workspace;
    std::unique_ptr<X11Accessibility> accessibility;
    std::unique_ptr<X11WindowServer> windowServer;

private:
    QTemporaryDir m_apps;
    std::vector<pid_t> m_started;
};

} // namespace ostrevane::x11test
