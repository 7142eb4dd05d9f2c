#pragma once

#include <QAbstractButton>
#include <QFrame>
#include <QPointer>
#include <QScrollArea>
#include <QWidget>

#include <functional>
#include <vector>

class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace ostrevane {

// Texts that follow the interface language. Each binding shows its text at once and
// again at every retranslate(); bindings of destroyed widgets are skipped.
class LocalizedTexts {
public:
    void bind(QObject* target, std::function<QString()> text, std::function<void(const QString&)> apply);
    // The English text looked up through Localization.
    void setText(QLabel* label, const char* english);
    void setText(QAbstractButton* button, const char* english);
    void setPlaceholder(QLineEdit* field, const char* english);
    void retranslate();

private:
    struct Binding {
        QPointer<QObject> target;
        std::function<void()> apply;
    };
    std::vector<Binding> m_bindings;
};

// The look of the preferences window: its style sheet and the roles its widgets take.
namespace PreferencesStyle {
QString styleSheet();
// Tags a widget for the style sheet ("rowTitle", "rowDetail", "sectionTitle", "card",
// "separator", "error", "segment", "note", ...).
void setRole(QWidget* widget, const char* role);
} // namespace PreferencesStyle

// An on/off switch: a checkable button drawn as a sliding toggle. Space toggles it.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A segmented picker: a row of exclusive buttons, one per option. It is one stop of the
// focus chain; Left and Right choose the neighbouring option.
class SegmentedPicker : public QWidget {
    Q_OBJECT

public:
    explicit SegmentedPicker(QWidget* parent = nullptr);
    // Replaces the titles; the selected index stays.
    void setTitles(const QStringList& titles);
    int currentIndex() const;
    // Selects without emitting activated().
    void setCurrentIndex(int index);
    QAbstractButton* button(int index) const;
    int count() const;

signals:
    // The user chose an option.
    void activated(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showFocusRing();

    QHBoxLayout* m_layout;
    QButtonGroup* m_group;
};

// Shows the titles of an enumeration's cases in `picker` and selects `current`.
template <class E>
void showCases(SegmentedPicker* picker, const QList<E>& cases, QString (*title)(E), E current)
{
    QStringList titles;
    for (const E value : cases)
        titles << title(value);
    picker->setTitles(titles);
    picker->setCurrentIndex(static_cast<int>(cases.indexOf(current)));
}

// Checks or clears a switch without announcing it as the user's change.
void showSwitch(ToggleSwitch* toggle, bool on, bool enabled = true);

// One row of a section: title and detail on the left, controls on the right, and a
// message line under them that shows only while it has text.
class SettingsRow : public QWidget {
    Q_OBJECT

public:
    explicit SettingsRow(QWidget* parent = nullptr);
    QLabel* title() const { return m_title; }
    QLabel* detail() const { return m_detail; }
    QLabel* message() const { return m_message; }
    void addControl(QWidget* control);
    void setMessage(const QString& text);

private:
    QLabel* m_title;
    QLabel* m_detail;
    QLabel* m_message;
    QHBoxLayout* m_controls;
};

// A titled card of rows, separated by hairlines.
class SettingsSection : public QWidget {
    Q_OBJECT

public:
    explicit SettingsSection(QWidget* parent = nullptr);
    QLabel* title() const { return m_title; }
    SettingsRow* addRow();
    // Any other content, on its own line of the card.
    void addWidget(QWidget* widget);

private:
    QLabel* m_title;
    QFrame* m_card;
    QVBoxLayout* m_cardLayout;
};

// How a permission row shows its state.
enum class PermissionState { ready, needsAction, info };

// A permission row: the state's symbol, title, detail and up to two buttons.
class PermissionRow : public QWidget {
    Q_OBJECT

public:
    explicit PermissionRow(QWidget* parent = nullptr);
    QLabel* title() const { return m_title; }
    QLabel* detail() const { return m_detail; }
    QAbstractButton* primaryButton() const { return m_primary; }
    QAbstractButton* secondaryButton() const { return m_secondary; }
    PermissionState state() const { return m_state; }
    void setState(PermissionState state);

private:
    QLabel* m_symbol;
    QLabel* m_title;
    QLabel* m_detail;
    QAbstractButton* m_primary;
    QAbstractButton* m_secondary;
    PermissionState m_state = PermissionState::info;
};

// One entry of an editable list: its text and a button that asks to remove it.
class RemovablePatternRow : public QWidget {
    Q_OBJECT

public:
    RemovablePatternRow(const QString& text, QWidget* parent = nullptr);
    QString text() const;
    QAbstractButton* removeButton() const { return m_remove; }

signals:
    void removeRequested();

private:
    QLabel* m_text;
    QAbstractButton* m_remove;
};

// The right-hand column of a pane: a scrolling column of sections.
class SettingsDetail : public QScrollArea {
    Q_OBJECT

public:
    explicit SettingsDetail(QWidget* parent = nullptr);
    SettingsSection* addSection();
    // Anything else, at the end of the column.
    void addWidget(QWidget* widget);
    // Ends the column with the space that is left.
    void finish();

private:
    QWidget* m_column;
    QVBoxLayout* m_layout;
};

// A push button with one of the program's symbols before its text.
QPushButton* symbolButton(const QString& symbol, QWidget* parent);
void setButtonSymbol(QAbstractButton* button, const QString& symbol);

} // namespace ostrevane
