#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace ostrevane {

struct WindowItem;

// Which applications and windows never appear in the switcher. The three lists live in
// the current runtime's user defaults and are read at every use, so an edit applies at
// the next list build.
//
// Patterns are case-insensitive regular expressions that match anywhere in the text.
// An empty pattern, or one that does not compile, is skipped silently at each use, so
// one bad entry never disables the others.
namespace IgnoreFilter {
inline const QString appBundleIDsKey = QStringLiteral("Ostrevane.IgnoredAppBundleIDs");
inline const QString appRegexKey = QStringLiteral("Ostrevane.IgnoredAppRegex");
inline const QString windowRegexKey = QStringLiteral("Ostrevane.IgnoredWindowRegex");

// Bundle ids ignored exactly (case-sensitive). While the key has never been written
// this is the platform's list of system components; any stored array, even an empty
// one, replaces it. A stored value that is not an array of strings counts as absent.
QStringList ignoredAppBundleIDs();
QStringList ignoredAppRegex();    // patterns matched against application names
QStringList ignoredWindowRegex(); // patterns matched against window titles

// Each stores the whole list, then posts "Ostrevane.ignoreFilterChanged".
void setIgnoredAppBundleIDs(const QStringList& bundleIDs);
void setIgnoredAppRegex(const QStringList& patterns);
void setIgnoredWindowRegex(const QStringList& patterns);

// True when `bundleID` is in the ignored list, or some application pattern matches
// `name`. Installed applications are tested with this too.
bool shouldIgnoreApp(const std::optional<QString>& bundleID, const QString& name);

// True when the window's application is ignored, or its title is non-empty and some
// window pattern matches it. A window without a title is never dropped by a pattern.
bool shouldIgnoreWindow(const std::optional<QString>& appBundleID, const QString& appName, const QString& title);
bool shouldIgnoreWindow(const WindowItem& window);

// Whether some usable pattern of `patterns` matches anywhere in `text`.
bool anyPatternMatches(const QStringList& patterns, const QString& text);
} // namespace IgnoreFilter

} // namespace ostrevane
