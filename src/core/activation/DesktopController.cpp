#include "core/activation/DesktopController.h"

#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/platform/Accessibility.h"

namespace ostrevane::DesktopController {

QStringList protectedBundleIDs(const PlatformProfile& profile) { return {profile.ownBundleID}; }

void showDesktop()
{
    RuntimeContext& context = RuntimeContext::current();
    showDesktop(context.workspace(), context.accessibility(), context.profile());
}

void showDesktop(Workspace& workspace, Accessibility& accessibility, const PlatformProfile& profile)
{
    const QStringList untouchable = protectedBundleIDs(profile);
    for (const RunningApplication& app : workspace.runningApplications()) {
        // Background agents and tray-only programs have nothing on the desktop to clear.
        if (app.activationPolicy != ActivationPolicy::regular || !app.bundleIdentifier)
            continue;
        if (untouchable.contains(*app.bundleIdentifier))
            continue;
        // Hiding the file manager would also hide the desktop it draws.
        if (*app.bundleIdentifier == profile.finderBundleID)
            minimizeWindows(app, workspace, accessibility);
        else
            workspace.hide(app.processIdentifier);
    }
}

void minimizeWindows(const RunningApplication& app, Workspace& workspace, Accessibility& accessibility)
{
    const AXElement element = accessibility.createApplication(app.processIdentifier);
    const AXValue windows = element ? accessibility.copyAttribute(element, AX::windows) : AXValue{};
    const auto* list = std::get_if<std::vector<AXElement>>(&windows);
    if (!list) {
        workspace.hide(app.processIdentifier);
        return;
    }
    for (const AXElement& window : *list)
        accessibility.setBool(window, AX::minimized, true);
}

} // namespace ostrevane::DesktopController
