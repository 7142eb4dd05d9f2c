#include "ui/SettingsViews.h"

#include "core/model/Localization.h"
#include "core/preferences/PrefColors.h"
#include "ui/PanelStyle.h"
#include "ui/SymbolIcons.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

namespace ostrevane {

namespace {

QString rgba(const QColor& c)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

QColor stateColor(PermissionState state)
{
    switch (state) {
    case PermissionState::ready:
        return QColor::fromRgbF(0.3f, 0.86f, 0.48f);
    case PermissionState::needsAction:
        return QColor::fromRgbF(1.0f, 0.68f, 0.26f);
    case PermissionState::info:
        break;
    }
    return QColor::fromRgbF(0.45f, 0.7f, 1.0f);
}

QString stateSymbol(PermissionState state)
{
    switch (state) {
    case PermissionState::ready:
        return QStringLiteral("checkmark.circle.fill");
    case PermissionState::needsAction:
        return QStringLiteral("exclamationmark.triangle.fill");
    case PermissionState::info:
        break;
    }
    return QStringLiteral("info.circle.fill");
}

QLabel* roleLabel(const char* role, QWidget* parent)
{
    auto* label = new QLabel(parent);
    PreferencesStyle::setRole(label, role);
    label->setWordWrap(true);
    return label;
}

} // namespace

void LocalizedTexts::bind(QObject* target, std::function<QString()> text, std::function<void(const QString&)> apply)
{
    auto show = [text = std::move(text), apply = std::move(apply)] { apply(text()); };
    show();
    m_bindings.push_back({target, std::move(show)});
}

void LocalizedTexts::setText(QLabel* label, const char* english)
{
    bind(label, [english] { return Localization::shared().string(english); },
         [label](const QString& text) { label->setText(text); });
}

void LocalizedTexts::setText(QAbstractButton* button, const char* english)
{
    bind(button, [english] { return Localization::shared().string(english); },
         [button](const QString& text) { button->setText(text); });
}

void LocalizedTexts::setPlaceholder(QLineEdit* field, const char* english)
{
    bind(field, [english] { return Localization::shared().string(english); },
         [field](const QString& text) { field->setPlaceholderText(text); });
}

void LocalizedTexts::retranslate()
{
    std::erase_if(m_bindings, [](const Binding& b) { return b.target.isNull(); });
    for (const Binding& binding : m_bindings)
        binding.apply();
}

QString PreferencesStyle::styleSheet()
{
    const QString primary = rgba(PrefColors::primary());
    const QString secondary = rgba(PrefColors::secondary());
    const QString tertiary = rgba(PrefColors::tertiary());
    const QString accent = rgba(PanelStyle::accent());
    SymbolIcons::contains(QStringLiteral("chevron.down")); // the sheet's images are our symbols
    QString sheet = QStringLiteral(R"(
QWidget#PreferencesWindow { background: %1; }
QWidget#PreferencesSidebar { background: %2; }
QLabel { color: %3; font-size: 13px; }
QLabel[role="sectionTitle"] { color: %4; font-size: 12px; font-weight: 600; padding-left: 4px; }
QLabel[role="paneTitle"] { font-size: 20px; font-weight: 600; }
QLabel[role="rowTitle"] { font-size: 13px; }
QLabel[role="rowDetail"], QLabel[role="note"] { color: %4; font-size: 11px; }
QLabel[role="muted"] { color: %5; font-size: 12px; }
QLabel[role="error"] { color: rgb(255,150,120); font-size: 11px; }
QLabel[role="conflict"] { color: rgb(255,174,66); font-size: 11px; }
QLabel[role="pattern"] { font-family: monospace; font-size: 12px; }
QFrame[role="card"] { background: %6; border: 1px solid %7; border-radius: 10px; }
QFrame[role="separator"] { background: %7; border: none; }
QPushButton { color: %3; background: rgba(255,255,255,28); border: 1px solid rgba(255,255,255,34);
              border-radius: 6px; padding: 4px 12px; font-size: 12px; min-height: 18px; }
QPushButton:hover { background: rgba(255,255,255,44); }
QPushButton:pressed { background: rgba(255,255,255,18); }
QPushButton:focus { border: 1px solid %8; }
QPushButton:disabled { color: %5; background: rgba(255,255,255,12); border-color: rgba(255,255,255,18); }
QPushButton[role="segment"] { border-radius: 0; border-left-width: 0; padding: 4px 14px; }
QPushButton[role="segment"][first="true"] { border-top-left-radius: 6px; border-bottom-left-radius: 6px;
                                            border-left-width: 1px; }
QPushButton[role="segment"][last="true"] { border-top-right-radius: 6px; border-bottom-right-radius: 6px; }
QPushButton[role="segment"]:checked { background: %8; color: white; }
QPushButton[role="segment"][focusRing="true"] { border: 1px solid white; }
QPushButton[role="remove"] { background: transparent; border: none; padding: 2px; }
QPushButton[role="remove"]:hover { background: rgba(255,255,255,30); }
QComboBox { color: %3; background: rgba(255,255,255,28); border: 1px solid rgba(255,255,255,34);
            border-radius: 6px; padding: 3px 10px; font-size: 12px; min-width: 150px; }
QComboBox:focus { border: 1px solid %8; }
QComboBox::drop-down { border: none; width: 20px; }
QComboBox::down-arrow { image: url(:/symbols/chevron.down.svg); width: 10px; height: 10px; }
QComboBox QAbstractItemView { background: rgb(40,44,52); color: %3; border: 1px solid rgba(255,255,255,40);
                              selection-background-color: %8; selection-color: white; outline: none; }
QLineEdit { color: %3; background: rgba(0,0,0,70); border: 1px solid rgba(255,255,255,40); border-radius: 6px;
            padding: 4px 8px; font-size: 12px; selection-background-color: %8; }
QLineEdit:focus { border: 1px solid %8; }
QScrollArea, QScrollArea > QWidget > QWidget#SettingsColumn { background: transparent; border: none; }
QScrollBar:vertical { background: transparent; width: 8px; margin: 2px; }
QScrollBar::handle:vertical { background: rgba(255,255,255,50); border-radius: 3px; min-height: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; }
QListWidget#PreferencesSidebarList { background: transparent; border: none; color: %3; font-size: 13px;
                                     outline: none; }
QListWidget#PreferencesSidebarList::item { padding: 6px 8px; border-radius: 6px; margin: 1px 0; }
QListWidget#PreferencesSidebarList::item:selected { background: rgba(255,255,255,34); color: white; }
QListWidget#PreferencesSidebarList::item:hover:!selected { background: rgba(255,255,255,16); }
QToolTip { color: white; background: rgb(40,44,52); border: 1px solid rgba(255,255,255,40); }
)");
    return sheet.arg(rgba(PrefColors::window()), rgba(PrefColors::sidebar()), primary, secondary, tertiary,
                     rgba(PrefColors::card()), rgba(PrefColors::cardBorder()), accent);
}

void PreferencesStyle::setRole(QWidget* widget, const char* role)
{
    widget->setProperty("role", QString::fromLatin1(role));
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

QSize ToggleSwitch::sizeHint() const { return {40, 24}; }

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(2, 2, -2, -2);
    const double radius = track.height() / 2;
    QColor fill = isChecked() ? PanelStyle::accent() : QColor(255, 255, 255, 50);
    if (!isEnabled())
        fill.setAlphaF(fill.alphaF() * 0.45f);
    p.setPen(hasFocus() ? QPen(PanelStyle::accent(0.9), 1.5) : Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(track, radius, radius);
    const double knob = track.height() - 4;
    const double x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, isEnabled() ? 245 : 140));
    p.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}

void showSwitch(ToggleSwitch* toggle, bool on, bool enabled)
{
    const QSignalBlocker blocker(toggle);
    toggle->setEnabled(enabled);
    toggle->setChecked(on);
}

SegmentedPicker::SegmentedPicker(QWidget* parent)
    : QWidget(parent), m_layout(new QHBoxLayout(this)), m_group(new QButtonGroup(this))
{
    // One stop in the focus chain, where the picker was made; the arrows choose.
    setFocusPolicy(Qt::StrongFocus);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_group->setExclusive(true);
    connect(m_group, &QButtonGroup::idClicked, this, &SegmentedPicker::activated);
}

void SegmentedPicker::setTitles(const QStringList& titles)
{
    const int selected = currentIndex();
    while (count() > titles.size())
        delete m_group->button(count() - 1);
    for (int i = count(); i < titles.size(); ++i) {
        auto* button = new QPushButton(this);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setProperty("first", i == 0);
        PreferencesStyle::setRole(button, "segment");
        m_group->addButton(button, i);
        m_layout->addWidget(button);
    }
    for (int i = 0; i < titles.size(); ++i) {
        QAbstractButton* b = button(i);
        b->setText(titles.at(i));
        b->setProperty("last", i == titles.size() - 1);
        b->style()->unpolish(b);
        b->style()->polish(b);
    }
    setCurrentIndex(selected);
}

void SegmentedPicker::keyPressEvent(QKeyEvent* event)
{
    const int step = event->key() == Qt::Key_Left ? -1 : event->key() == Qt::Key_Right ? 1 : 0;
    const int next = currentIndex() + step;
    if (step == 0 || next < 0 || next >= count()) {
        QWidget::keyPressEvent(event);
        return;
    }
    setCurrentIndex(next);
    emit activated(next);
}

void SegmentedPicker::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    showFocusRing();
}

void SegmentedPicker::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    showFocusRing();
}

// The ring goes around the chosen option while the picker has the keyboard focus.
void SegmentedPicker::showFocusRing()
{
    for (QAbstractButton* b : m_group->buttons()) {
        b->setProperty("focusRing", hasFocus() && b->isChecked());
        b->style()->unpolish(b);
        b->style()->polish(b);
    }
}

int SegmentedPicker::count() const { return static_cast<int>(m_group->buttons().size()); }

int SegmentedPicker::currentIndex() const { return m_group->checkedId(); }

void SegmentedPicker::setCurrentIndex(int index)
{
    if (QAbstractButton* b = button(index))
        b->setChecked(true);
    showFocusRing();
}

QAbstractButton* SegmentedPicker::button(int index) const { return m_group->button(index); }

SettingsRow::SettingsRow(QWidget* parent)
    : QWidget(parent)
    , m_title(roleLabel("rowTitle", this))
    , m_detail(roleLabel("rowDetail", this))
    , m_message(roleLabel("error", this))
    , m_controls(new QHBoxLayout)
{
    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    text->addWidget(m_title);
    text->addWidget(m_detail);
    auto* line = new QHBoxLayout;
    line->setSpacing(16);
    line->addLayout(text, 1);
    m_controls->setSpacing(8);
    line->addLayout(m_controls);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 10, 14, 10);
    column->setSpacing(6);
    column->addLayout(line);
    column->addWidget(m_message);
    m_message->hide();
}

void SettingsRow::addControl(QWidget* control) { m_controls->addWidget(control, 0, Qt::AlignVCenter); }

void SettingsRow::setMessage(const QString& text)
{
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

SettingsSection::SettingsSection(QWidget* parent)
    : QWidget(parent), m_title(roleLabel("sectionTitle", this)), m_card(new QFrame(this)), m_cardLayout(new QVBoxLayout(m_card))
{
    PreferencesStyle::setRole(m_card, "card");
    m_cardLayout->setContentsMargins(0, 2, 0, 2);
    m_cardLayout->setSpacing(0);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(m_title);
    column->addWidget(m_card);
}

SettingsRow* SettingsSection::addRow()
{
    auto* row = new SettingsRow(m_card);
    addWidget(row);
    return row;
}

void SettingsSection::addWidget(QWidget* widget)
{
    if (m_cardLayout->count() > 0) {
        auto* hairline = new QFrame(m_card);
        PreferencesStyle::setRole(hairline, "separator");
        hairline->setFixedHeight(1);
        m_cardLayout->addWidget(hairline);
    }
    widget->setParent(m_card);
    m_cardLayout->addWidget(widget);
}

PermissionRow::PermissionRow(QWidget* parent)
    : QWidget(parent)
    , m_symbol(new QLabel(this))
    , m_title(roleLabel("rowTitle", this))
    , m_detail(roleLabel("rowDetail", this))
    , m_primary(new QPushButton(this))
    , m_secondary(new QPushButton(this))
{
    m_symbol->setFixedSize(22, 22);
    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    text->addWidget(m_title);
    text->addWidget(m_detail);
    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(14, 10, 14, 10);
    line->setSpacing(10);
    line->addWidget(m_symbol, 0, Qt::AlignTop);
    line->addLayout(text, 1);
    line->addWidget(m_primary, 0, Qt::AlignVCenter);
    line->addWidget(m_secondary, 0, Qt::AlignVCenter);
    setState(PermissionState::info);
}

void PermissionRow::setState(PermissionState state)
{
    m_state = state;
    m_symbol->setPixmap(SymbolIcons::pixmap(stateSymbol(state), 20, stateColor(state), devicePixelRatioF()));
    m_symbol->setProperty("state", static_cast<int>(state));
}

RemovablePatternRow::RemovablePatternRow(const QString& text, QWidget* parent)
    : QWidget(parent), m_text(roleLabel("pattern", this)), m_remove(new QPushButton(this))
{
    m_text->setText(text);
    m_text->setWordWrap(false);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    PreferencesStyle::setRole(m_remove, "remove");
    m_remove->setIcon(QIcon(SymbolIcons::pixmap(QStringLiteral("xmark.circle.fill"), 16, PrefColors::secondary(), 2.0)));
    m_remove->setIconSize(QSize(16, 16));
    m_remove->setCursor(Qt::PointingHandCursor);
    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(14, 6, 10, 6);
    line->addWidget(m_text, 1);
    line->addWidget(m_remove);
    connect(m_remove, &QAbstractButton::clicked, this, &RemovablePatternRow::removeRequested);
}

QString RemovablePatternRow::text() const { return m_text->text(); }

SettingsDetail::SettingsDetail(QWidget* parent)
    : QScrollArea(parent), m_column(new QWidget), m_layout(new QVBoxLayout(m_column))
{
    m_column->setObjectName(QStringLiteral("SettingsColumn"));
    m_layout->setContentsMargins(24, 20, 24, 24);
    m_layout->setSpacing(18);
    setWidget(m_column);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    // Not a stop of its own in the focus chain: Tab goes from control to control, and the
    // column scrolls to the one that has the focus.
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

SettingsSection* SettingsDetail::addSection()
{
    auto* section = new SettingsSection(m_column);
    m_layout->addWidget(section);
    return section;
}

void SettingsDetail::addWidget(QWidget* widget)
{
    widget->setParent(m_column);
    m_layout->addWidget(widget);
}

void SettingsDetail::finish() { m_layout->addStretch(1); }

QPushButton* symbolButton(const QString& symbol, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    setButtonSymbol(button, symbol);
    return button;
}

void setButtonSymbol(QAbstractButton* button, const QString& symbol)
{
    button->setIcon(QIcon(SymbolIcons::pixmap(symbol, 14, PrefColors::primary(), 2.0)));
    button->setIconSize(QSize(14, 14));
    button->setProperty("symbol", symbol);
}

} // namespace ostrevane
