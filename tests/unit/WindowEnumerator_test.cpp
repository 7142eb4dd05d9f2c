#include "core/WindowEnumerator.h"

#include "support/TestRuntime.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace Qt::StringLiterals;

namespace {

// Passes every call to the simulated desktop and writes it down in call order, so a
// test can check the order of reads, writes and actions together.
class LoggingAccessibility : public Accessibility {
public:
    explicit LoggingAccessibility(Accessibility& inner) : m_inner(inner) {}
    QStringList log;

    bool isProcessTrusted() override { return m_inner.isProcessTrusted(); }
    AXElement createApplication(ProcessID pid) override { return m_inner.createApplication(pid); }
    AXValue copyAttribute(const AXElement& element, const QString& attribute) override
    {
        log << u"read "_s + attribute;
        return m_inner.copyAttribute(element, attribute);
    }
    void setBool(const AXElement& element, const QString& attribute, bool value) override
    {
        log << u"set %1 %2"_s.arg(attribute, value ? u"true"_s : u"false"_s);
        m_inner.setBool(element, attribute, value);
    }
    void perform(const AXElement& element, const QString& action) override
    {
        log << u"perform "_s + action;
        m_inner.perform(element, action);
    }
    std::optional<quint32> windowNumber(const AXElement& element) override { return m_inner.windowNumber(element); }

private:
    Accessibility& m_inner;
};

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
    const WindowItem& first = windows.front();
    EXPECT_EQ(std::tuple(first.pid, first.appBundleID, first.cgWindowID),
              std::tuple(terminal, std::optional(u"com.apple.Terminal"_s), std::optional(5001u)));
    EXPECT_EQ(first.axWindow, desktop.windows(terminal).front());
    EXPECT_NE(WindowEnumerator::enumerate().front().id, first.id); // fresh ids every time
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

TEST(WindowEnumerator, ActivationActivatesTheAppThenUnminimisesMakesMainFocusesAndRaisesOnce)
{
    for (const bool minimized : {true, false}) {
        TestRuntime rt;
        const ProcessID pid = rt.desktop().launch(u"com.apple.Notes"_s, u"Notes"_s);
        rt.desktop().openWindow(pid, u"Groceries"_s, {.minimized = minimized});
        const WindowItem window = itemFor(pid, u"Groceries"_s);
        LoggingAccessibility ax(rt.accessibility);
        rt.desktop().workspace.clearLog();

        WindowEnumerator::activate(window, {rt.desktop().workspace, ax, rt.dispatcher(), rt.actions, PlatformProfile::macOS()});
        rt.advance(1.0); // nothing more is scheduled

        EXPECT_EQ(rt.desktop().workspace.log(), (QStringList{"activate 1001"}));
        QStringList expected{"read AXMinimized", "set AXMain true", "set AXFocused true", "perform AXRaise"};
        if (minimized)
            expected.insert(1, u"set AXMinimized false"_s);
        EXPECT_EQ(ax.log, expected);
    }
}

TEST(WindowEnumerator, FinderWindowIsRaisedAgainWithAllWindowsAfterFiftyMillisecondsOrOpenedAnewOnceGone)
{
    TestRuntime rt;
    const ProcessID finder = rt.desktop().launch(u"com.apple.finder"_s, u"Finder"_s);
    rt.desktop().openWindow(finder, u"Documents"_s);
    const WindowItem window = itemFor(finder, u"Documents"_s);
    LoggingAccessibility ax(rt.accessibility);
    rt.desktop().workspace.clearLog();

    WindowEnumerator::activate(window, {rt.desktop().workspace, ax, rt.dispatcher(), rt.actions, PlatformProfile::macOS()});
    rt.advance(0.04);
    EXPECT_EQ(rt.desktop().workspace.log(), (QStringList{"activate 1001"}));
    rt.advance(0.01);
    EXPECT_EQ(rt.desktop().workspace.log(), (QStringList{"activate 1001", "activate 1001 all"}));
    EXPECT_EQ(ax.log, (QStringList{"read AXMinimized", "set AXMain true", "set AXFocused true", "perform AXRaise",
                                   "perform AXRaise"}));
    EXPECT_TRUE(rt.actions.log.isEmpty());

    rt.desktop().workspace.setTerminated(finder);
    rt.desktop().workspace.clearLog();
    WindowEnumerator::activate(window);
    rt.advance(1.0);
    EXPECT_EQ(rt.actions.log, (QStringList{"ensureFinderWindow"}));
    EXPECT_TRUE(rt.desktop().workspace.log().isEmpty());
    EXPECT_EQ(rt.accessibility.actions().size(), 2u); // the two raises above only
}
