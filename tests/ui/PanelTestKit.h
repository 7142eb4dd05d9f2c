#pragma once

#include "core/model/SearchViewModel.h"
#include "support/Fixtures.h"
#include "support/TestRuntime.h"
#include "ui/SearchView.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTest>

#include <memory>
#include <vector>

namespace ostrevane::panelkit {

// A switcher view over a test runtime: the model, the view at the panel's normal size,
// and whether pictures load.
struct PanelFixture {
    TestRuntime runtime;
    std::function<ImageHandle(quint32)> thumbnails = [](quint32) { return ImageHandle(); };
    std::unique_ptr<SearchViewModel> viewModel;
    std::unique_ptr<SearchView> view;
    std::vector<SwitchItem> selected;
    std::vector<SwitchItem> closed;

    SearchView::Environment environment()
    {
        SearchView::Environment env = SearchView::Environment::fromRuntime();
        env.runningBrowserNames = [] { return QStringList(); };
        env.images.thumbnail = thumbnails;
        env.images.favicon = {};
        return env;
    }

    // Shows `items` with the view model's callbacks recording selections and closes.
    SearchView& show(std::vector<SwitchItem> items, PanelEdge edge = PanelEdge::right, QSize size = QSize(354, 620),
                     bool withCloseCallback = true)
    {
        viewModel = std::make_unique<SearchViewModel>(std::move(items), false, runtime.actions, runtime.dispatcher());
        viewModel->onSelect = [this](const SwitchItem& item) { selected.push_back(item); };
        if (withCloseCallback)
            viewModel->onClose = [this](const SwitchItem& item) { closed.push_back(item); };
        view = std::make_unique<SearchView>(*viewModel, edge, environment());
        view->resize(size);
        view->show();
        view->activateWindow();
        QCoreApplication::processEvents(); // the offscreen platform activates through its event queue
        view->finishAnimations();
        return *view;
    }

    void click(QPointF point) { QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, point.toPoint()); }
    void hover(QPointF point) { QTest::mouseMove(view.get(), point.toPoint()); }
};

inline WindowItem window(const QString& app, const QString& title)
{
    return fixtures::window(app, QStringLiteral("com.example.") + app.toLower(), title);
}

inline std::vector<SwitchItem> windows(int count)
{
    std::vector<SwitchItem> items;
    for (int i = 0; i < count; ++i)
        items.emplace_back(window(QStringLiteral("App%1").arg(i), QStringLiteral("Window %1").arg(i)));
    return items;
}

} // namespace ostrevane::panelkit
