#pragma once

#include "core/platform/Workspace.h"

#include <QStringList>

namespace ostrevane {

class Accessibility;
struct PlatformProfile;

// Clears the screen for the in-panel "desktop" shortcut: every regular application is
// hidden, except this program, and the file manager, which owns the desktop, has its
// windows minimised instead. Nothing is restored later. One synchronous pass on the
// main thread; keeps no state. The overloads without ports use the installed context.
namespace DesktopController {

// Bundle ids never hidden: this program's own (its panel and settings window stay).
QStringList protectedBundleIDs(const PlatformProfile& profile);

void showDesktop();
void showDesktop(Workspace& workspace, Accessibility& accessibility, const PlatformProfile& profile);

// Minimises every window of `app`; hides `app` instead when its window list cannot be read.
void minimizeWindows(const RunningApplication& app, Workspace& workspace, Accessibility& accessibility);

} // namespace DesktopController

} // namespace ostrevane
