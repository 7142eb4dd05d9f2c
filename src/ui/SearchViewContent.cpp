#include "ui/SearchViewContent.h"

#include "core/input/KeyCodeNames.h"
#include "core/model/Localization.h"
#include "core/panel/PanelKeyRules.h"

namespace ostrevane::SearchViewContent {

namespace {

QString localized(const char* english) { return Localization::shared().string(english); }

QString chord(const ShortcutMap& resolved, ShortcutAction action)
{
    const auto it = resolved.find(action);
    return (it != resolved.end() ? it->second : ShortcutActions::defaultChord(action)).displayString();
}

FooterHint hint(const ShortcutMap& resolved, ShortcutAction action, const char* label)
{
    return {chord(resolved, action), localized(label)};
}

std::vector<FooterHint> browsingHints(ListKind list, bool highlightedIsGroup, const ShortcutMap& resolved)
{
    std::vector<FooterHint> hints;
    hints.push_back(hint(resolved, ShortcutAction::search, QT_TRANSLATE_NOOP("Ostrevane", "Search")));
    hints.push_back({chord(resolved, ShortcutAction::moveUp) + QLatin1Char('/') + chord(resolved, ShortcutAction::moveDown),
                     localized(QT_TRANSLATE_NOOP("Ostrevane", "Move"))});
    if (list != ListKind::main)
        hints.push_back(hint(resolved, ShortcutAction::back, QT_TRANSLATE_NOOP("Ostrevane", "Back")));
    else if (highlightedIsGroup)
        hints.push_back(hint(resolved, ShortcutAction::enterGroup, QT_TRANSLATE_NOOP("Ostrevane", "In")));
    hints.push_back(hint(resolved, ShortcutAction::desktop, QT_TRANSLATE_NOOP("Ostrevane", "Desk")));
    hints.push_back(hint(resolved, ShortcutAction::cancel, QT_TRANSLATE_NOOP("Ostrevane", "Close")));
    return hints;
}

bool tabHasAddress(const TabItem& tab) { return !tab.url.isEmpty(); }

bool itemHasAddressedTab(const SwitchItem& item)
{
    if (const auto* tab = item.as<TabItem>())
        return tabHasAddress(*tab);
    if (const auto* group = item.as<TabGroupItem>())
        return std::any_of(group->tabs.begin(), group->tabs.end(), tabHasAddress);
    return false;
}

} // namespace

std::vector<FooterHint> footerHints(bool floatingActive, ListKind list, bool highlightedIsGroup,
                                    const ShortcutMap& resolved)
{
    if (!floatingActive)
        return browsingHints(list, highlightedIsGroup, resolved);
    return {
        {QStringLiteral("A-Z"), localized(QT_TRANSLATE_NOOP("Ostrevane", "Type"))},
        {KeyCodeNames::name(PanelKeyCode::tab, currentChordStyle()) + QLatin1Char('/')
             + KeyCodeNames::name(PanelKeyCode::down, currentChordStyle()),
         localized(QT_TRANSLATE_NOOP("Ostrevane", "Move"))},
        hint(resolved, ShortcutAction::openSelected, QT_TRANSLATE_NOOP("Ostrevane", "Open")),
        hint(resolved, ShortcutAction::cancel, QT_TRANSLATE_NOOP("Ostrevane", "Close")),
    };
}

// Linux names the user's close chord; the Mac text names ⌥X as it stands.
QString closeTooltip(const ShortcutMap& resolved)
{
    return Localization::fill(Localization::shared().platformString(QT_TRANSLATE_NOOP("Ostrevane", "Close (⌥X)")),
                              {chord(resolved, ShortcutAction::closeSelected)});
}

EmptyState emptyState(bool hasItems, bool visibleListEmpty, const QString& query, bool accessibilityTrusted)
{
    if (!visibleListEmpty)
        return EmptyState::none;
    // An empty default list (only hidden rows) reads like no items: there is no query to
    // report as unmatched.
    if (!hasItems || query.isEmpty())
        return accessibilityTrusted ? EmptyState::noItems : EmptyState::noItemsWithoutAccessibility;
    return EmptyState::noMatches;
}

EmptyStateTexts emptyStateTexts(EmptyState state, const QString& query)
{
    const QString noItemsTitle = localized(QT_TRANSLATE_NOOP("Ostrevane", "No windows or tabs available"));
    switch (state) {
    case EmptyState::noItemsWithoutAccessibility:
        return {QStringLiteral("lock.shield"), noItemsTitle,
                Localization::shared().platformString(QT_TRANSLATE_NOOP(
                    "Ostrevane", "Enable Accessibility for Ostrevane in System Settings → Privacy & Security."))};
    case EmptyState::noItems:
        return {QStringLiteral("lock.shield"), noItemsTitle,
                localized(QT_TRANSLATE_NOOP("Ostrevane", "Grant Automation access when prompted, then re-open "
                                                         "Ostrevane."))};
    case EmptyState::noMatches:
        return {QStringLiteral("magnifyingglass"),
                Localization::shared().format(QT_TRANSLATE_NOOP("Ostrevane", "No matches for \"%@\""), {query}),
                {}};
    case EmptyState::none:
        break;
    }
    return {};
}

bool shouldShowTabPermissionWarning(bool accessibilityTrusted, const QStringList& runningBrowserNames,
                                    const std::vector<SwitchItem>& items)
{
    if (!accessibilityTrusted || runningBrowserNames.isEmpty())
        return false;
    return std::none_of(items.begin(), items.end(), itemHasAddressedTab);
}

QString tabPermissionWarningText()
{
    return Localization::shared().platformString(
        QT_TRANSLATE_NOOP("Ostrevane", "Browser tabs need Automation permission for full titles and URLs."));
}

QString searchPlaceholder(ListKind list, const QString& appName)
{
    switch (list) {
    case ListKind::tabs:
        return Localization::shared().format(QT_TRANSLATE_NOOP("Ostrevane", "Search tabs in %@"), {appName});
    case ListKind::windows:
        return Localization::shared().format(QT_TRANSLATE_NOOP("Ostrevane", "Search windows in %@"), {appName});
    case ListKind::main:
        break;
    }
    return localized(QT_TRANSLATE_NOOP("Ostrevane", "Search all tabs"));
}

QString windowPlacementNote(const SwitchItem& item)
{
    const auto* window = item.as<WindowItem>();
    if (!window)
        return {};
    QStringList notes;
    if (window->isMinimized)
        notes << localized(QT_TRANSLATE_NOOP("Ostrevane", "Minimised"));
    if (window->otherDesktop)
        notes << Localization::shared().format(QT_TRANSLATE_NOOP("Ostrevane", "Desktop %d"),
                                               {QString::number(*window->otherDesktop)});
    return notes.join(noteSeparator);
}

} // namespace ostrevane::SearchViewContent
