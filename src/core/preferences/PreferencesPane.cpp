#include "core/preferences/PreferencesPane.h"

#include "core/model/Localization.h"

#include <array>

namespace ostrevane {

namespace {

struct PaneCase {
    PreferencesPane pane;
    const char* raw;
    const char* title;
    const char* symbol;
};

constexpr std::array<PaneCase, 5> kPanes{{
    {PreferencesPane::general, "general", QT_TRANSLATE_NOOP("Ostrevane", "General"), "gearshape"},
    {PreferencesPane::shortcuts, "shortcuts", QT_TRANSLATE_NOOP("Ostrevane", "Shortcuts"), "keyboard"},
    {PreferencesPane::appearance, "appearance", QT_TRANSLATE_NOOP("Ostrevane", "Appearance"), "paintbrush"},
    {PreferencesPane::exceptions, "exceptions", QT_TRANSLATE_NOOP("Ostrevane", "Exceptions"), "nosign"},
    {PreferencesPane::feedback, "feedback", QT_TRANSLATE_NOOP("Ostrevane", "Feedback"),
     "bubble.left.and.bubble.right"},
}};

const PaneCase& caseOf(PreferencesPane pane)
{
    for (const PaneCase& c : kPanes)
        if (c.pane == pane)
            return c;
    return kPanes.front();
}

} // namespace

QList<PreferencesPane> PreferencesPanes::allCases()
{
    QList<PreferencesPane> panes;
    for (const PaneCase& c : kPanes)
        panes.append(c.pane);
    return panes;
}

QString PreferencesPanes::rawValue(PreferencesPane pane) { return QString::fromLatin1(caseOf(pane).raw); }

std::optional<PreferencesPane> PreferencesPanes::fromRawValue(const QString& raw)
{
    const QString name = raw.trimmed();
    for (const PaneCase& c : kPanes)
        if (name.compare(QLatin1String(c.raw), Qt::CaseInsensitive) == 0)
            return c.pane;
    return std::nullopt;
}

QString PreferencesPanes::title(PreferencesPane pane) { return Localization::shared().string(caseOf(pane).title); }

QString PreferencesPanes::symbol(PreferencesPane pane) { return QString::fromLatin1(caseOf(pane).symbol); }

} // namespace ostrevane
