#pragma once

#include <QLineEdit>

namespace ostrevane {

// The panel's search text field. A real line edit, so input methods work; it tells the
// panel's key handling whether an input method is composing (keys then belong to the
// input method) through the `composingProperty` dynamic property, and keeps Tab for the
// panel instead of moving focus.
class SearchField : public QLineEdit {
    Q_OBJECT

public:
    // True on the focused widget while an input method shows uncommitted (preedit) text.
    static constexpr const char* composingProperty = "ostrevaneComposing";

    explicit SearchField(QWidget* parent = nullptr);

    bool isComposing() const { return m_composing; }

protected:
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setComposing(bool composing);

    bool m_composing = false;
};

} // namespace ostrevane
