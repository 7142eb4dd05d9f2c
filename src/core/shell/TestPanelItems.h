#pragma once

#include "core/model/SwitchItem.h"

#include <QString>

#include <optional>
#include <vector>

namespace ostrevane {

class Workspace;

// The test panel mode: a launch switch that shows the panel over fixed sample rows,
// without enumerating anything and without the accessibility permission, and reports
// choices on standard output instead of acting on them. The rows are the same on every
// platform.
namespace TestPanelItems {

inline const char* const panelVariable = "OSTREVANE_TEST_PANEL";
inline const char* const selectionVariable = "OSTREVANE_TEST_SELECTION";
inline const QString browserBundleID = QStringLiteral("com.google.Chrome");
inline const QString browserPath = QStringLiteral("/Applications/Google Chrome.app");

// True only when OSTREVANE_TEST_PANEL is exactly "1".
bool shouldShowTestPanel();

// The four sample tabs of the sample browser, the first active in its front window.
std::vector<TabItem> chromeTabs(Workspace& workspace);
// An app row with a fresh identity; its path is the one a running copy reports, else
// "/Applications/<name>.app"; its icon is the workspace's icon for that path.
AppItem app(Workspace& workspace, const QString& bundleID, const QString& name);
// Eleven rows: the browser's tab group, then ten applications.
std::vector<SwitchItem> defaultVisibleItems(Workspace& workspace);
// The sample tabs as single tab rows, reachable through search.
std::vector<SwitchItem> hiddenSearchOnlyItems(Workspace& workspace);
// The overloads above on the current runtime's workspace.
std::vector<SwitchItem> defaultVisibleItems();
std::vector<SwitchItem> hiddenSearchOnlyItems();

// The first highlight for OSTREVANE_TEST_SELECTION (absent: nothing set) over `count`
// rows: "top" 0; "bottom" the last; a decimal integer clamped into the rows; anything
// else, or nothing, the sixth row (the last when fewer), 0 with fewer than two rows.
int selectedIndex(const std::optional<QString>& selection, int count);
// The same for the environment and the eleven default rows.
int selectedIndex();

} // namespace TestPanelItems

} // namespace ostrevane
