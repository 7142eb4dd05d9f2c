#include "ui/QtInputMonitors.h"

#include "ui/KeyablePanel.h"
#include "ui/QtKeyCodes.h"
#include "ui/SearchField.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

namespace ostrevane {

namespace {

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
        return true;
    default:
        return false;
    }
}

// Callbacks may add or remove monitors (hiding the panel removes them all), so each
// delivery walks a copy.
template <class Map, class... Args>
void callEach(const Map& monitors, Args&&... args)
{
    const Map copy = monitors;
    for (const auto& [token, handler] : copy)
        handler(args...);
}

} // namespace

QtInputMonitors::QtInputMonitors(InputMonitors* global, QObject* parent)
    : QObject(parent)
    , m_global(global)
{
}

QtInputMonitors::~QtInputMonitors()
{
    if (m_filtering && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

InputMonitors::Token QtInputMonitors::nextToken() { return ++m_lastToken; }

void QtInputMonitors::updateFilter()
{
    const bool wanted = !m_keyMonitors.empty() || !m_flagsMonitors.empty() || !m_clickMonitors.empty()
        || !m_moveMonitors.empty();
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || wanted == m_filtering)
        return;
    if (wanted)
        app->installEventFilter(this);
    else
        app->removeEventFilter(this);
    m_filtering = wanted;
}

InputMonitors::Token QtInputMonitors::addLocalKeyMonitor(std::function<bool(const PanelKeyEvent&)> handler)
{
    const Token token = nextToken();
    m_keyMonitors.emplace(token, std::move(handler));
    updateFilter();
    return token;
}

InputMonitors::Token QtInputMonitors::addLocalFlagsMonitor(std::function<void(bool)> handler)
{
    const Token token = nextToken();
    m_flagsMonitors.emplace(token, std::move(handler));
    updateFilter();
    return token;
}

InputMonitors::Token QtInputMonitors::addLocalClickMonitor(std::function<void(QPointF, bool, bool)> handler)
{
    const Token token = nextToken();
    m_clickMonitors.emplace(token, std::move(handler));
    updateFilter();
    return token;
}

InputMonitors::Token QtInputMonitors::addMouseMovedMonitor(std::function<void()> handler)
{
    const Token token = nextToken();
    m_moveMonitors.emplace(token, std::move(handler));
    updateFilter();
    return token;
}

InputMonitors::Token QtInputMonitors::addGlobalFlagsMonitor(std::function<void(bool)> handler)
{
    const Token token = nextToken();
    if (m_global)
        m_globalTokens.emplace(token, m_global->addGlobalFlagsMonitor(std::move(handler)));
    return token;
}

InputMonitors::Token QtInputMonitors::addGlobalClickMonitor(std::function<void(QPointF)> handler)
{
    const Token token = nextToken();
    if (m_global)
        m_globalTokens.emplace(token, m_global->addGlobalClickMonitor(std::move(handler)));
    return token;
}

void QtInputMonitors::remove(Token token)
{
    if (const auto it = m_globalTokens.find(token); it != m_globalTokens.end()) {
        const Token delegated = it->second;
        m_globalTokens.erase(it);
        m_global->remove(delegated);
        return;
    }
    m_keyMonitors.erase(token);
    m_flagsMonitors.erase(token);
    m_clickMonitors.erase(token);
    m_moveMonitors.erase(token);
    updateFilter();
}

std::optional<bool> QtInputMonitors::isOptionKeyDown() const
{
    return m_global ? m_global->isOptionKeyDown() : std::nullopt;
}

std::optional<PanelKeyEvent> QtInputMonitors::translate(const QKeyEvent& event, bool composing)
{
    const auto code = QtKeyCodes::keyCode(event.key(), event.modifiers(), event.nativeScanCode());
    if (!code)
        return std::nullopt;
    return PanelKeyEvent{*code, QtKeyCodes::carbonModifiers(event.modifiers()), composing};
}

std::optional<bool> QtInputMonitors::optionHeldAfter(const QKeyEvent& event)
{
    if (!isModifierKey(event.key()))
        return std::nullopt;
    // The modifiers of an X key event are those from before it: the Alt key's own press or
    // release is what changes Option.
    if (event.key() == Qt::Key_Alt)
        return event.type() == QEvent::KeyPress;
    return event.modifiers().testFlag(Qt::AltModifier);
}

// Releasing one Alt key while the other is held leaves Alt held. The event knows only its
// own key; the desktop-wide half has already seen the release among the others (raw key
// events come before the key event they belong to).
bool QtInputMonitors::anotherOptionKeyDown(const QKeyEvent& event) const
{
    return event.key() == Qt::Key_Alt && event.type() == QEvent::KeyRelease && m_global
        && m_global->isOptionKeyDown().value_or(false);
}

bool QtInputMonitors::focusedFieldIsComposing()
{
    const QObject* focus = QGuiApplication::focusObject();
    return focus && focus->property(SearchField::composingProperty).toBool();
}

bool QtInputMonitors::eventFilter(QObject* watched, QEvent* event)
{
    // Every event reaches the application filter once for the native window and again for
    // each widget it is forwarded to; only the first counts.
    auto* window = qobject_cast<QWindow*>(watched);
    if (!window)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (const auto held = optionHeldAfter(key)) {
            deliverFlags(*held || anotherOptionKeyDown(key));
            return false;
        }
        return event->type() == QEvent::KeyPress && deliverKey(key);
    }
    case QEvent::MouseButtonPress: // a double click's second press arrives as a press too
        deliverClick(static_cast<const QMouseEvent&>(*event), *window);
        return false;
    case QEvent::MouseMove:
        deliverMouseMoved();
        return false;
    default:
        return false;
    }
}

bool QtInputMonitors::deliverKey(const QKeyEvent& event)
{
    const auto translated = translate(event, focusedFieldIsComposing());
    if (!translated)
        return false;
    bool swallowed = false;
    const auto copy = m_keyMonitors;
    for (const auto& [token, handler] : copy)
        swallowed = handler(*translated) || swallowed;
    return swallowed;
}

void QtInputMonitors::deliverFlags(bool optionHeld) { callEach(m_flagsMonitors, optionHeld); }

void QtInputMonitors::deliverClick(const QMouseEvent& event, const QWindow& window)
{
    if (event.button() != Qt::LeftButton && event.button() != Qt::RightButton)
        return;
    callEach(m_clickMonitors, event.globalPosition(), KeyablePanel::isPanelWindow(&window),
             event.modifiers().testFlag(Qt::AltModifier));
}

void QtInputMonitors::deliverMouseMoved() { callEach(m_moveMonitors); }

} // namespace ostrevane
