// MRUStore::score under contention: the list sort calls it twice per comparison, and
// the tab cache may touch the store from another thread meanwhile.

#include "core/model/MRUStore.h"
#include "core/preferences/UserDefaults.h"
#include "platform/sim/ManualClock.h"
#include "platform/sim/ManualDispatcher.h"
#include "platform/sim/SimAccessibility.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <vector>

using namespace ostrevane;

namespace {

constexpr int windowKeys = 500;
constexpr int appKeys = 200;

// A full store (500 window keys, 200 apps), built once and shared by every thread.
struct FullStore {
    QTemporaryDir dir;
    ManualClock clock;
    ManualDispatcher dispatcher{clock};
    UserDefaults defaults{dir.filePath(QStringLiteral("bench.plist"))};
    SimAccessibility accessibility;
    MRUStore store{clock, dispatcher, defaults, accessibility};
    std::vector<QString> windows;
    std::vector<QString> apps;

    FullStore()
    {
        for (int i = 0; i < appKeys; ++i) {
            apps.push_back(QStringLiteral("com.example.app%1").arg(i));
            store.touchApp(apps.back(), 0);
            clock.advance(0.001);
        }
        for (int i = 0; i < windowKeys; ++i) {
            windows.push_back(QStringLiteral("%1::Window title %2").arg(apps[i % appKeys]).arg(i));
            store.touch(windows.back());
            clock.advance(0.001);
        }
    }
};

FullStore& fullStore()
{
    static FullStore full;
    return full;
}

// Two scores per iteration, as one sort comparison makes.
void BM_ScoreComparison(benchmark::State& state)
{
    FullStore& full = fullStore();
    size_t i = static_cast<size_t>(state.thread_index()) * 97;
    for (auto _ : state) {
        const size_t a = i % windowKeys;
        const size_t b = (i * 7 + 13) % windowKeys;
        const WallTime left = full.store.score(full.windows[a], full.apps[a % appKeys]);
        const WallTime right = full.store.score(full.windows[b], full.apps[b % appKeys]);
        benchmark::DoNotOptimize(left < right);
        ++i;
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_ScoreComparison)->Threads(1)->Threads(2)->UseRealTime();

// Keys that were never used: both lookups miss.
void BM_ScoreMiss(benchmark::State& state)
{
    FullStore& full = fullStore();
    const QString key = QStringLiteral("com.example.never::Untitled");
    const QString app = QStringLiteral("com.example.never");
    for (auto _ : state)
        benchmark::DoNotOptimize(full.store.score(key, app));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScoreMiss)->Threads(1)->Threads(2)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
