#include "core/sources/WindowEnumerator.h"

#include "support/TestRuntime.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace Qt::StringLiterals;

namespace {

QStringList titles(const std::vector<WindowItem>& windows)
{
    QStringList result;
    for (const WindowItem& w : windows)
        result << w.appName + u": "_s + w.title;
    return result;
}

WindowItem itemFor(ProcessID pid, const QString& title)
{
    for (const WindowItem& w : WindowEnumerator::enumerate())
        if (w.pid == pid && w.title == title)
            return w;
    ADD_FAILURE() << "no window " << title.toStdString();
    return {};
}

} // namespace

TEST(WindowEnumerator, ListsEveryWindowOfRegularAppsInWorkspaceAndWindowOrderSkippingUnreadableApps)
{
    TestRuntime rt;
    SimDesktop& desktop = rt.desktop();
    const ProcessID terminal = desktop.launch(u"com.apple.Terminal"_s, u"Terminal"_s);
    desktop.openWindow(terminal, u"bash"_s);
    desktop.openWindow(terminal, QString());
    desktop.openWindow(terminal, u"Settings"_s, {.minimized = true, .subrole = u"AXDialog"_s});
    desktop.openWindow(desktop.launch(u"com.example.agent"_s, u"Agent"_s, ActivationPolicy::accessory), u"Popup"_s);
    desktop.openWindow(desktop.launch(u"com.example.daemon"_s, u"Daemon"_s, ActivationPolicy::prohibited), u"Hidden"_s);
    const ProcessID locked = desktop.launch(u"com.example.locked"_s, u"Locked"_s);
    desktop.openWindow(locked, u"Secret"_s);
    desktop.makeWindowsUnreadable(locked);
    const ProcessID odd = desktop.launch(u"com.example.odd"_s, u"Odd"_s);
    rt.accessibility.setAttribute(desktop.applicationElement(odd), AX::windows, u"not a list"_s);
    desktop.openWindow(desktop.launch(u"com.apple.Notes"_s, u"Notes"_s), u"Groceries"_s);

    const std::vector<WindowItem> windows = WindowEnumerator::enumerate();

    EXPECT_EQ(titles(windows), (QStringList{"Terminal: bash", "Terminal: ", "Terminal: Settings", "Notes: Groceries"}));
    EXPECT_NE(WindowEnumerator::enumerate().front().id, windows.front().id); // fresh ids every time
}

TEST(WindowEnumerator, KeepsWindowsWithoutNumberOrTitleAndNamesNamelessAppsUnknown)
{
    TestRuntime rt;
    RunningApplication nameless;
    nameless.processIdentifier = 77;
    rt.desktop().workspace.addApplication(nameless);
    RunningApplication kernel = nameless;
    kernel.processIdentifier = 0; // no process to read: skipped
    kernel.localizedName = u"kernel"_s;
    rt.desktop().workspace.addApplication(kernel);
    // Elements as a desktop without the window-number call would give them.
    const AXElement untitled = SimAccessibility::makeElement();
    const AXElement report = SimAccessibility::makeElement();
    rt.accessibility.setAttribute(untitled, AX::title, true);
    rt.accessibility.setAttribute(report, AX::title, u"Report"_s);
    for (ProcessID pid : {77, 0}) {
        const AXElement app = SimAccessibility::makeElement();
        rt.accessibility.setApplication(pid, app);
        rt.accessibility.setAttribute(app, AX::windows, std::vector<AXElement>{untitled, report});
    }

    const std::vector<WindowItem> windows = WindowEnumerator::enumerate();

    EXPECT_EQ(titles(windows), (QStringList{"Unknown: ", "Unknown: Report"}));
    EXPECT_EQ(std::tuple(windows[0].pid, windows[0].appBundleID, windows[1].cgWindowID),
              std::tuple(ProcessID(77), std::optional<QString>(), std::optional<quint32>()));
}

TEST(WindowEnumerator, SaysWhichWindowsAreMinimisedOrOnAnotherDesktop)
{
    TestRuntime rt;
    SimDesktop& desktop = rt.desktop();
    const ProcessID terminal = desktop.launch(u"com.apple.Terminal"_s, u"Terminal"_s);
    for (const QString& title : {u"shown"_s, u"elsewhere"_s, u"unreadable"_s})
        desktop.openWindow(terminal, title);
    desktop.openWindow(terminal, u"minimised"_s, {.minimized = true});
    rt.accessibility.setAttribute(itemFor(terminal, u"elsewhere"_s).axWindow, AX::otherDesktop, u"2"_s);
    rt.accessibility.setAttribute(itemFor(terminal, u"unreadable"_s).axWindow, AX::otherDesktop, u"first"_s);

    std::vector<std::tuple<QString, bool, std::optional<int>>> placed;
    for (const WindowItem& w : WindowEnumerator::enumerate())
        placed.emplace_back(w.title, w.isMinimized, w.otherDesktop);

    EXPECT_EQ(placed, (std::vector<std::tuple<QString, bool, std::optional<int>>>{
                          {u"shown"_s, false, std::nullopt},
                          {u"elsewhere"_s, false, 2},
                          {u"unreadable"_s, false, std::nullopt},
                          {u"minimised"_s, true, std::nullopt},
                      }));
}

TEST(WindowEnumerator, FinderWindowIsRaisedAgainWithAllWindowsAfterFiftyMillisecondsOrOpenedAnewOnceGone)
{
    TestRuntime rt;
    const ProcessID finder = rt.desktop().launch(u"com.apple.finder"_s, u"Finder"_s);
    rt.desktop().openWindow(finder, u"Documents"_s);
    const WindowItem window = itemFor(finder, u"Documents"_s);
    rt.desktop().workspace.clearLog();

    WindowEnumerator::activate(window);
    rt.advance(0.04);
    EXPECT_EQ(rt.desktop().workspace.log(), (QStringList{"activate 1001"}));
    rt.advance(0.01);
    EXPECT_EQ(rt.desktop().workspace.log(), (QStringList{"activate 1001", "activate 1001 all"}));
    EXPECT_EQ(rt.accessibility.actions().size(), 2u);

    rt.desktop().workspace.setTerminated(finder);
    rt.desktop().workspace.clearLog();
    WindowEnumerator::activate(window);
    rt.advance(1.0);
    EXPECT_EQ(rt.actions.log, (QStringList{"ensureFinderWindow"}));
    EXPECT_TRUE(rt.desktop().workspace.log().isEmpty());
    EXPECT_EQ(rt.accessibility.actions().size(), 2u); // the two raises above only
}
