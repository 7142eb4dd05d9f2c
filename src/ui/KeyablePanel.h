#pragma once

#include "core/platform/PanelPorts.h"
#include "ui/SearchView.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QParallelAnimationGroup;
class QWindow;

namespace ostrevane {

// The switcher's floating window: frameless, above normal windows, out of task bars,
// translucent, and able to take keyboard focus (Tab included). It hosts one SearchView
// and animates its geometry and opacity when sliding in and out. A fresh one is made for
// every showing; after sliding out it hides and deletes itself.
class KeyablePanel : public QWidget {
    Q_OBJECT

public:
    static constexpr double slideInSeconds = 0.14;
    static constexpr double slideOutSeconds = 0.2;
    // Extra distance beyond the panel's width that sliding out travels.
    static constexpr double slideOutOvershoot = 16;
    // Set on each panel's native window, so input monitors can tell panel clicks apart.
    static constexpr const char* panelWindowProperty = "ostrevanePanelWindow";

    KeyablePanel(SearchViewModel& viewModel, PanelEdge edge, QSizeF size, SearchView::Environment environment);
    ~KeyablePanel() override;

    SearchView* view() const { return m_view; }
    PanelEdge edge() const { return m_edge; }

    // The port's operations (see PanelWindow).
    void slideIn(const QRectF& start, const QRectF& final, std::function<void()> completion);
    void slideOut(std::function<void()> completion);
    bool isSlidingOut() const { return m_slidingOut; }

    // Whether `window` is a switcher panel's native window.
    static bool isPanelWindow(const QWindow* window);

protected:
    bool focusNextPrevChild(bool next) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void animateTo(const QRect& geometry, double opacity, double seconds, bool easeOut, std::function<void()> done);

    PanelEdge m_edge;
    SearchView* m_view;
    QPointer<QParallelAnimationGroup> m_animation;
    bool m_slidingOut = false;
    bool m_exposed = false;
};

// Makes the panels the controller shows. `platformHints`, when set, is applied to each
// panel's native window once it exists: the X11 backend marks it sticky on every desktop
// and out of task bars and pagers (_NET_WM_STATE_STICKY, _NET_WM_STATE_SKIP_TASKBAR,
// _NET_WM_STATE_SKIP_PAGER, _NET_WM_DESKTOP 0xFFFFFFFF), which Qt cannot express.
class KeyablePanelFactory : public PanelWindowFactory {
public:
    using PlatformHints = std::function<void(QWindow*)>;
    using EnvironmentProvider = std::function<SearchView::Environment()>;

    // Without a provider, each panel reads the runtime current when it is made.
    explicit KeyablePanelFactory(PlatformHints platformHints = {}, EnvironmentProvider environment = {});

    std::unique_ptr<PanelWindow> makePanel(SearchViewModel& viewModel, PanelEdge edge, QSizeF size) override;

    // Draws a throwaway view off screen once, so that what the first showing would load on
    // the hotkey's path (fonts and their glyphs, the symbol icons) is loaded at start-up.
    void warmUp();

private:
    SearchView::Environment environment() const;

    PlatformHints m_platformHints;
    EnvironmentProvider m_environment;
};

} // namespace ostrevane
