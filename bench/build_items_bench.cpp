// SwitcherPanelController::buildItems on a busy desktop: it runs on the main thread while
// the panel is being shown, so it must stay well under a frame. The base load is 300
// windows, 1,000 tabs in 8 browsers, 400 installed and 60 running applications and a
// full recency store; the argument multiplies every count (1 and 10).

#include "core/model/MRUStore.h"
#include "core/model/PanelSettings.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/panel/SwitcherPanelController.h"
#include "core/preferences/UserDefaults.h"
#include "platform/sim/ManualClock.h"
#include "platform/sim/ManualDispatcher.h"
#include "platform/sim/IdleSwitchItemActions.h"
#include "platform/sim/SimDesktop.h"

#include <QTemporaryDir>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace ostrevane;

namespace {

constexpr int baseWindows = 300;
constexpr int baseTabs = 1000;
constexpr int baseInstalled = 400;
constexpr int baseRunning = 60;
constexpr int finderWindowsPerHundred = 5;

QString appID(int i) { return QStringLiteral("com.example.app%1").arg(i); }
QString appName(int i) { return QStringLiteral("App %1").arg(i); }

// A runtime with the simulated desktop and the snapshots the list is built from.
struct Desktop {
    QTemporaryDir dir;
    ManualClock clock;
    ManualDispatcher dispatcher{clock};
    SimDesktop sim{dispatcher};
    IdleSwitchItemActions actions;
    UserDefaults defaults{dir.filePath(QStringLiteral("bench.plist"))};
    std::unique_ptr<RuntimeContext> context;
    std::unique_ptr<MRUStore> recency;
    std::vector<WindowItem> windows;
    std::vector<TabItem> tabs;
    std::vector<AppItem> installed;

    explicit Desktop(int scale)
    {
        RuntimeContext::Ports ports;
        ports.dispatcher = &dispatcher;
        ports.clock = &clock;
        ports.defaults = &defaults;
        ports.profile = &PlatformProfile::macOS();
        ports.accessibility = &sim.accessibility;
        ports.workspace = &sim.workspace;
        ports.actions = &actions;
        context = std::make_unique<RuntimeContext>(ports);
        RuntimeContext::install(context.get());
        PanelSettings::setShowAppsWithoutWindows(true);
        recency = std::make_unique<MRUStore>(clock, dispatcher, defaults, sim.accessibility);

        sim.launch(QStringLiteral("com.apple.finder"), QStringLiteral("Finder"));
        for (int i = 0; i < baseRunning * scale; ++i)
            sim.launch(appID(i), appName(i));
        for (int i = 0; i < baseInstalled * scale; ++i)
            installed.push_back({QUuid::createUuid(), appID(i), appName(i), nullptr,
                                 QStringLiteral("/Applications/") + appName(i) + QStringLiteral(".app")});
        addWindows(baseWindows * scale, baseRunning * scale * 2 / 3);
        addTabs(baseTabs * scale);
        fillRecency();
    }
    ~Desktop() { RuntimeContext::install(nullptr); }

    // Windows spread over the first `owners` running applications, a few of them Finder's.
    void addWindows(int count, int owners)
    {
        for (int i = 0; i < count; ++i) {
            WindowItem w;
            w.id = QUuid::createUuid();
            const bool finder = i % 100 < finderWindowsPerHundred;
            w.appBundleID = finder ? QStringLiteral("com.apple.finder") : appID(i % owners);
            w.appName = finder ? QStringLiteral("Finder") : appName(i % owners);
            w.title = QStringLiteral("Document %1").arg(i);
            windows.push_back(std::move(w));
        }
    }

    void addTabs(int count)
    {
        const auto& browsers = PlatformProfile::macOS().browsers;
        for (int i = 0; i < count; ++i) {
            const BrowserSpec& browser = browsers[static_cast<size_t>(i) % browsers.size()];
            TabItem t;
            t.id = QUuid::createUuid();
            t.browserBundleID = browser.bundleID;
            t.browserAppName = browser.name;
            t.title = QStringLiteral("Page %1").arg(i);
            t.url = QStringLiteral("https://site%1.example/page").arg(i);
            t.windowIndex = 1 + i / 50;
            t.tabIndex = 1 + i % 50;
            tabs.push_back(std::move(t));
        }
    }

    // The store at its caps, half of it naming rows that are listed.
    void fillRecency()
    {
        for (int i = 0; i < MRUStore::appLimit; ++i) {
            clock.advance(0.001);
            recency->touchApp(appID(i * 2), 0);
        }
        for (size_t i = 0; i < MRUStore::windowLimit; ++i) {
            clock.advance(0.001);
            const WindowItem& w = windows[i % windows.size()];
            recency->touch(i % 2 ? windowMRUKey(w.appBundleID, w.appName, w.title) : tabMRUKey(tabs[i % tabs.size()]));
        }
    }

    SwitcherPanelController controller()
    {
        return SwitcherPanelController(SwitcherPanelController::Sources{
            [this] { return windows; },
            [this] { return tabs; },
            [this] { return installed; },
            *recency,
            sim.workspace,
            clock,
            PlatformProfile::macOS(),
        });
    }
};

void BM_BuildItems(benchmark::State& state)
{
    Desktop desktop(static_cast<int>(state.range(0)));
    SwitcherPanelController controller = desktop.controller();
    size_t rows = 0;
    for (auto _ : state) {
        std::vector<SwitchItem> items = controller.buildItems();
        rows = items.size();
        benchmark::DoNotOptimize(items.data());
    }
    state.counters["rows"] = static_cast<double>(rows);
}

BENCHMARK(BM_BuildItems)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
