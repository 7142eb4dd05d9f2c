#pragma once

#include "core/platform/PanelOptions.h"

#include <QList>
#include <QString>

#include <optional>

namespace ostrevane {

// For each enumeration: all cases in order, the raw value, the case for a raw value
// (nothing for unknown text) and the title in the current language.
namespace PanelEdges {
QList<PanelEdge> allCases();
QString rawValue(PanelEdge value);
std::optional<PanelEdge> fromRawValue(const QString& raw);
QString title(PanelEdge value);
} // namespace PanelEdges

namespace PanelWidths {
QList<PanelWidth> allCases();
QString rawValue(PanelWidth value);
std::optional<PanelWidth> fromRawValue(const QString& raw);
QString title(PanelWidth value);
} // namespace PanelWidths

namespace PanelFontSizes {
QList<PanelFontSize> allCases();
QString rawValue(PanelFontSize value);
std::optional<PanelFontSize> fromRawValue(const QString& raw);
QString title(PanelFontSize value);
} // namespace PanelFontSizes

namespace PanelDisplays {
QList<PanelDisplay> allCases();
QString rawValue(PanelDisplay value);
std::optional<PanelDisplay> fromRawValue(const QString& raw);
QString title(PanelDisplay value);
} // namespace PanelDisplays

// The panel's settings in the current runtime's user defaults. Never cached: each
// getter reads the store, so a change applies at the next read. A missing value, one
// of another type or an unknown raw value reads as the default (right edge, normal
// width and font size, the pointer's screen, both booleans true); nothing is written
// back. Each setter stores the value and posts "Ostrevane.panelSettingsChanged".
namespace PanelSettings {
inline const QString edgeKey = QStringLiteral("Ostrevane.PanelEdge");
inline const QString widthKey = QStringLiteral("Ostrevane.PanelWidth");
inline const QString fontSizeKey = QStringLiteral("Ostrevane.PanelFontSize");
inline const QString displayKey = QStringLiteral("Ostrevane.PanelDisplay");
inline const QString showAppsWithoutWindowsKey = QStringLiteral("Ostrevane.ShowAppsWithoutWindows");
inline const QString preferBrowserTabsWhenFrontmostKey = QStringLiteral("Ostrevane.PreferBrowserTabsWhenFrontmost");

PanelEdge edge();
void setEdge(PanelEdge value);
PanelWidth width();
void setWidth(PanelWidth value);
PanelFontSize fontSize();
void setFontSize(PanelFontSize value);
PanelDisplay display();
void setDisplay(PanelDisplay value);

// Rows for running applications that have no window.
bool showAppsWithoutWindows();
void setShowAppsWithoutWindows(bool value);
// Open the panel on the tabs of a frontmost browser.
bool preferBrowserTabsWhenFrontmost();
void setPreferBrowserTabsWhenFrontmost(bool value);
} // namespace PanelSettings

} // namespace ostrevane
