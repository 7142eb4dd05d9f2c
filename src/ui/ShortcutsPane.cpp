#include "ui/ShortcutsPane.h"

#include "core/input/HotkeySettings.h"
#include "core/model/Localization.h"
#include "core/shell/NotificationCenter.h"
#include "core/shell/RuntimeContext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace ostrevane {

namespace {

constexpr QSize recorderSize(150, 28);

QString conflictText(ShortcutAction other)
{
    return Localization::shared().format(QT_TRANSLATE_NOOP("Ostrevane", "Conflicts with %@"),
                                         {ShortcutActions::title(other)});
}

} // namespace

ShortcutsPane::ShortcutsPane(const PreferencesEnvironment& environment, QWidget* parent)
    : PreferencesPaneView(PreferencesPane::shortcuts, environment, parent)
{
    buildActivation();
    for (const ShortcutGroup group : ShortcutGroups::allCases())
        buildGroup(group);

    auto* footer = new QWidget(this);
    auto* line = new QHBoxLayout(footer);
    line->setContentsMargins(0, 0, 0, 0);
    line->addStretch(1);
    m_resetAll = new QPushButton(footer);
    texts().setText(m_resetAll, QT_TRANSLATE_NOOP("Ostrevane", "Reset all shortcuts"));
    line->addWidget(m_resetAll);
    detail()->addWidget(footer);
    detail()->finish();
    connect(m_resetAll, &QPushButton::clicked, this, &ShortcutsPane::resetAll);

    observe(Notifications::shortcutsChanged, [this] { reload(); });
    reload();
}

void ShortcutsPane::buildActivation()
{
    SettingsRow* row = addRow(addSection(QT_TRANSLATE_NOOP("Ostrevane", "Activation")),
                              QT_TRANSLATE_NOOP("Ostrevane", "Show / Next"),
                              QT_TRANSLATE_NOOP("Ostrevane", "Global shortcut that opens Ostrevane and moves forward."));
    m_activation = makeRecorder(false, recorderSize);
    m_activationReset = new QPushButton(this);
    texts().setText(m_activationReset, QT_TRANSLATE_NOOP("Ostrevane", "Reset"));
    row->addControl(m_activation);
    row->addControl(m_activationReset);
    bindActivationHotkey(m_activation, m_activationReset);
}

void ShortcutsPane::buildGroup(ShortcutGroup group)
{
    SettingsSection* section = detail()->addSection();
    texts().bind(section->title(), [group] { return ShortcutGroups::title(group); },
                 [section](const QString& text) { section->title()->setText(text); });
    for (const ShortcutAction action : ShortcutGroups::actions(group)) {
        ActionRow entry;
        entry.row = section->addRow();
        texts().bind(entry.row, [action] { return ShortcutActions::title(action); },
                     [row = entry.row](const QString& text) { row->title()->setText(text); });
        texts().bind(entry.row, [action] { return ShortcutActions::detail(action); },
                     [row = entry.row](const QString& text) { row->detail()->setText(text); });
        PreferencesStyle::setRole(entry.row->message(), "conflict");
        entry.recorder = makeRecorder(true, recorderSize);
        entry.reset = new QPushButton(this);
        texts().setText(entry.reset, QT_TRANSLATE_NOOP("Ostrevane", "Reset"));
        entry.row->addControl(entry.recorder);
        entry.row->addControl(entry.reset);
        connect(entry.recorder, &HotkeyRecorderView::captured, this,
                [this, action](const HotkeyConfig& chord) { capture(action, chord); });
        connect(entry.reset, &QPushButton::clicked, this, [this, action] { reset(action); });
        m_rows[action] = entry;
    }
}

HotkeyRecorderView* ShortcutsPane::recorder(ShortcutAction action) const { return m_rows.at(action).recorder; }

QPushButton* ShortcutsPane::resetButton(ShortcutAction action) const { return m_rows.at(action).reset; }

SettingsRow* ShortcutsPane::row(ShortcutAction action) const { return m_rows.at(action).row; }

void ShortcutsPane::reload()
{
    m_activation->setConfig(HotkeyStore::current());
    m_hotkeys = ShortcutStore::allResolved();
    for (const auto& [action, entry] : m_rows)
        entry.recorder->setConfig(m_hotkeys.at(action));
    showConflicts();
}

void ShortcutsPane::showConflicts()
{
    for (const auto& [action, entry] : m_rows) {
        std::optional<ShortcutAction> other;
        if (const auto conflict = ShortcutStore::conflict(action, m_hotkeys.at(action), m_hotkeys))
            other = conflict->action;
        else if (const auto refused = m_refused.find(action); refused != m_refused.end())
            other = refused->second;
        entry.row->setMessage(other ? conflictText(*other) : QString());
    }
}

void ShortcutsPane::capture(ShortcutAction action, const HotkeyConfig& chord)
{
    if (const auto conflict = ShortcutStore::conflict(action, chord, m_hotkeys)) {
        environment().beep();
        m_refused[action] = conflict->action;
        showConflicts();
        return;
    }
    m_refused.erase(action);
    m_hotkeys[action] = chord;
    ShortcutStore::set(chord, action); // the store's notification reloads the pane
}

void ShortcutsPane::reset(ShortcutAction action)
{
    ShortcutMap overrides = ShortcutStore::all();
    overrides.erase(action);
    ShortcutStore::save(overrides);
    m_refused.erase(action);
    RuntimeContext::current().notifications().post(Notifications::shortcutsChanged);
    reload();
}

void ShortcutsPane::resetAll()
{
    ShortcutStore::resetAll();
    m_refused.clear();
    reload();
}

} // namespace ostrevane
