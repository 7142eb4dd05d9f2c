#include "ui/HotkeyRecorderView.h"

#include "core/model/Localization.h"
#include "ui/PanelStyle.h"
#include "ui/QtKeyCodes.h"

#include <QKeyEvent>
#include <QPainter>

namespace ostrevane {

namespace {

constexpr quint32 escapeKeyCode = 53;
constexpr quint32 returnKeyCode = 36;

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return true;
    default:
        return false;
    }
}

} // namespace

HotkeyRecorderView::HotkeyRecorderView(HotkeyConfig config, bool allowPlainSpecialKeys, QWidget* parent)
    : QWidget(parent), m_config(config), m_allowPlainSpecialKeys(allowPlainSpecialKeys)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_InputMethodEnabled, false); // keys, not composed text
}

HotkeyRecorderView::~HotkeyRecorderView() = default; // drops a held suspension

void HotkeyRecorderView::setConfig(const HotkeyConfig& config)
{
    if (config == m_config)
        return;
    m_config = config;
    update();
}

void HotkeyRecorderView::setRecording(bool recording)
{
    if (recording == m_recording)
        return;
    m_recording = recording;
    if (recording) {
        if (m_suspender)
            m_suspension = m_suspender();
        setFocus(Qt::OtherFocusReason);
    } else {
        m_suspension.reset();
        if (hasFocus())
            clearFocus();
    }
    update();
    emit recordingChanged(recording);
}

QString HotkeyRecorderView::displayText() const
{
    if (m_recording)
        return Localization::shared().string(QT_TRANSLATE_NOOP("Ostrevane", "Press keys…"));
    return m_config.displayString();
}

bool HotkeyRecorderView::isAcceptedPlainKey(quint32 keyCode, bool allowPlainSpecialKeys)
{
    if (!allowPlainSpecialKeys)
        return false;
    return (keyCode >= 123 && keyCode <= 126) || keyCode == returnKeyCode || keyCode == HotkeyConfig::tabKeyCode;
}

bool HotkeyRecorderView::event(QEvent* event)
{
    if (m_recording) {
        // Tab, window shortcuts and mnemonics would otherwise take the key first.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return QWidget::event(event);
}

void HotkeyRecorderView::keyPressEvent(QKeyEvent* event)
{
    if (m_recording) {
        event->accept();
        record(event);
        return;
    }
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        setRecording(true);
        return;
    }
    QWidget::keyPressEvent(event);
}

void HotkeyRecorderView::record(QKeyEvent* event)
{
    if (isModifierKey(event->key()))
        return; // still waiting for the key that goes with them
    const std::optional<quint32> keyCode =
        QtKeyCodes::keyCode(event->key(), event->modifiers(), event->nativeScanCode());
    if (keyCode == escapeKeyCode) {
        setRecording(false);
        return;
    }
    if (!keyCode) {
        refuse();
        return;
    }
    const quint32 modifiers = QtKeyCodes::carbonModifiers(event->modifiers());
    if (modifiers == 0 && !isAcceptedPlainKey(*keyCode, m_allowPlainSpecialKeys)) {
        refuse();
        return;
    }
    // Announced while the global chord is still released: storing it then registers the
    // chord once, when recording ends, instead of twice.
    emit captured(HotkeyConfig{*keyCode, modifiers});
    setRecording(false);
}

void HotkeyRecorderView::refuse()
{
    if (m_beep)
        m_beep();
}

void HotkeyRecorderView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setRecording(!m_recording);
}

void HotkeyRecorderView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    setRecording(false);
}

void HotkeyRecorderView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    setRecording(false);
}

void HotkeyRecorderView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_recording) {
        p.setBrush(PanelStyle::accent(0.24));
        p.setPen(QPen(PanelStyle::accent(), 1));
    } else {
        p.setBrush(PanelStyle::white(0.16));
        p.setPen(QPen(hasFocus() ? PanelStyle::accent() : PanelStyle::white(0.32), 1));
    }
    p.drawRoundedRect(box, 5, 5);
    QFont font = this->font();
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(PanelStyle::white(0.88));
    p.drawText(rect().adjusted(6, 0, -6, 0), Qt::AlignCenter,
               p.fontMetrics().elidedText(displayText(), Qt::ElideRight, width() - 12));
}

} // namespace ostrevane
