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
// translucent, and able to take the keyboard (Tab included). Where the desktop does not
// composite windows (told by a WindowCompositing, followed while it changes), nothing of
// it can be see-through: it is cut to the panel's outline instead and drawn without the
// shadow, so it keeps its shape rather than showing a black rectangle. It hosts one SearchView and
// animates its geometry and opacity when sliding in and out. One window serves every
// showing: making and mapping a new one cost more than the rest of a showing together,
// so after sliding out it is only put away, and the next showing presents its list in it.
class KeyablePanel : public QWidget {
    Q_OBJECT

public:
    static constexpr double slideInSeconds = 0.14;
    static constexpr double slideOutSeconds = 0.2;
    // Extra distance beyond the panel's width that sliding out travels.
    static constexpr double slideOutOvershoot = 16;
    // Set on the panel's native window, so input monitors can tell panel clicks apart.
    static constexpr const char* panelWindowProperty = "ostrevanePanelWindow";
    // When the keyboard is held by another program: how often and how long to try again
    // before asking for the focus instead.
    static constexpr int keyboardRetryMs = 10;
    static constexpr int keyboardAttempts = 20;
    // Where an unmanaged panel waits between showings: beyond any screen.
    static constexpr QPoint offScreen{-32000, -32000};

    // How the panel gets the keys.
    enum class KeyboardFocus {
        // The window manager activates it like any other window.
        windowManager,
        // It bypasses the window manager and grabs the keyboard while it is up. On X11 a
        // managed window is mapped and focused only after the window manager has dealt
        // with it (15-20 ms with openbox); an unmanaged one is on screen in 1-2 ms. The
        // application the user came from keeps the focus meanwhile, so a cancelled
        // showing has no focus to hand back, and the window manager's own Alt bindings
        // (openbox lowers a window on Alt+Escape) never see the panel's keys.
        keyboardGrab,
    };

    // `compositing` may be null (always translucent); it must outlive the panel.
    KeyablePanel(SearchViewModel& viewModel, PanelEdge edge, QSizeF size, SearchView::Environment environment,
                 KeyboardFocus focus = KeyboardFocus::windowManager, WindowCompositing* compositing = nullptr);
    ~KeyablePanel() override;

    SearchView* view() const { return m_view; }
    PanelEdge edge() const { return m_edge; }
    PanelFontSize fontSize() const { return m_fontSize; }

    // Takes the window for a new showing of `viewModel`; a slide-out still running ends at
    // once (its completion runs). Returns the new showing's number.
    quint64 present(SearchViewModel& viewModel, PanelEdge edge, QSizeF size);
    // Takes the window's content, edge and size for a later showing while no showing is up
    // (it stays off screen); false while one is.
    bool rehearse(SearchViewModel& viewModel, PanelEdge edge, QSizeF size);
    // The showing the window serves now (numbers start at 1 with construction).
    quint64 showing() const { return m_showing; }

    // The port's operations (see PanelWindow).
    void slideIn(const QRectF& start, const QRectF& final, std::function<void()> completion);
    void slideOut(std::function<void()> completion);
    bool isSlidingOut() const { return m_slidingOut; }
    // Hides at once, without sliding.
    void dismiss();
    // Takes the window off the screen until the next showing.
    void putAway();
    // Lets go of the keyboard for the rest of this showing.
    void yieldKeyboard();

    // Whether `window` is a switcher panel's native window.
    static bool isPanelWindow(const QWindow* window);

protected:
    bool focusNextPrevChild(bool next) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QParallelAnimationGroup* animateTo(const QRect& geometry, double opacity, double seconds, bool easeOut);
    void stopAnimation();
    void finishSlideOut();
    void takeKeyboard(int attempt);
    void releaseKeyboard();
    void compositingChanged(bool compositing);
    void cutToOutline(const QPainterPath& outline);

    PanelEdge m_edge;
    PanelFontSize m_fontSize;
    KeyboardFocus m_focus;
    SearchView* m_view;
    WindowCompositing* m_compositing;
    WindowCompositing::Token m_compositingToken = 0;
    QPointer<QParallelAnimationGroup> m_animation;
    std::function<void()> m_slideOutCompletion;
    quint64 m_showing = 1;
    bool m_slidingOut = false;
    bool m_onScreen = false; // from sliding in until sliding out or dismissal
    bool m_exposed = false;
    bool m_keyboardGrabbed = false;
    bool m_keyboardYielded = false;
    bool m_askedForFocus = false;
    bool m_awaitingExposure = false;
};

// Hands out the one panel window, rebuilding it only when the font size changed (the
// view's fonts and metrics follow from it).
class KeyablePanelFactory : public PanelWindowFactory {
public:
    using EnvironmentProvider = std::function<SearchView::Environment()>;

    // Without a provider, the panel reads the runtime current when it is made.
    // `compositing` (may be null) must outlive the factory.
    explicit KeyablePanelFactory(KeyablePanel::KeyboardFocus focus = KeyablePanel::KeyboardFocus::windowManager,
                                 EnvironmentProvider environment = {}, WindowCompositing* compositing = nullptr);
    ~KeyablePanelFactory() override;

    std::unique_ptr<PanelWindow> makePanel(SearchViewModel& viewModel, PanelEdge edge, QSizeF size) override;
    // Makes the window if needed, sizes it and draws the view over `viewModel` off screen
    // once, so that what a showing would load on the hotkey's path (the window and its
    // buffers, fonts and their glyphs, icons) is loaded before it.
    void rehearse(SearchViewModel& viewModel, PanelEdge edge, QSizeF size) override;

    // A rehearsal with one row, at start-up, before the desktop's list is known.
    void warmUp();

    // The window, once made (for tests and tools).
    KeyablePanel* panel() const { return m_panel; }

private:
    SearchView::Environment environment() const;

    KeyablePanel::KeyboardFocus m_focus;
    EnvironmentProvider m_environment;
    WindowCompositing* m_compositing;
    QPointer<KeyablePanel> m_panel;
};

} // namespace ostrevane
