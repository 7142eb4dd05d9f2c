// Browser tabs on Linux, end to end through the real pieces: the tab cache asks the
// browser automation port, which sends the request over the browser socket to the real
// ostrevane-connector process, which hands it to the extension (played by this program on
// the connector's standard input and output, answering like the extension), and the
// answer travels back and becomes the cache's rows. 500 tabs in 20 windows by default.
//
// - ListTabs: a background refresh of the browser, from the request to the rows stored.
// - ForegroundRefresh: the synchronous refresh the panel makes while it opens (capped at
//   BrowserTabCache::foregroundTimeoutSeconds).
// - ChangeVisible: from the extension's "changed" notice (a tab was opened) to the cache
//   holding the new tab, so that the next showing lists it. The extension itself waits
//   up to 15 ms to gather a burst of events into one notice (background.js).

#include "BenchExtension.h"

#include "core/sources/BrowserTabCache.h"
#include "core/model/MRUStore.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/preferences/UserDefaults.h"
#include "platform/browser/ExtensionBrowserAutomation.h"
#include "platform/sim/IdleSwitchItemActions.h"
#include "platform/sim/ManualClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/ThreadedDispatcher.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include <sys/wait.h>

using namespace ostrevane;

namespace {

constexpr int windowCount = 20;
constexpr double waitSeconds = 10.0; // a safety net, never a measure
const QString chromium = QStringLiteral("chromium");

// The program's side (cache, automation, socket) and the browser's (connector, extension).
class Rig {
public:
    explicit Rig(int tabs) : m_extension(tabs, windowCount)
    {
        ::setenv("XDG_RUNTIME_DIR", qPrintable(m_dir.path()), 1); // where the connector looks
        ExtensionBrowserAutomation::Options options;
        options.socketPath = *BrowserSocket::defaultPath();
        options.browsers = m_profile.browsers;
        options.identify = [](pid_t) { return BrowserProcess{::getpid(), chromium}; };
        options.onTabsChanged = [this](const QString& id) {
            m_dispatcher.async([this, id] { m_cache->refreshAfterChange(id); });
        };
        m_automation = std::make_unique<ExtensionBrowserAutomation>(options);
        m_ready = m_automation->start() && m_extension.start(OSTREVANE_CONNECTOR);
        installContext();
        m_browser = m_sim.launch(chromium, QStringLiteral("Chromium"));
        m_answering = std::thread([this] { answer(); });
        m_ready = m_ready && m_dispatcher.runMainUntil([this] { return !m_automation->connectedBrowsers().empty(); },
                                                       waitSeconds);
    }
    ~Rig()
    {
        m_stop = true;
        ::kill(m_extension.connector(), SIGTERM);
        m_answering.join();
        ::waitpid(m_extension.connector(), nullptr, 0);
        m_dispatcher.waitUntilIdle(waitSeconds);
        m_cache.reset();
        m_automation.reset();
        RuntimeContext::install(nullptr);
    }

    bool isReady() const { return m_ready; }
    void bringBrowserForward() { m_sim.workspace.setFrontmost(m_browser); }
    BrowserTabCache& cache() { return *m_cache; }
    bench::BenchExtension& extension() { return m_extension; }

    // Runs the main queue until the cache holds `count` tabs.
    bool waitForTabs(size_t count)
    {
        return m_dispatcher.runMainUntil([&] { return m_cache->tabs().size() == count; }, waitSeconds);
    }
    bool refreshAndWait()
    {
        std::atomic<bool> done{false};
        m_cache->refreshAsync(chromium, [&] { done = true; });
        return m_dispatcher.runMainUntil([&] { return done.load(); }, waitSeconds);
    }

private:
    void installContext()
    {
        RuntimeContext::Ports ports;
        ports.dispatcher = &m_dispatcher;
        ports.clock = &m_clock;
        ports.defaults = &m_defaults;
        ports.profile = &m_profile;
        ports.accessibility = &m_sim.accessibility;
        ports.workspace = &m_sim.workspace;
        ports.windowServer = &m_sim.windowServer;
        ports.actions = &m_actions;
        ports.browserAutomation = m_automation.get();
        m_context = std::make_unique<RuntimeContext>(ports);
        RuntimeContext::install(m_context.get());
        m_cache = std::make_shared<BrowserTabCache>(m_dispatcher, m_clock, m_sim.workspace, MRUStore::shared());
    }

    void answer()
    {
        while (!m_stop) {
            pollfd in{m_extension.input(), POLLIN, 0};
            if (::poll(&in, 1, 50) > 0 && !m_extension.answer())
                return;
        }
    }

    QTemporaryDir m_dir;
    ManualClock m_clock;
    ThreadedDispatcher m_dispatcher{m_clock};
    SimDesktop m_sim{m_dispatcher};
    IdleSwitchItemActions m_actions;
    UserDefaults m_defaults{m_dir.filePath(QStringLiteral("bench.plist"))};
    PlatformProfile m_profile = PlatformProfile::linuxDesktop({QStringLiteral("org.gnome.Nautilus"), {}});
    bench::BenchExtension m_extension;
    std::unique_ptr<ExtensionBrowserAutomation> m_automation;
    std::unique_ptr<RuntimeContext> m_context;
    std::shared_ptr<BrowserTabCache> m_cache;
    std::thread m_answering;
    std::atomic<bool> m_stop{false};
    ProcessID m_browser = 0;
    bool m_ready = false;
};

void ListTabs(benchmark::State& state)
{
    Rig rig(static_cast<int>(state.range(0)));
    if (!rig.isReady())
        return state.SkipWithError("the connector did not connect");
    for (auto _ : state)
        if (!rig.refreshAndWait() || rig.cache().tabs().size() != static_cast<size_t>(state.range(0)))
            return state.SkipWithError("the refresh did not store the tabs");
}
BENCHMARK(ListTabs)->Arg(500)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void ForegroundRefresh(benchmark::State& state)
{
    Rig rig(static_cast<int>(state.range(0)));
    if (!rig.isReady())
        return state.SkipWithError("the connector did not connect");
    rig.bringBrowserForward(); // the foreground refresh is for the frontmost browser only
    for (auto _ : state)
        rig.cache().refreshForegroundBrowserNow();
    if (rig.cache().tabs().size() != static_cast<size_t>(state.range(0)))
        state.SkipWithError("the foreground refresh stored nothing (time-out?)");
}
BENCHMARK(ForegroundRefresh)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void ChangeVisible(benchmark::State& state)
{
    Rig rig(static_cast<int>(state.range(0)));
    if (!rig.isReady() || !rig.waitForTabs(static_cast<size_t>(state.range(0))))
        return state.SkipWithError("the connector did not connect");
    size_t count = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        const auto sent = std::chrono::steady_clock::now();
        rig.extension().addTab();
        if (!rig.waitForTabs(++count))
            return state.SkipWithError("the new tab never reached the cache");
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count());
    }
}
BENCHMARK(ChangeVisible)->Arg(500)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(100);

} // namespace

BENCHMARK_MAIN();
