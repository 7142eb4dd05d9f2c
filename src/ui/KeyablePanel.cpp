#include "ui/KeyablePanel.h"

#include "core/shell/TimingTrace.h"
#include "ui/PanelWaveShape.h"

#include <QEasingCurve>
#include <QImage>
#include <QPainterPath>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace ostrevane {

namespace {

// About a panel's size: every text role and symbol is drawn at its real scale.
const QSize warmUpSize(354, 620);

// The standard timing curves of interface animations.
QEasingCurve cubicBezier(QPointF c1, QPointF c2)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(c1, c2, QPointF(1, 1));
    return curve;
}
QEasingCurve easeOut() { return cubicBezier(QPointF(0, 0), QPointF(0.58, 1)); }
QEasingCurve easeIn() { return cubicBezier(QPointF(0.42, 0), QPointF(1, 1)); }

// The controller holds a showing's panel through this handle. Once the window serves a
// later showing, the handle does nothing. A handle dropped while its showing is up hides
// the window; one dropped while it slides out lets the slide finish.
class KeyablePanelHandle : public PanelWindow {
public:
    KeyablePanelHandle(KeyablePanel* panel, quint64 showing)
        : m_panel(panel)
        , m_showing(showing)
    {
    }
    ~KeyablePanelHandle() override
    {
        if (isCurrent() && !m_panel->isSlidingOut())
            m_panel->dismiss();
    }
    void slideIn(const QRectF& start, const QRectF& final, std::function<void()> completion) override
    {
        if (isCurrent())
            m_panel->slideIn(start, final, std::move(completion));
    }
    void slideOut(std::function<void()> completion) override
    {
        if (isCurrent())
            m_panel->slideOut(std::move(completion));
        else if (completion)
            completion();
    }
    QRectF frame() const override { return isCurrent() ? QRectF(m_panel->geometry()) : QRectF(); }
    void yieldKeyboard() override
    {
        if (isCurrent())
            m_panel->yieldKeyboard();
    }

private:
    bool isCurrent() const { return m_panel && m_panel->showing() == m_showing; }

    QPointer<KeyablePanel> m_panel;
    quint64 m_showing;
};

Qt::WindowFlags panelWindowFlags(KeyablePanel::KeyboardFocus focus)
{
    const Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    return focus == KeyablePanel::KeyboardFocus::keyboardGrab ? flags | Qt::X11BypassWindowManagerHint : flags;
}

} // namespace

KeyablePanel::KeyablePanel(SearchViewModel& viewModel, PanelEdge edge, QSizeF size, SearchView::Environment environment,
                           KeyboardFocus focus, WindowCompositing* compositing)
    : QWidget(nullptr, panelWindowFlags(focus))
    , m_edge(edge)
    , m_fontSize(environment.fontSize)
    , m_focus(focus)
    , m_view(new SearchView(viewModel, edge, std::move(environment), this))
    , m_compositing(compositing)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(m_view);
    setWindowOpacity(0.0);
    resize(size.toSize());
    m_view->setGeometry(rect());
    winId(); // the native window exists from here on, not on the first showing's path
    if (QWindow* window = windowHandle()) {
        window->setProperty(panelWindowProperty, true);
        window->installEventFilter(this); // to act on exposure
    }
    if (m_compositing) {
        connect(m_view, &SearchView::outlineChanged, this, &KeyablePanel::cutToOutline);
        m_compositingToken = m_compositing->observe([self = QPointer(this)](bool compositing) {
            if (self)
                self->compositingChanged(compositing);
        });
        compositingChanged(m_compositing->isCompositing());
    }
}

KeyablePanel::~KeyablePanel()
{
    if (m_compositing)
        m_compositing->removeObserver(m_compositingToken);
}

// A compositing manager that comes or goes changes the look at once, even mid-showing.
void KeyablePanel::compositingChanged(bool compositing)
{
    m_view->setTranslucent(compositing);
    if (compositing)
        m_compositing->setOutline(winId(), QRegion());
}

void KeyablePanel::cutToOutline(const QPainterPath& outline)
{
    const double dpr = devicePixelRatioF();
    m_compositing->setOutline(winId(), PanelWaveShape::pixelRegion(outline, (QSizeF(size()) * dpr).toSize(), dpr));
}

bool KeyablePanel::isPanelWindow(const QWindow* window)
{
    return window && window->property(panelWindowProperty).toBool();
}

bool KeyablePanel::focusNextPrevChild(bool /*next*/)
{
    return false;
}

void KeyablePanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_view->setGeometry(rect());
}

quint64 KeyablePanel::present(SearchViewModel& viewModel, PanelEdge edge, QSizeF size)
{
    stopAnimation();
    finishSlideOut();
    ++m_showing;
    m_keyboardYielded = false;
    m_askedForFocus = false;
    m_edge = edge;
    m_view->present(viewModel, edge);
    resize(size.toSize());
    return m_showing;
}

bool KeyablePanel::rehearse(SearchViewModel& viewModel, PanelEdge edge, QSizeF size)
{
    if (m_onScreen || m_slidingOut)
        return false;
    m_edge = edge;
    m_view->present(viewModel, edge);
    resize(size.toSize());
    return true;
}

// The native window reports exposure to its QWindow before any widget sees it.
bool KeyablePanel::eventFilter(QObject* watched, QEvent* event)
{
    QWindow* window = windowHandle();
    if (watched == window && event->type() == QEvent::Expose) {
        const bool exposed = window->isExposed();
        if (exposed && m_awaitingExposure) {
            m_awaitingExposure = false;
            TimingTrace::mark("exposed");
        }
        if (exposed && !m_exposed) {
            m_exposed = true;
            takeKeyboard(1);
        }
        m_exposed = exposed;
    }
    return QWidget::eventFilter(watched, event);
}

// Between showings an unmanaged panel waits mapped, far off screen: showing it again is
// then a move, where mapping a window would cost more than the rest of a showing. It
// takes no input there (it holds no grab and has no focus); one that was given the focus
// hides instead, so the focus goes back to a window the user can see.
void KeyablePanel::putAway()
{
    if (m_focus == KeyboardFocus::windowManager || m_askedForFocus) {
        hide();
        return;
    }
    move(offScreen);
    show();
}

// A grab needs a window on screen, so it is taken on exposure. It fails only while another
// program holds the keyboard; after a short while the panel asks for the focus instead.
void KeyablePanel::takeKeyboard(int attempt)
{
    QWindow* window = windowHandle();
    if (m_focus != KeyboardFocus::keyboardGrab || !m_onScreen || m_keyboardYielded || m_keyboardGrabbed || !window)
        return;
    if (window->setKeyboardGrabEnabled(true)) {
        m_keyboardGrabbed = true;
        return;
    }
    if (attempt < keyboardAttempts) {
        QTimer::singleShot(keyboardRetryMs, this, [this, showing = m_showing, attempt] {
            if (showing == m_showing)
                takeKeyboard(attempt + 1);
        });
        return;
    }
    qInfo("Ostrevane: another program holds the keyboard; the panel asks for the focus instead");
    m_askedForFocus = true;
    activateWindow();
}

void KeyablePanel::yieldKeyboard()
{
    m_keyboardYielded = true;
    releaseKeyboard();
}

// Only a grab of our own is ended: the hotkey's grab, active while its key is down,
// belongs to the same connection and must outlive a panel that hides meanwhile.
void KeyablePanel::releaseKeyboard()
{
    if (!m_keyboardGrabbed)
        return;
    m_keyboardGrabbed = false;
    if (QWindow* window = windowHandle())
        window->setKeyboardGrabEnabled(false);
}

QParallelAnimationGroup* KeyablePanel::animateTo(const QRect& geometry, double opacity, double seconds, bool easingOut)
{
    stopAnimation();
    auto* group = new QParallelAnimationGroup(this);
    auto* move = new QPropertyAnimation(this, "geometry", group);
    auto* fade = new QPropertyAnimation(this, "windowOpacity", group);
    const int ms = static_cast<int>(seconds * 1000);
    move->setDuration(ms);
    move->setEndValue(geometry);
    move->setEasingCurve(easingOut ? easeOut() : easeIn());
    fade->setDuration(ms);
    fade->setEndValue(opacity);
    fade->setEasingCurve(easingOut ? easeOut() : easeIn());
    m_animation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
    return group;
}

void KeyablePanel::stopAnimation()
{
    if (m_animation)
        m_animation->stop(); // deletes it; a stopped animation reports no end
}

void KeyablePanel::slideIn(const QRectF& start, const QRectF& final, std::function<void()> completion)
{
    setGeometry(start.toAlignedRect());
    setWindowOpacity(0.0);
    m_awaitingExposure = true;
    m_onScreen = true;
    show();
    raise();
    if (m_focus == KeyboardFocus::windowManager)
        activateWindow();
    m_view->setFocus(Qt::ActiveWindowFocusReason);
    // Mapped already (waiting off screen, or still sliding out): no exposure is coming, so
    // the keyboard is taken and the first frame drawn now, not at the next update tick.
    if (m_exposed) {
        m_awaitingExposure = false;
        TimingTrace::mark("exposed");
        m_view->repaint();
        takeKeyboard(1);
    }
    QParallelAnimationGroup* group = animateTo(final.toAlignedRect(), 1.0, slideInSeconds, true);
    connect(group, &QAbstractAnimation::finished, this, [completion = std::move(completion)] {
        if (completion)
            completion();
    });
}

void KeyablePanel::slideOut(std::function<void()> completion)
{
    if (m_slidingOut)
        return;
    m_slidingOut = true;
    m_onScreen = false;
    m_slideOutCompletion = std::move(completion);
    releaseKeyboard();
    const QRect from = geometry();
    const int distance = from.width() + static_cast<int>(slideOutOvershoot);
    const QRect to = from.translated(m_edge == PanelEdge::right ? distance : -distance, 0);
    QParallelAnimationGroup* group = animateTo(to, 0.0, slideOutSeconds, false);
    connect(group, &QAbstractAnimation::finished, this, [this] {
        putAway();
        finishSlideOut();
    });
}

// Reports the end of a slide-out, whether it ran its course or a new showing cut it short.
void KeyablePanel::finishSlideOut()
{
    m_slidingOut = false;
    if (std::function<void()> completion = std::exchange(m_slideOutCompletion, {}))
        completion();
}

void KeyablePanel::dismiss()
{
    m_onScreen = false;
    stopAnimation();
    releaseKeyboard();
    putAway();
    finishSlideOut();
}

KeyablePanelFactory::KeyablePanelFactory(KeyablePanel::KeyboardFocus focus, EnvironmentProvider environment,
                                         WindowCompositing* compositing)
    : m_focus(focus)
    , m_environment(std::move(environment))
    , m_compositing(compositing)
{
}

KeyablePanelFactory::~KeyablePanelFactory() { delete m_panel.data(); }

SearchView::Environment KeyablePanelFactory::environment() const
{
    return m_environment ? m_environment() : SearchView::Environment::fromRuntime();
}

std::unique_ptr<PanelWindow> KeyablePanelFactory::makePanel(SearchViewModel& viewModel, PanelEdge edge, QSizeF size)
{
    SearchView::Environment env = environment();
    if (m_panel && m_panel->fontSize() != env.fontSize) {
        m_panel->dismiss();
        m_panel->deleteLater();
        m_panel.clear();
    }
    quint64 showing = 0;
    if (m_panel) {
        showing = m_panel->present(viewModel, edge, size);
    } else {
        m_panel = new KeyablePanel(viewModel, edge, size, std::move(env), m_focus, m_compositing);
        showing = m_panel->showing();
    }
    return std::make_unique<KeyablePanelHandle>(m_panel, showing);
}

void KeyablePanelFactory::rehearse(SearchViewModel& viewModel, PanelEdge edge, QSizeF size)
{
    if (!m_panel)
        m_panel = new KeyablePanel(viewModel, edge, size, environment(), m_focus, m_compositing);
    else if (!m_panel->rehearse(viewModel, edge, size))
        return;
    QImage image(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    m_panel->view()->render(&image);
    m_panel->putAway();
}

void KeyablePanelFactory::warmUp()
{
    if (m_panel)
        return; // a showing or a rehearsal came first
    WindowItem window;
    window.title = QStringLiteral("Ostrevane");
    window.appName = QStringLiteral("Ostrevane");
    SearchViewModel model({SwitchItem(window)}, false);
    rehearse(model, PanelEdge::right, QSizeF(warmUpSize));
}

} // namespace ostrevane
