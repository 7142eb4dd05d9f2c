#include "core/sources/WindowEnumerator.h"

#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/platform/Accessibility.h"
#include "core/platform/Dispatcher.h"
#include "core/platform/Workspace.h"

namespace ostrevane {

namespace {

// Ordinary task-bar applications only; the accessory policy this program normally runs
// with leaves it out, except while its settings window makes it regular.
bool isListed(const RunningApplication& app)
{
    return app.activationPolicy == ActivationPolicy::regular && app.processIdentifier >= 1;
}

std::optional<int> desktopNumber(const std::optional<QString>& text)
{
    bool ok = false;
    const int number = text ? text->toInt(&ok) : 0;
    return ok && number > 0 ? std::optional(number) : std::nullopt;
}

void appendWindows(const RunningApplication& app, Accessibility& accessibility, std::vector<WindowItem>& result)
{
    const AXElement element = accessibility.createApplication(app.processIdentifier);
    if (!element)
        return;
    // An unreadable list, or a value that is not a list of elements, gives no windows.
    const std::vector<AXElement> windows = accessibility.copyElements(element, AX::windows);
    for (const AXElement& window : windows) {
        WindowItem item;
        item.id = QUuid::createUuid();
        item.pid = app.processIdentifier;
        item.appName = app.localizedName.value_or(WindowEnumerator::unknownAppName);
        item.appBundleID = app.bundleIdentifier;
        item.appIcon = app.icon;
        item.title = accessibility.copyText(window, AX::title).value_or(QString());
        item.axWindow = window;
        item.cgWindowID = accessibility.windowNumber(window);
        item.isMinimized = accessibility.copyBool(window, AX::minimized).value_or(false);
        item.otherDesktop = desktopNumber(accessibility.copyText(window, AX::otherDesktop));
        result.push_back(std::move(item));
    }
}

// Un-minimises when the window says it is minimised, then makes it main, focused and
// raised. Results are not examined: a stale element simply stays where it is.

// Finder may bring another of its windows forward after the first activation; a second
// pass with all of its windows and one more raise settles it on ours.
void scheduleFinderSecondPass(const WindowItem& window, const WindowEnumerator::Ports& ports)
{
    Workspace* workspace = &ports.workspace;
    Accessibility* accessibility = &ports.accessibility;
    ports.dispatcher.asyncAfter(WindowEnumerator::finderReactivationDelay,
                                [workspace, accessibility, pid = window.pid, element = window.axWindow] {
                                    if (workspace->runningApplication(pid))
                                        workspace->activate(pid, ActivationOption::activateAllWindows);
                                    accessibility->perform(element, AX::raise);
                                });
}

} // namespace

std::vector<WindowItem> WindowEnumerator::enumerate()
{
    RuntimeContext& context = RuntimeContext::current();
    return enumerate(context.workspace(), context.accessibility());
}

std::vector<WindowItem> WindowEnumerator::enumerate(Workspace& workspace, Accessibility& accessibility)
{
    std::vector<WindowItem> result;
    for (const RunningApplication& app : workspace.runningApplications()) {
        if (isListed(app))
            appendWindows(app, accessibility, result);
    }
    return result;
}

void WindowEnumerator::activate(const WindowItem& window)
{
    RuntimeContext& context = RuntimeContext::current();
    activate(window, Ports{context.workspace(), context.accessibility(), context.dispatcher(), context.actions(),
                           context.profile()});
}

void WindowEnumerator::activate(const WindowItem& window, const Ports& ports)
{
    const bool isFinder = window.appBundleID == ports.profile.finderBundleID;
    const bool running = ports.workspace.runningApplication(window.pid).has_value();
    if (isFinder && !running) {
        ports.actions.ensureFinderWindow();
        return;
    }
    if (running && !(window.axWindow && ports.profile.raisingAWindowActivatesIt))
        ports.workspace.activate(window.pid, ActivationOption::none);
    raiseWindow(ports.accessibility, window.axWindow);
    if (isFinder)
        scheduleFinderSecondPass(window, ports);
}

void WindowEnumerator::raiseWindow(Accessibility& accessibility, const AXElement& window)
{
    if (accessibility.copyBool(window, AX::minimized) == true)
        accessibility.setBool(window, AX::minimized, false);
    accessibility.setBool(window, AX::main, true);
    accessibility.setBool(window, AX::focused, true);
    accessibility.perform(window, AX::raise);
}

} // namespace ostrevane
