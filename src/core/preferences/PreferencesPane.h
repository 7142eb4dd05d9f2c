#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace ostrevane {

// The panes of the preferences window, in sidebar order. Raw values are also the names
// the command line takes ("ostrevane --preferences shortcuts").
enum class PreferencesPane { general, shortcuts, appearance, exceptions, feedback };

namespace PreferencesPanes {
QList<PreferencesPane> allCases();
// "general", "shortcuts", "appearance", "exceptions", "feedback".
QString rawValue(PreferencesPane pane);
// The pane a name asks for: a raw value, ignoring case and surrounding spaces; nothing
// for any other text.
std::optional<PreferencesPane> fromRawValue(const QString& raw);
// The sidebar title in the current language.
QString title(PreferencesPane pane);
// The name of the pane's sidebar symbol ("gearshape", "keyboard", ...).
QString symbol(PreferencesPane pane);
} // namespace PreferencesPanes

} // namespace ostrevane
