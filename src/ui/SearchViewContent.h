#pragma once

#include "core/input/ShortcutStore.h"
#include "core/model/SwitchItem.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace ostrevane {

// What the switcher view shows besides its rows, decided from plain values so that the
// rules are testable without a window: the footer's hints, the empty states, the browser
// permission banner and the search field's placeholder. Texts are localized when built.
namespace SearchViewContent {

// One footer chip: the key text and a short label ("⌥W/⌥S", "Move").
struct FooterHint {
    QString keys;
    QString label;
    friend bool operator==(const FooterHint&, const FooterHint&) = default;
};

// Which detail list, if any, the view shows.
enum class ListKind { main, tabs, windows };

// Without floating search: search, move, back (in a detail list) or in (on a group row),
// desktop, close, each from the resolved chords. With floating search: the fixed "A-Z"
// type and "⇥/↓" move keys, then open and close.
std::vector<FooterHint> footerHints(bool floatingActive, ListKind list, bool highlightedIsGroup,
                                    const ShortcutMap& resolved);

enum class EmptyState { none, noItemsWithoutAccessibility, noItems, noMatches };

// The close button's tooltip: "Close (⌥X)" on the Mac, "Close (<close chord>)" on Linux.
QString closeTooltip(const ShortcutMap& resolved);

// The empty state for the visible list: none while it has rows; with no items at all (or
// an empty default list) the accessibility text when the permission is missing, else the
// automation text; with items but no row for the query, "no matches".
EmptyState emptyState(bool hasItems, bool visibleListEmpty, const QString& query, bool accessibilityTrusted);

struct EmptyStateTexts {
    QString symbol;
    QString title;
    QString detail; // empty for "no matches"
};
EmptyStateTexts emptyStateTexts(EmptyState state, const QString& query);

// The banner asking for browser automation: the accessibility permission is granted, a
// supported browser runs, and the items hold no tab (as a row or inside a group) or only
// tabs without an address.
bool shouldShowTabPermissionWarning(bool accessibilityTrusted, const QStringList& runningBrowserNames,
                                    const std::vector<SwitchItem>& items);
QString tabPermissionWarningText();

// "Search all tabs", or "Search tabs in <app>" / "Search windows in <app>" in a detail list.
QString searchPlaceholder(ListKind list, const QString& appName);

// Between a row's subtitle and the notes that follow it.
inline const QString noteSeparator = QStringLiteral(" · ");

// What a window row says after its application's name when the window is not on the
// screen: "Minimised", the desktop it lies on ("Desktop 2"), or both; empty for a
// window in view and for rows of other kinds.
QString windowPlacementNote(const SwitchItem& item);

} // namespace SearchViewContent

} // namespace ostrevane
