#include "core/WindowEnumerator.h"

#include "support/TestRuntime.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace ostrevane;

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
        log << QStringLiteral("read ") + attribute;
        return m_inner.copyAttribute(element, attribute);
    }
    void setBool(const AXElement& element, const QString& attribute, bool value) override
    {
        log << QStringLiteral("set %1 %2").arg(attribute, value ? QStringLiteral("true") : QStringLiteral("false"));
        m_inner.setBool(element, attribute, value);
    }
    void perform(const AXElement& element, const QString& action) override
    {
        log << QStringLiteral("perform ") + action;
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
        result << w.appName + QStringLiteral(": ") + w.title;
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

TEST(WindowEnumerator, ListsEveryWindowOfRegularAppsInWorkspaceAndWindowOrder)
{
    TestRuntime rt;
    SimDesktop& desktop = rt.desktop();
    const ProcessID terminal = desktop.launch(QStringLiteral("com.apple.Terminal"), QStringLiteral("Terminal"));
    desktop.openWindow(terminal, QStringLiteral("bash"));
    desktop.openWindow(terminal, QString());
    desktop.openWindow(terminal, QStringLiteral("Settings"), {.minimized = true, .subrole = QStringLiteral("AXDialog")});
    const ProcessID agent = desktop.launch(QStringLiteral("com.example.agent"), QStringLiteral("Agent"),
                                           ActivationPolicy::accessory);
    desktop.openWindow(agent, QStringLiteral("Agent popup"));
    const ProcessID daemon = desktop.launch(QStringLiteral("com.example.daemon"), QStringLiteral("Daemon"),
                                            ActivationPolicy::prohibited);
    desktop.openWindow(daemon, QStringLiteral("Hidden"));
    const ProcessID notes = desktop.launch(QStringLiteral("com.apple.Notes"), QStringLiteral("Notes"));
    desktop.openWindow(notes, QStringLiteral("Groceries"));

    const std::vector<WindowItem> windows = WindowEnumerator::enumerate();

    EXPECT_EQ(titles(windows), (QStringList{"Terminal: bash", "Terminal: ", "Terminal: Settings", "Notes: Groceries"}));
    const WindowItem& first = windows.front();
    EXPECT_EQ(first.pid, terminal);
    EXPECT_EQ(first.appBundleID, QStringLiteral("com.apple.Terminal"));
    EXPECT_EQ(first.cgWindowID, 5001u);
    EXPECT_EQ(first.axWindow, desktop.windows(terminal).front());
    EXPECT_NE(first.appIcon, nullptr);
    EXPECT_EQ(windows.back().cgWindowID, 5006u);
    EXPECT_FALSE(first.id.isNull());
    EXPECT_NE(WindowEnumerator::enumerate().front().id, first.id); // fresh ids every time
}

TEST(WindowEnumerator, AppWhoseWindowsCannotBeReadContributesNothingAndDisturbsNoOther)
{
    TestRuntime rt;
    SimDesktop& desktop = rt.desktop();
    const ProcessID locked = desktop.launch(QStringLiteral("com.example.locked"), QStringLiteral("Locked"));
    desktop.openWindow(locked, QStringLiteral("Secret"));
    desktop.makeWindowsUnreadable(locked);
    const ProcessID odd = desktop.launch(QStringLiteral("com.example.odd"), QStringLiteral("Odd"));
    rt.accessibility.setAttribute(desktop.applicationElement(odd), AX::windows, QStringLiteral("not a list"));
    const ProcessID notes = desktop.launch(QStringLiteral("com.apple.Notes"), QStringLiteral("Notes"));
    desktop.openWindow(notes, QStringLiteral("Groceries"));

    EXPECT_EQ(titles(WindowEnumerator::enumerate()), (QStringList{"Notes: Groceries"}));
}

TEST(WindowEnumerator, KeepsWindowsWithoutNumberOrTitleAndNamesNamelessAppsUnknown)
{
    TestRuntime rt;
    RunningApplication nameless;
    nameless.processIdentifier = 77;
    rt.desktop().workspace.addApplication(nameless);
    RunningApplication kernel;
    kernel.processIdentifier = 0;
    kernel.localizedName = QStringLiteral("kernel");
    rt.desktop().workspace.addApplication(kernel);
    // Elements as a desktop without the window-number call would give them.
    const AXElement untitled = SimAccessibility::makeElement();
    const AXElement report = SimAccessibility::makeElement();
    rt.accessibility.setAttribute(untitled, AX::title, true);
    rt.accessibility.setAttribute(report, AX::title, QStringLiteral("Report"));
    for (ProcessID pid : {77, 0}) {
        const AXElement app = SimAccessibility::makeElement();
        rt.accessibility.setApplication(pid, app);
        rt.accessibility.setAttribute(app, AX::windows, std::vector<AXElement>{untitled, report});
    }

    const std::vector<WindowItem> windows = WindowEnumerator::enumerate();

    EXPECT_EQ(titles(windows), (QStringList{"Unknown: ", "Unknown: Report"}));
    EXPECT_EQ(windows[0].pid, 77);
    EXPECT_EQ(windows[0].appBundleID, std::nullopt);
    EXPECT_EQ(windows[0].cgWindowID, std::nullopt);
    EXPECT_EQ(windows[1].cgWindowID, std::nullopt);
}

TEST(WindowEnumerator, OwnWindowsAreListedOnlyWhileTheProgramIsARegularApp)
{
    TestRuntime rt;
    const ProcessID settingsOpen = rt.desktop().launch(QStringLiteral("com.local.ostrevane"), QStringLiteral("Ostrevane"));
    rt.desktop().openWindow(settingsOpen, QStringLiteral("Settings"));
    EXPECT_EQ(titles(WindowEnumerator::enumerate()), (QStringList{"Ostrevane: Settings"}));
    EXPECT_EQ(WindowEnumerator::enumerate().front().pid, settingsOpen);

    TestRuntime accessory;
    const ProcessID panelOnly = accessory.desktop().launch(QStringLiteral("com.local.ostrevane"),
                                                           QStringLiteral("Ostrevane"), ActivationPolicy::accessory);
    accessory.desktop().openWindow(panelOnly, QStringLiteral("Panel"));
    EXPECT_TRUE(WindowEnumerator::enumerate().empty());
}

namespace {

struct ActivationCase {
    const char* name;
    bool minimized;
    QStringList expectedCalls;
};

class WindowActivation : public ::testing::TestWithParam<ActivationCase> {};

} // namespace

TEST_P(WindowActivation, ActivatesTheAppThenUnminimisesMakesMainFocusesAndRaises)
{
    TestRuntime rt;
    const ProcessID pid = rt.desktop().launch(QStringLiteral("com.apple.Notes"), QStringLiteral("Notes"));
    rt.desktop().openWindow(pid, QStringLiteral("Groceries"), {.minimized = GetParam().minimized});
    const WindowItem window = itemFor(pid, QStringLiteral("Groceries"));
    LoggingAccessibility ax(rt.accessibility);
    rt.desktop().workspace.clearLog();

    WindowEnumerator::activate(window, {rt.desktop().workspace, ax, rt.dispatcher(), rt.actions, PlatformProfile::macOS()});

    EXPECT_EQ(rt.desktop().workspace.log(), (QStringList{"activate 1001"}));
    EXPECT_EQ(ax.log, GetParam().expectedCalls);
    rt.advance(1.0);
    EXPECT_EQ(rt.desktop().workspace.log(), (QStringList{"activate 1001"})); // nothing scheduled
    EXPECT_EQ(ax.log.size(), GetParam().expectedCalls.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowActivation,
    ::testing::Values(
        ActivationCase{"Minimized", true,
                       {"read AXMinimized", "set AXMinimized false", "set AXMain true", "set AXFocused true",
                        "perform AXRaise"}},
        ActivationCase{"OnScreen", false,
                       {"read AXMinimized", "set AXMain true", "set AXFocused true", "perform AXRaise"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowEnumerator, FinderWindowIsRaisedAgainWithAllWindowsAfterFiftyMilliseconds)
{
    TestRuntime rt;
    const ProcessID finder = rt.desktop().launch(QStringLiteral("com.apple.finder"), QStringLiteral("Finder"));
    rt.desktop().openWindow(finder, QStringLiteral("Documents"));
    const WindowItem window = itemFor(finder, QStringLiteral("Documents"));
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
}

TEST(WindowEnumerator, FinderWindowWhoseProcessHasGoneOpensAFinderWindowInstead)
{
    TestRuntime rt;
    const ProcessID finder = rt.desktop().launch(QStringLiteral("com.apple.finder"), QStringLiteral("Finder"));
    rt.desktop().openWindow(finder, QStringLiteral("Documents"));
    const WindowItem window = itemFor(finder, QStringLiteral("Documents"));
    rt.desktop().workspace.setTerminated(finder);
    rt.desktop().workspace.clearLog();

    WindowEnumerator::activate(window);
    rt.advance(1.0);

    EXPECT_EQ(rt.actions.log, (QStringList{"ensureFinderWindow"}));
    EXPECT_TRUE(rt.desktop().workspace.log().isEmpty());
    EXPECT_TRUE(rt.accessibility.actions().empty());
}
