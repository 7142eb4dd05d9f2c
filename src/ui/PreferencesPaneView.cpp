#include "ui/PreferencesPaneView.h"

#include "core/input/HotkeySettings.h"
#include "core/shell/NotificationCenter.h"
#include "core/shell/RuntimeContext.h"
#include "core/platform/PanelPorts.h"
#include "ui/HotkeyRecorderView.h"

#include <QLayout>
#include <QPointer>
#include <QScrollArea>
#include <QVBoxLayout>

namespace ostrevane {

void PreferencesEnvironment::beep() const
{
    if (feedback)
        feedback->beep();
}

PreferencesPaneView::PreferencesPaneView(PreferencesPane pane, const PreferencesEnvironment& environment,
                                         QWidget* parent)
    : QWidget(parent), m_pane(pane), m_environment(environment), m_detail(new SettingsDetail(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_detail);
}

PreferencesPaneView::~PreferencesPaneView()
{
    if (!RuntimeContext::hasCurrent())
        return;
    for (const std::uint64_t token : m_observers)
        RuntimeContext::current().notifications().removeObserver(token);
}

namespace {

// The widgets under `layout` in the order it places them, depth first.
void collectInLayoutOrder(QLayout* layout, QList<QWidget*>& widgets);

void collectInLayoutOrder(QWidget* widget, QList<QWidget*>& widgets)
{
    if (widget->focusPolicy() & Qt::TabFocus)
        widgets << widget;
    if (auto* scroll = qobject_cast<QScrollArea*>(widget); scroll && scroll->widget())
        collectInLayoutOrder(scroll->widget(), widgets);
    else if (widget->layout())
        collectInLayoutOrder(widget->layout(), widgets);
}

void collectInLayoutOrder(QLayout* layout, QList<QWidget*>& widgets)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget())
            collectInLayoutOrder(item->widget(), widgets);
        else if (item->layout())
            collectInLayoutOrder(item->layout(), widgets);
    }
}

} // namespace

void PreferencesPaneView::orderFocusChain()
{
    // Controls are made before the row that shows them, and list rows come and go: the
    // chain that Qt keeps in order of making would jump about.
    QList<QWidget*> widgets;
    collectInLayoutOrder(layout(), widgets);
    for (qsizetype i = 1; i < widgets.size(); ++i)
        QWidget::setTabOrder(widgets.at(i - 1), widgets.at(i));
}

void PreferencesPaneView::retranslate()
{
    m_texts.retranslate();
    reload();
}

SettingsSection* PreferencesPaneView::addSection(const char* title)
{
    SettingsSection* section = m_detail->addSection();
    m_texts.setText(section->title(), title);
    return section;
}

SettingsRow* PreferencesPaneView::addRow(SettingsSection* section, const char* title, const char* detail)
{
    SettingsRow* row = section->addRow();
    m_texts.setText(row->title(), title);
    m_texts.setText(row->detail(), detail);
    return row;
}

HotkeyRecorderView* PreferencesPaneView::makeRecorder(bool allowPlainSpecialKeys, QSize size)
{
    auto* recorder = new HotkeyRecorderView(HotkeyConfig::defaultConfig(), allowPlainSpecialKeys, this);
    recorder->setFixedSize(size);
    recorder->setHotKeySuspender(m_environment.suspendHotKeys);
    recorder->setBeep([this] { m_environment.beep(); });
    return recorder;
}

void PreferencesPaneView::bindActivationHotkey(HotkeyRecorderView* recorder, QAbstractButton* reset)
{
    const auto store = [recorder](const HotkeyConfig& chord) {
        HotkeyStore::setCurrent(chord);
        recorder->setConfig(HotkeyStore::current());
    };
    connect(recorder, &HotkeyRecorderView::captured, this, store);
    connect(reset, &QAbstractButton::clicked, this, [store] { store(HotkeyConfig::defaultConfig()); });
    observe(Notifications::hotkeyChanged, [recorder] { recorder->setConfig(HotkeyStore::current()); });
}

void PreferencesPaneView::observe(const QString& name, std::function<void()> reaction)
{
    QPointer<PreferencesPaneView> self(this);
    m_observers.push_back(RuntimeContext::current().notifications().addObserver(
        name, [self, reaction = std::move(reaction)] {
            if (self)
                reaction();
        }));
}

} // namespace ostrevane
