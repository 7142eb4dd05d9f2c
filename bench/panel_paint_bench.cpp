// The cost of painting the switcher: one frame of the real SearchView with 11 and with
// 200 window rows, rendered into an offscreen image at the panel's normal size (354 x 620),
// with application icons and window thumbnails as on a real desktop. Also a showing's
// first frame: a fresh view model and view, then their first frame (without thumbnails,
// which arrive later from a background queue).

#include "../tests/ui/PanelTestKit.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

using namespace ostrevane;

namespace {

const QSize panelSize(354, 620);
constexpr int distinctApps = 7; // rows share their applications' icons, as on a desktop

ImageHandle picture(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)).adjusted(4, 4, -4, -4), 12, 12);
    return std::make_shared<const QImage>(image);
}

// Icons as the desktop hands them over (128 px, drawn at row size), window numbers for
// thumbnails.
std::vector<SwitchItem> windowRows(int count)
{
    std::vector<ImageHandle> icons;
    for (int i = 0; i < distinctApps; ++i)
        icons.push_back(picture(QSize(128, 128), QColor::fromHsv(i * 360 / distinctApps, 180, 220)));
    std::vector<SwitchItem> rows;
    for (int i = 0; i < count; ++i) {
        WindowItem window = panelkit::window(QStringLiteral("App%1").arg(i % distinctApps),
                                             QStringLiteral("Window %1 — a document with a longer title").arg(i));
        window.appIcon = icons[static_cast<std::size_t>(i % distinctApps)];
        window.cgWindowID = static_cast<quint32>(1000 + i);
        rows.emplace_back(std::move(window));
    }
    return rows;
}

void renderFrame(SearchView& view, QImage& frame)
{
    frame.fill(Qt::transparent);
    view.render(&frame);
    benchmark::DoNotOptimize(frame.constBits());
}

// A steady frame: the view as it stands once thumbnails have arrived.
void BM_PaintFrame(benchmark::State& state)
{
    panelkit::PanelFixture fixture;
    const ImageHandle thumbnail = picture(QSize(192, 120), QColor(90, 120, 160));
    fixture.thumbnails = [thumbnail](quint32) { return thumbnail; };
    SearchView& view = fixture.show(windowRows(static_cast<int>(state.range(0))), PanelEdge::right, panelSize);
    QImage frame(panelSize, QImage::Format_ARGB32_Premultiplied);
    renderFrame(view, frame); // asks for the visible rows' thumbnails
    fixture.runtime.runUntilIdle();
    for (auto _ : state)
        renderFrame(view, frame);
    state.counters["rows"] = static_cast<double>(view.rows().size());
}

// What a showing pays before its first frame on the view's side: model, view, frame.
void BM_NewViewFirstFrame(benchmark::State& state)
{
    panelkit::PanelFixture fixture;
    const std::vector<SwitchItem> rows = windowRows(static_cast<int>(state.range(0)));
    QImage frame(panelSize, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        SearchViewModel model(rows, false, fixture.runtime.actions, fixture.runtime.dispatcher());
        SearchView view(model, PanelEdge::right, fixture.environment());
        view.resize(panelSize);
        renderFrame(view, frame);
    }
}

} // namespace

BENCHMARK(BM_PaintFrame)->Arg(11)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewViewFirstFrame)->Arg(11)->Arg(200)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
