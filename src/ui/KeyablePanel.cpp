#include "ui/KeyablePanel.h"

#include "core/TimingTrace.h"

#include <QEasingCurve>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QWindow>

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

// The controller holds its panel through this handle. The widget outlives the handle while
// it slides out (the controller forgets its panel as soon as hiding starts), and deletes
// itself when that animation ends; a handle dropped while the panel is still up closes it.
class KeyablePanelHandle : public PanelWindow {
public:
    explicit KeyablePanelHandle(KeyablePanel* panel)
        : m_panel(panel)
    {
    }
    ~KeyablePanelHandle() override
    {
        if (m_panel && !m_panel->isSlidingOut())
            m_panel->deleteLater();
    }
    void slideIn(const QRectF& start, const QRectF& final, std::function<void()> completion) override
    {
        if (m_panel)
            m_panel->slideIn(start, final, std::move(completion));
    }
    void slideOut(std::function<void()> completion) override
    {
        if (m_panel)
            m_panel->slideOut(std::move(completion));
        else if (completion)
            completion();
    }
    QRectF frame() const override { return m_panel ? QRectF(m_panel->geometry()) : QRectF(); }

private:
    QPointer<KeyablePanel> m_panel;
};

} // namespace

KeyablePanel::KeyablePanel(SearchViewModel& viewModel, PanelEdge edge, QSizeF size, SearchView::Environment environment)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_edge(edge)
    , m_view(new SearchView(viewModel, edge, std::move(environment), this))
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
    winId(); // the native window exists from here on, so hints can be applied before showing
    if (QWindow* window = windowHandle()) {
        window->setProperty(panelWindowProperty, true);
        window->installEventFilter(this); // to act on the first exposure
    }
}

KeyablePanel::~KeyablePanel() = default;

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

// The native window reports exposure and keys to its QWindow before any widget sees them.
// While Alt is held the panel takes every key: keys pressed before the window manager
// hands it the focus still reach it, and the window manager's own Alt bindings (openbox
// lowers the focused window on Alt+Escape) cannot take them. Once Alt is up, keys follow
// the focus again, so the next Alt+Tab reaches the hotkey even while this panel hides.
bool KeyablePanel::eventFilter(QObject* watched, QEvent* event)
{
    QWindow* window = windowHandle();
    if (watched != window)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Expose && !m_exposed && window->isExposed()) {
        m_exposed = true;
        TimingTrace::mark("exposed");
        if (!m_slidingOut && QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier)
            && !window->setKeyboardGrabEnabled(true))
            qInfo("Ostrevane: the panel could not take the keyboard; keys follow the focus");
    } else if (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt) {
        window->setKeyboardGrabEnabled(false);
    }
    return QWidget::eventFilter(watched, event);
}

void KeyablePanel::animateTo(const QRect& geometry, double opacity, double seconds, bool easingOut,
                             std::function<void()> done)
{
    if (m_animation)
        m_animation->stop();
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
    connect(group, &QAbstractAnimation::finished, this, [done = std::move(done)] {
        if (done)
            done();
    });
    m_animation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

void KeyablePanel::slideIn(const QRectF& start, const QRectF& final, std::function<void()> completion)
{
    setGeometry(start.toAlignedRect());
    setWindowOpacity(0.0);
    show();
    raise();
    activateWindow();
    m_view->setFocus(Qt::ActiveWindowFocusReason);
    animateTo(final.toAlignedRect(), 1.0, slideInSeconds, true, std::move(completion));
}

void KeyablePanel::slideOut(std::function<void()> completion)
{
    if (m_slidingOut)
        return;
    m_slidingOut = true;
    if (QWindow* window = windowHandle())
        window->setKeyboardGrabEnabled(false);
    const QRect from = geometry();
    const int distance = from.width() + static_cast<int>(slideOutOvershoot);
    const QRect to = from.translated(m_edge == PanelEdge::right ? distance : -distance, 0);
    QPointer<KeyablePanel> self(this);
    animateTo(to, 0.0, slideOutSeconds, false, [self, completion = std::move(completion)] {
        if (self) {
            self->hide();
            self->deleteLater();
        }
        if (completion)
            completion();
    });
}

KeyablePanelFactory::KeyablePanelFactory(PlatformHints platformHints, EnvironmentProvider environment)
    : m_platformHints(std::move(platformHints))
    , m_environment(std::move(environment))
{
}

SearchView::Environment KeyablePanelFactory::environment() const
{
    return m_environment ? m_environment() : SearchView::Environment::fromRuntime();
}

std::unique_ptr<PanelWindow> KeyablePanelFactory::makePanel(SearchViewModel& viewModel, PanelEdge edge, QSizeF size)
{
    auto* panel = new KeyablePanel(viewModel, edge, size, environment());
    if (m_platformHints && panel->windowHandle())
        m_platformHints(panel->windowHandle());
    return std::make_unique<KeyablePanelHandle>(panel);
}

void KeyablePanelFactory::warmUp()
{
    WindowItem window;
    window.title = QStringLiteral("Ostrevane");
    window.appName = QStringLiteral("Ostrevane");
    SearchViewModel model({SwitchItem(window)}, false);
    SearchView view(model, PanelEdge::right, environment());
    view.resize(warmUpSize);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    view.render(&image);
}

} // namespace ostrevane
