#include "ui/SearchField.h"

#include <QInputMethodEvent>

namespace ostrevane {

SearchField::SearchField(QWidget* parent)
    : QLineEdit(parent)
{
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setProperty(composingProperty, false);
}

void SearchField::inputMethodEvent(QInputMethodEvent* event)
{
    setComposing(!event->preeditString().isEmpty());
    QLineEdit::inputMethodEvent(event);
}

bool SearchField::focusNextPrevChild(bool /*next*/)
{
    // Tab moves the panel's highlight; it never moves focus.
    return false;
}

void SearchField::focusOutEvent(QFocusEvent* event)
{
    // Losing focus ends any composition the input method had started.
    setComposing(false);
    QLineEdit::focusOutEvent(event);
}

void SearchField::setComposing(bool composing)
{
    m_composing = composing;
    setProperty(composingProperty, composing);
}

} // namespace ostrevane
