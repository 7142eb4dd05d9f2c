#include "core/input/ShortcutStore.h"

#include "core/model/Localization.h"
#include "core/shell/InputLimits.h"
#include "core/shell/NotificationCenter.h"
#include "core/shell/RuntimeContext.h"
#include "core/preferences/UserDefaults.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <array>

namespace ostrevane {

namespace {

namespace Key {
constexpr quint32 a = 0, s = 1, d = 2, x = 7, q = 12, w = 13, returnKey = 36, escape = 53;
} // namespace Key

struct ActionInfo {
    ShortcutAction action;
    const char* rawValue;
    const char* title;
    const char* detail;
    HotkeyConfig defaultChord;
};

constexpr quint32 option = CarbonModifier::option;

// In action order; the position of an action in this table is its enum value.
const std::array<ActionInfo, 9> actionTable{{
    {ShortcutAction::moveUp, "moveUp", QT_TRANSLATE_NOOP("Ostrevane", "Move up"),
     QT_TRANSLATE_NOOP("Ostrevane", "Moves selection in the switcher."), {Key::w, option}},
    {ShortcutAction::moveDown, "moveDown", QT_TRANSLATE_NOOP("Ostrevane", "Move down"),
     QT_TRANSLATE_NOOP("Ostrevane", "Moves selection in the switcher."), {Key::s, option}},
    {ShortcutAction::openSelected, "openSelected", QT_TRANSLATE_NOOP("Ostrevane", "Open selected"),
     QT_TRANSLATE_NOOP("Ostrevane", "Opens the currently selected item."), {Key::returnKey, 0}},
    {ShortcutAction::search, "search", QT_TRANSLATE_NOOP("Ostrevane", "Search"),
     QT_TRANSLATE_NOOP("Ostrevane", "Starts searching when the search field is inactive."), {Key::returnKey, 0}},
    {ShortcutAction::cancel, "cancel", QT_TRANSLATE_NOOP("Ostrevane", "Cancel"),
     QT_TRANSLATE_NOOP("Ostrevane", "Closes the switcher without opening anything."), {Key::escape, 0}},
    {ShortcutAction::closeSelected, "closeSelected", QT_TRANSLATE_NOOP("Ostrevane", "Close selected"),
     QT_TRANSLATE_NOOP("Ostrevane", "Closes the selected tab, window, or app when available."), {Key::x, option}},
    {ShortcutAction::enterGroup, "enterGroup", QT_TRANSLATE_NOOP("Ostrevane", "Enter group"),
     QT_TRANSLATE_NOOP("Ostrevane", "Opens the selected tab or window group."), {Key::d, option}},
    {ShortcutAction::back, "back", QT_TRANSLATE_NOOP("Ostrevane", "Back"),
     QT_TRANSLATE_NOOP("Ostrevane", "Returns from a group detail view."), {Key::a, option}},
    {ShortcutAction::desktop, "desktop", QT_TRANSLATE_NOOP("Ostrevane", "Desktop"),
     QT_TRANSLATE_NOOP("Ostrevane", "Shows the desktop."), {Key::q, option}},
}};

// The first five actions navigate.
constexpr int navigationActionCount = 5;

const ActionInfo& info(ShortcutAction action) { return actionTable[static_cast<size_t>(action)]; }

QString localized(const char* english) { return Localization::shared().string(english); }

bool mayShareChord(ShortcutAction a, ShortcutAction b)
{
    const auto isOpenOrSearch = [](ShortcutAction x) {
        return x == ShortcutAction::openSelected || x == ShortcutAction::search;
    };
    return isOpenOrSearch(a) && isOpenOrSearch(b);
}

void postShortcutsChanged() { RuntimeContext::current().notifications().post(Notifications::shortcutsChanged); }

} // namespace

namespace ShortcutActions {

const QList<ShortcutAction>& allCases()
{
    static const QList<ShortcutAction> cases = [] {
        QList<ShortcutAction> list;
        for (const ActionInfo& entry : actionTable)
            list << entry.action;
        return list;
    }();
    return cases;
}

QString rawValue(ShortcutAction action) { return QString::fromLatin1(info(action).rawValue); }

std::optional<ShortcutAction> fromRawValue(const QString& raw)
{
    for (const ActionInfo& entry : actionTable)
        if (raw == QLatin1String(entry.rawValue))
            return entry.action;
    return std::nullopt;
}

QString title(ShortcutAction action) { return localized(info(action).title); }
QString detail(ShortcutAction action) { return localized(info(action).detail); }

ShortcutGroup group(ShortcutAction action)
{
    return static_cast<int>(action) < navigationActionCount ? ShortcutGroup::navigation : ShortcutGroup::actions;
}

HotkeyConfig defaultChord(ShortcutAction action) { return info(action).defaultChord; }

} // namespace ShortcutActions

namespace ShortcutGroups {

const QList<ShortcutGroup>& allCases()
{
    static const QList<ShortcutGroup> cases{ShortcutGroup::navigation, ShortcutGroup::actions};
    return cases;
}

QString id(ShortcutGroup group)
{
    return group == ShortcutGroup::navigation ? QStringLiteral("navigation") : QStringLiteral("actions");
}

QString title(ShortcutGroup group)
{
    return localized(group == ShortcutGroup::navigation ? QT_TRANSLATE_NOOP("Ostrevane", "Navigation")
                                                        : QT_TRANSLATE_NOOP("Ostrevane", "Actions"));
}

QList<ShortcutAction> actions(ShortcutGroup group)
{
    QList<ShortcutAction> result;
    for (ShortcutAction action : ShortcutActions::allCases())
        if (ShortcutActions::group(action) == group)
            result << action;
    return result;
}

} // namespace ShortcutGroups

namespace ShortcutStore {

// Any unreadable part makes the whole blob unreadable.
std::optional<ShortcutMap> decode(const QByteArray& blob)
{
    if (!InputLimits::jsonWithinLimits(blob))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(blob, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    ShortcutMap overrides;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const auto chord = HotkeyConfig::fromJson(it.value());
        if (!chord)
            return std::nullopt;
        if (const auto action = ShortcutActions::fromRawValue(it.key()))
            overrides[*action] = *chord;
    }
    return overrides;
}

ShortcutMap all()
{
    const auto blob = RuntimeContext::current().defaults().data(defaultsKey);
    if (!blob)
        return {};
    return decode(*blob).value_or(ShortcutMap{});
}

ShortcutMap allResolved()
{
    ShortcutMap resolved = all();
    for (ShortcutAction action : ShortcutActions::allCases())
        resolved.try_emplace(action, ShortcutActions::defaultChord(action));
    return resolved;
}

void set(const HotkeyConfig& chord, ShortcutAction action)
{
    ShortcutMap overrides = all();
    overrides[action] = chord;
    save(overrides);
    postShortcutsChanged();
}

void resetAll()
{
    RuntimeContext::current().defaults().remove(defaultsKey);
    postShortcutsChanged();
}

void save(const ShortcutMap& overrides)
{
    QJsonObject object;
    for (const auto& [action, chord] : overrides)
        object.insert(ShortcutActions::rawValue(action), chord.toJson());
    RuntimeContext::current().defaults().set(defaultsKey, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<ShortcutConflict> conflict(ShortcutAction action, const HotkeyConfig& candidate,
                                         const ShortcutMap& current)
{
    for (ShortcutAction other : ShortcutActions::allCases()) {
        if (other == action || mayShareChord(action, other))
            continue;
        const auto it = current.find(other);
        const HotkeyConfig chord = it != current.end() ? it->second : ShortcutActions::defaultChord(other);
        if (chord == candidate) {
            const QString message = Localization::shared().format(QT_TRANSLATE_NOOP("Ostrevane", "Conflicts with %@"),
                                                                  {ShortcutActions::title(other)});
            return ShortcutConflict{other, message};
        }
    }
    return std::nullopt;
}

} // namespace ShortcutStore

} // namespace ostrevane
