// Window enumeration through the X11 backend on a private Xvfb + openbox session with
// 50 and 200 client windows, each owned by its own process (a tiny xcb client forked
// from here), as on a busy desktop. Also the window list and one capture.

#include "BenchClientWindows.h"
#include "../tests/x11/XvfbSession.h"

#include "core/shell/PlatformProfile.h"
#include "core/sources/WindowEnumerator.h"
#include "platform/sim/ManualClock.h"
#include "platform/sim/ManualDispatcher.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Clients.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowServer.h"
#include "platform/x11/X11Workspace.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <memory>

using namespace ostrevane;
using ostrevane::x11test::XvfbSession;

namespace {

constexpr double windowsTimeoutSeconds = 60.0;

// The session, its clients and the backend, grown to the window count asked for.
class BusyDesktop {
public:
    BusyDesktop() : m_dispatcher(m_clock) {}

    ~BusyDesktop()
    {
        m_windowServer.reset();
        m_accessibility.reset();
        m_workspace.reset();
        m_clients.reset();
        m_connection.reset();
    }

    bool grow(int windows)
    {
        if (!m_session.isReady())
            return false;
        // Clients are forked before the backend's event thread exists.
        m_workspace.reset();
        m_accessibility.reset();
        m_windowServer.reset();
        m_clients.reset();
        m_connection.reset();
        m_children.growTo(windows);
        return connect(windows);
    }

    X11Workspace& workspace() { return *m_workspace; }
    X11Accessibility& accessibility() { return *m_accessibility; }
    X11WindowServer& windowServer() { return *m_windowServer; }
    X11Clients& clients() { return *m_clients; }

private:
    bool connect(int windows)
    {
        m_connection = X11Connection::open(m_session.display());
        if (!m_connection)
            return false;
        m_clients = std::make_shared<X11Clients>(m_connection);
        const bool mapped = XvfbSession::waitUntil(
            [&] { return static_cast<int>(m_clients->stacking().size()) >= windows; }, windowsTimeoutSeconds);
        m_workspace = std::make_unique<X11Workspace>(m_clients, m_dispatcher, m_profile);
        m_accessibility = std::make_unique<X11Accessibility>(m_clients);
        m_windowServer = std::make_unique<X11WindowServer>(m_clients, m_dispatcher);
        return mapped;
    }

    XvfbSession m_session;
    bench::ClientProcesses m_children{m_session.display()};
    ManualClock m_clock;
    ManualDispatcher m_dispatcher;
    const PlatformProfile m_profile = PlatformProfile::linuxDesktop(PlatformProfile::readLinuxFacts());
    std::shared_ptr<X11Connection> m_connection;
    std::shared_ptr<X11Clients> m_clients;
    std::unique_ptr<X11Workspace> m_workspace;
    std::unique_ptr<X11Accessibility> m_accessibility;
    std::unique_ptr<X11WindowServer> m_windowServer;
};

BusyDesktop& desktop(int windows, benchmark::State& state)
{
    static BusyDesktop busy;
    if (!busy.grow(windows))
        state.SkipWithError("the X session or its clients did not start");
    return busy;
}

void BM_Enumerate(benchmark::State& state)
{
    BusyDesktop& busy = desktop(static_cast<int>(state.range(0)), state);
    for (auto _ : state) {
        const std::vector<WindowItem> items = WindowEnumerator::enumerate(busy.workspace(), busy.accessibility());
        if (static_cast<qint64>(items.size()) != state.range(0))
            state.SkipWithError("not every window was listed");
        benchmark::DoNotOptimize(items.data());
    }
}

void BM_WindowList(benchmark::State& state)
{
    BusyDesktop& busy = desktop(static_cast<int>(state.range(0)), state);
    for (auto _ : state)
        benchmark::DoNotOptimize(busy.windowServer().windowList().size());
}

void BM_CaptureOneWindow(benchmark::State& state)
{
    BusyDesktop& busy = desktop(static_cast<int>(state.range(0)), state);
    const xcb_window_t window = busy.clients().stacking().front().window;
    for (auto _ : state) {
        const ImageHandle image = busy.windowServer().captureWindow(window);
        if (!image)
            state.SkipWithError("no capture");
        benchmark::DoNotOptimize(image.get());
    }
}

} // namespace

BENCHMARK(BM_Enumerate)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowList)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureOneWindow)->Arg(200)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
