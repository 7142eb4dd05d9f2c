#include "core/model/PanelSettings.h"

#include "core/model/Localization.h"
#include "core/shell/NotificationCenter.h"
#include "core/shell/RuntimeContext.h"
#include "core/preferences/UserDefaults.h"

#include <array>

namespace ostrevane {

namespace {

// One case of a settings enumeration: its raw value and its English title.
template <class E>
struct Case {
    E value;
    const char* raw;
    const char* title;
};

constexpr std::array<Case<PanelEdge>, 2> kEdges{{
    {PanelEdge::left, "left", QT_TRANSLATE_NOOP("Ostrevane", "Left")},
    {PanelEdge::right, "right", QT_TRANSLATE_NOOP("Ostrevane", "Right")},
}};
constexpr std::array<Case<PanelWidth>, 3> kWidths{{
    {PanelWidth::compact, "compact", QT_TRANSLATE_NOOP("Ostrevane", "Compact")},
    {PanelWidth::normal, "normal", QT_TRANSLATE_NOOP("Ostrevane", "Normal")},
    {PanelWidth::wide, "wide", QT_TRANSLATE_NOOP("Ostrevane", "Wide")},
}};
constexpr std::array<Case<PanelFontSize>, 3> kFontSizes{{
    {PanelFontSize::small, "small", QT_TRANSLATE_NOOP("Ostrevane", "Small")},
    {PanelFontSize::normal, "normal", QT_TRANSLATE_NOOP("Ostrevane", "Normal")},
    {PanelFontSize::large, "large", QT_TRANSLATE_NOOP("Ostrevane", "Large")},
}};
constexpr std::array<Case<PanelDisplay>, 2> kDisplays{{
    {PanelDisplay::pointer, "pointer", QT_TRANSLATE_NOOP("Ostrevane", "Screen with Pointer")},
    {PanelDisplay::main, "main", QT_TRANSLATE_NOOP("Ostrevane", "Main Display")},
}};

template <class E, size_t N>
QList<E> casesOf(const std::array<Case<E>, N>& table)
{
    QList<E> values;
    for (const Case<E>& c : table)
        values.append(c.value);
    return values;
}

template <class E, size_t N>
const Case<E>& caseOf(const std::array<Case<E>, N>& table, E value)
{
    for (const Case<E>& c : table)
        if (c.value == value)
            return c;
    qWarning("Ostrevane: panel setting value %d is not a known case", static_cast<int>(value));
    return table.front();
}

template <class E, size_t N>
std::optional<E> fromRaw(const std::array<Case<E>, N>& table, const QString& raw)
{
    for (const Case<E>& c : table)
        if (raw == QLatin1String(c.raw))
            return c.value;
    return std::nullopt;
}

template <class E, size_t N>
QString titleOf(const std::array<Case<E>, N>& table, E value)
{
    return Localization::shared().string(caseOf(table, value).title);
}

UserDefaults& defaults() { return RuntimeContext::current().defaults(); }

template <class E, size_t N>
E readEnum(const std::array<Case<E>, N>& table, const QString& key, E fallback)
{
    const std::optional<QString> raw = defaults().string(key);
    return raw ? fromRaw(table, *raw).value_or(fallback) : fallback;
}

bool readBool(const QString& key) { return defaults().boolean(key).value_or(true); }

void store(const QString& key, const QVariant& value)
{
    defaults().set(key, value);
    NotificationCenter::shared().post(Notifications::panelSettingsChanged);
}

template <class E, size_t N>
void storeEnum(const std::array<Case<E>, N>& table, const QString& key, E value)
{
    store(key, QString::fromLatin1(caseOf(table, value).raw));
}

} // namespace

QList<PanelEdge> PanelEdges::allCases() { return casesOf(kEdges); }
QString PanelEdges::rawValue(PanelEdge value) { return QString::fromLatin1(caseOf(kEdges, value).raw); }
std::optional<PanelEdge> PanelEdges::fromRawValue(const QString& raw) { return fromRaw(kEdges, raw); }
QString PanelEdges::title(PanelEdge value) { return titleOf(kEdges, value); }

QList<PanelWidth> PanelWidths::allCases() { return casesOf(kWidths); }
QString PanelWidths::rawValue(PanelWidth value) { return QString::fromLatin1(caseOf(kWidths, value).raw); }
std::optional<PanelWidth> PanelWidths::fromRawValue(const QString& raw) { return fromRaw(kWidths, raw); }
QString PanelWidths::title(PanelWidth value) { return titleOf(kWidths, value); }

QList<PanelFontSize> PanelFontSizes::allCases() { return casesOf(kFontSizes); }
QString PanelFontSizes::rawValue(PanelFontSize value) { return QString::fromLatin1(caseOf(kFontSizes, value).raw); }
std::optional<PanelFontSize> PanelFontSizes::fromRawValue(const QString& raw) { return fromRaw(kFontSizes, raw); }
QString PanelFontSizes::title(PanelFontSize value) { return titleOf(kFontSizes, value); }

QList<PanelDisplay> PanelDisplays::allCases() { return casesOf(kDisplays); }
QString PanelDisplays::rawValue(PanelDisplay value) { return QString::fromLatin1(caseOf(kDisplays, value).raw); }
std::optional<PanelDisplay> PanelDisplays::fromRawValue(const QString& raw) { return fromRaw(kDisplays, raw); }
QString PanelDisplays::title(PanelDisplay value) { return titleOf(kDisplays, value); }

PanelEdge PanelSettings::edge() { return readEnum(kEdges, edgeKey, PanelEdge::right); }
void PanelSettings::setEdge(PanelEdge value) { storeEnum(kEdges, edgeKey, value); }
PanelWidth PanelSettings::width() { return readEnum(kWidths, widthKey, PanelWidth::normal); }
void PanelSettings::setWidth(PanelWidth value) { storeEnum(kWidths, widthKey, value); }
PanelFontSize PanelSettings::fontSize() { return readEnum(kFontSizes, fontSizeKey, PanelFontSize::normal); }
void PanelSettings::setFontSize(PanelFontSize value) { storeEnum(kFontSizes, fontSizeKey, value); }
PanelDisplay PanelSettings::display() { return readEnum(kDisplays, displayKey, PanelDisplay::pointer); }
void PanelSettings::setDisplay(PanelDisplay value) { storeEnum(kDisplays, displayKey, value); }

bool PanelSettings::showAppsWithoutWindows() { return readBool(showAppsWithoutWindowsKey); }
void PanelSettings::setShowAppsWithoutWindows(bool value) { store(showAppsWithoutWindowsKey, value); }
bool PanelSettings::preferBrowserTabsWhenFrontmost() { return readBool(preferBrowserTabsWhenFrontmostKey); }
void PanelSettings::setPreferBrowserTabsWhenFrontmost(bool value) { store(preferBrowserTabsWhenFrontmostKey, value); }

} // namespace ostrevane
