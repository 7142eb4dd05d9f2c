#include "core/sources/WindowEnumerator.h"

#include "core/shell/PlatformProfile.h"

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

// Where raising a window activates it, the application is not asked first: on X11 that
// would be a second focus and restack, of another of its windows.
TEST(WindowEnumerator, WhereTheRaiseActivatesTheWindowItIsTheOnlyRequest)
{
    TestRuntime rt;
    const ProcessID editor = rt.desktop().launch(u"com.example.editor"_s, u"Editor"_s);
    rt.desktop().openWindow(editor, u"first"_s);
    rt.desktop().openWindow(editor, u"second"_s);
    const WindowItem window = itemFor(editor, u"second"_s);
    for (const bool raiseActivates : {false, true}) {
        PlatformProfile profile = PlatformProfile::macOS();
        profile.raisingAWindowActivatesIt = raiseActivates;
        rt.desktop().workspace.clearLog();
        const size_t raisesBefore = rt.accessibility.actions().size();

        WindowEnumerator::activate(window, {rt.desktop().workspace, rt.accessibility, rt.dispatcher(), rt.actions, profile});

        EXPECT_EQ(rt.desktop().workspace.log(), raiseActivates ? QStringList{} : QStringList{"activate 1001"});
        ASSERT_EQ(rt.accessibility.actions().size(), raisesBefore + 1);
        EXPECT_EQ(rt.accessibility.actions().back().name, AX::raise);
    }
}
