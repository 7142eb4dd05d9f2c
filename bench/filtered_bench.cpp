// How long a keystroke's re-filter of a large switcher list takes: `filtered` right after a
// query assignment over 5,000 rows of windows, tabs, groups and applications.
//
//   ./build/bench/filtered_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true

#include "core/model/SearchViewModel.h"
#include "platform/sim/IdleSwitchItemActions.h"
#include "platform/sim/ManualDispatcher.h"

#include <benchmark/benchmark.h>

#include <QStringList>

#include <random>

using namespace ostrevane;

namespace {

constexpr int rowCount = 5000;

// Every application counts as running, like a busy desktop.

const QStringList appNames = {"Visual Studio Code", "Terminal", "Mail", "Slack", "Finder", "Preview",
                              "Xcode", "Notes", "Calendar", "Spotify", "Zoom", "Microsoft Word",
                              "Adobe Photoshop 2024", "Safari", "iTerm2", "Messages", "Système", "微信"};
const QStringList words = {"main.cpp", "README.md", "Inbox", "Project Plan Q3", "design review", "Résumé",
                           "Budget 2026.xlsx", "invoice-0042.pdf", "meeting notes", "release checklist",
                           "東京 出張", "Straße", "🚀 launch", "SearchViewModel.h", "pull request #1234",
                           "Untitled", "Downloads", "Screenshot 2026-01-05 at 10.42.13", "bug triage", "ÉTÉ"};
const QStringList hosts = {"github.com", "www.google.com", "docs.qt.io", "en.wikipedia.org", "news.ycombinator.com",
                           "www.youtube.com", "mail.example.org", "stackoverflow.com", "developer.apple.com",
                           "www.bbc.co.uk"};
const QStringList schemes = {"https://", "https://www.", "http://", "chrome://", "about:", "file:///"};

QString pick(const QStringList& list, std::mt19937& random)
{
    return list[static_cast<qsizetype>(random() % static_cast<unsigned>(list.size()))];
}

QString phrase(std::mt19937& random, int wordCount)
{
    QStringList parts;
    for (int i = 0; i < wordCount; ++i)
        parts << pick(words, random);
    return parts.join(u' ');
}

WindowItem makeWindow(std::mt19937& random)
{
    WindowItem w;
    w.id = QUuid::createUuid();
    w.appName = pick(appNames, random);
    w.appBundleID = QStringLiteral("com.example.") + w.appName.toLower().remove(u' ');
    w.title = phrase(random, 1 + static_cast<int>(random() % 3)) + QStringLiteral(" — ") + w.appName;
    return w;
}

TabItem makeTab(std::mt19937& random)
{
    TabItem t;
    t.id = QUuid::createUuid();
    t.browserBundleID = QStringLiteral("com.google.Chrome");
    t.browserAppName = QStringLiteral("Google Chrome");
    t.title = phrase(random, 2 + static_cast<int>(random() % 4));
    t.url = pick(schemes, random) + pick(hosts, random) + QStringLiteral("/") +
            phrase(random, 2).toLower().replace(u' ', u'/') + QStringLiteral("?id=") + QString::number(random() % 100000);
    return t;
}

std::vector<SwitchItem> makeRows()
{
    std::mt19937 random(20260101);
    std::vector<SwitchItem> rows;
    rows.reserve(rowCount);
    while (rows.size() < rowCount) {
        const unsigned kind = random() % 20;
        if (kind < 7) {
            rows.emplace_back(makeWindow(random));
        } else if (kind < 18) {
            rows.emplace_back(makeTab(random));
        } else {
            const QString name = pick(appNames, random);
            rows.emplace_back(AppItem{QUuid::createUuid(), QStringLiteral("org.example.") + name.toLower().remove(u' '),
                                      name, nullptr, QStringLiteral("/Applications/") + name + QStringLiteral(".app")});
        }
    }
    return rows;
}

const std::vector<SwitchItem>& rows()
{
    static const std::vector<SwitchItem> built = makeRows();
    return built;
}

struct Runtime {
    ManualClock clock;
    ManualDispatcher dispatcher{clock};
    IdleSwitchItemActions actions;
};

// One keystroke: assign the query, read the list the view draws.
void filterAfterQuery(benchmark::State& state, const char* query)
{
    Runtime runtime;
    SearchViewModel model(rows(), false, runtime.actions, runtime.dispatcher);
    model.setQuery(QString::fromUtf8(query));
    model.filtered(); // the match texts are prepared once per list
    size_t matches = 0;
    for (auto _ : state) {
        model.setQuery(QString::fromUtf8(query));
        matches = model.filtered().size();
        benchmark::DoNotOptimize(matches);
    }
    state.counters["matches"] = static_cast<double>(matches);
}

// The one-time cost a list pays at its first search: preparing every row's match texts.
void prepareAndFirstSearch(benchmark::State& state)
{
    Runtime runtime;
    for (auto _ : state) {
        SearchViewModel model(rows(), false, runtime.actions, runtime.dispatcher);
        model.setQuery(QStringLiteral("e"));
        benchmark::DoNotOptimize(model.filtered().size());
    }
}

// Preparing a list alone, as the panel does when idle after showing.
void prepareSearchOnly(benchmark::State& state)
{
    Runtime runtime;
    for (auto _ : state) {
        state.PauseTiming();
        auto model = std::make_unique<SearchViewModel>(rows(), false, runtime.actions, runtime.dispatcher);
        state.ResumeTiming();
        model->prepareSearch();
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK_CAPTURE(filterAfterQuery, oneCharacter, "e")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(filterAfterQuery, threeCharacters, "Doc")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(filterAfterQuery, eightCharacters, "releasec")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(filterAfterQuery, emptyQuery, "")->Unit(benchmark::kMicrosecond);
BENCHMARK(prepareSearchOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(prepareAndFirstSearch)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
