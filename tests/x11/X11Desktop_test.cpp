#include "X11BackendFixture.h"

#include "core/sources/WindowEnumerator.h"
#include "support/RecordingActions.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>

namespace ostrevane::x11test {
namespace {

using X11Desktop = X11BackendTest;

const WindowItem* findTitle(const std::vector<WindowItem>& items, const QString& title)
{
    const auto found = std::find_if(items.begin(), items.end(), [&](const WindowItem& w) { return w.title == title; });
    return found == items.end() ? nullptr : &*found;
}

// Lists the applications, then lets a chosen client die before their windows are read.
class VanishingWorkspace : public X11Workspace {
public:
    using X11Workspace::X11Workspace;
    std::function<void()> afterListing;

    std::vector<RunningApplication> runningApplications() override
    {
        std::vector<RunningApplication> apps = X11Workspace::runningApplications();
        if (afterListing)
            afterListing();
        return apps;
    }
};

TEST_F(X11Desktop, ListingRepeatedAfterAWindowOpensIncludesIt)
{
    pid_t first = 0, second = 0;
    ASSERT_NE(startXterm(QStringLiteral("Early"), &first), XCB_NONE);
    ASSERT_EQ(workspace->runningApplications().size(), 1u);

    ASSERT_NE(startXterm(QStringLiteral("Late"), &second), XCB_NONE);
    std::vector<ProcessID> listed;
    for (const RunningApplication& app : workspace->runningApplications())
        listed.push_back(app.processIdentifier);

    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<ProcessID>{std::min(first, second), std::max(first, second)}));
}

// Switching itself is proven end to end; here, that a window raised without the focus does
// not come before the one in front, which is where Alt+Tab right after start must go from.
TEST_F(X11Desktop, AWindowRaisedWithoutTheFocusDoesNotComeBeforeTheActiveOne)
{
    const xcb_window_t first = startXterm(QStringLiteral("First"));
    const xcb_window_t second = startXterm(QStringLiteral("Second"));
    ASSERT_NE(first, XCB_NONE);
    ASSERT_NE(second, XCB_NONE);
    // openbox gives a new window the focus a moment after mapping it; taken back before
    // that, the focus would go on to the new window after all.
    ASSERT_TRUE(waitUntil([&] { return isActive(second); }));
    clients->activate(first);
    ASSERT_TRUE(waitUntil([&] { return isActive(first); }));
    const auto firstListed = [&] { return WindowEnumerator::enumerate(*workspace, *accessibility).front().title; };
    ASSERT_TRUE(waitUntil([&] { return firstListed() == QStringLiteral("First"); }));

    s_session->start({QStringLiteral("xdotool"), QStringLiteral("windowraise"), QString::number(second)});
    ASSERT_TRUE(waitUntil([&] { return clients->stacking().front().window == second; }));
    EXPECT_EQ(firstListed(), QStringLiteral("First"));
}

TEST_F(X11Desktop, IconifiedWindowReadsMinimizedActivationRestoresItAndHidingItsApplicationIconifiesIt)
{
    pid_t pid = 0;
    const xcb_window_t window = startXterm(QStringLiteral("Folding"), &pid);
    ASSERT_NE(window, XCB_NONE);
    const AXElement element = X11Accessibility::windowElement(window, pid);

    accessibility->setBool(element, AX::minimized, true);
    ASSERT_TRUE(waitUntil([&] { return isHidden(window); }));
    EXPECT_EQ(accessibility->copyBool(element, AX::minimized), true);

    const std::vector<WindowItem> items = WindowEnumerator::enumerate(*workspace, *accessibility);
    const WindowItem* item = findTitle(items, QStringLiteral("Folding"));
    ASSERT_TRUE(item) << "an iconified window is still listed";
    RecordingActions actions;
    WindowEnumerator::activate(*item, {*workspace, *accessibility, *dispatcher, actions, profile});

    EXPECT_TRUE(waitUntil([&] { return !isHidden(window) && isActive(window); }));
    EXPECT_EQ(accessibility->copyBool(element, AX::minimized), false);

    workspace->hide(pid); // hiding the application iconifies it
    EXPECT_TRUE(waitUntil([&] { return isHidden(window); }));
}

// Show Desktop hides one application after another, and the window manager hands the
// focus to the next window each time until that one is hidden too: no use of a window.
TEST_F(X11Desktop, TheFocusHandedOnWhileApplicationsAreHiddenIsNoActivation)
{
    std::vector<pid_t> pids(3);
    std::vector<xcb_window_t> windows;
    for (pid_t& pid : pids)
        windows.push_back(startXterm(QStringLiteral("Hidden"), &pid));
    std::vector<ProcessID> activated;
    const Workspace::Token token =
        workspace->observeActivation([&](const RunningApplication& app) { activated.push_back(app.processIdentifier); });
    // Each activation is heard before the next: no focus change of the set-up is still on
    // its way when the hiding starts.
    for (size_t i = 0; i < windows.size(); ++i) {
        ASSERT_NE(windows[i], XCB_NONE);
        clients->activate(windows[i]);
        ASSERT_TRUE(waitUntil([&] {
            const std::optional<RunningApplication> front = workspace->frontmostApplication();
            return isActive(windows[i]) && front && front->processIdentifier == pids[i];
        }));
    }
    workspace->catchUpWithActivations();
    ASSERT_TRUE(dispatcher->waitUntilIdle(windowTimeout));
    activated.clear();

    for (auto pid = pids.rbegin(); pid != pids.rend(); ++pid)
        workspace->hide(*pid);
    ASSERT_TRUE(waitUntil([&] { return std::all_of(windows.begin(), windows.end(), [&](xcb_window_t w) { return isHidden(w); }); }));
    dispatcher->runMainUntil([] { return false; }, 0.5); // what the event thread noted meanwhile
    workspace->removeObserver(token);
    EXPECT_TRUE(activated.empty()) << activated.size() << " activations, the first of xterm "
                                   << std::find(pids.begin(), pids.end(), activated.front()) - pids.begin() << " of 0-2";
}

TEST_F(X11Desktop, ClientThatDiesDuringEnumerationLeavesNoRowAndNoCrash)
{
    pid_t doomed = 0;
    ASSERT_NE(startXterm(QStringLiteral("Survivor")), XCB_NONE);
    const xcb_window_t doomedWindow = startXterm(QStringLiteral("Doomed"), &doomed);
    ASSERT_NE(doomedWindow, XCB_NONE);
    VanishingWorkspace vanishing(clients, *dispatcher, profile);
    vanishing.afterListing = [&] {
        s_session->killNow(doomed);
        waitUntil([&] { return !clients->isManaged(doomedWindow); });
    };

    const std::vector<WindowItem> items = WindowEnumerator::enumerate(vanishing, *accessibility);

    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items.front().title, QStringLiteral("Survivor"));
    EXPECT_EQ(windowServer->captureWindow(doomedWindow), nullptr);
}

// Another client of the session, as a second program would be.
std::shared_ptr<X11Connection> openClient(const QByteArray& display)
{
    std::shared_ptr<X11Connection> c = X11Connection::open(display);
    if (c)
        c->setConnectionLostHandler([] {}); // the session may end before a stray event
    return c;
}

// Retitles a window through a connection of its own, as the window manager does when it
// shows another title; returns once the server has made the change.
void retitle(X11Connection& c, xcb_window_t window, const QByteArray& title)
{
    const xcb_atom_t visibleName = c.ewmh()._NET_WM_VISIBLE_NAME;
    xcb_change_property(c.xcb(), XCB_PROP_MODE_REPLACE, window, visibleName, c.ewmh().UTF8_STRING, 8,
                        static_cast<quint32>(title.size()), title.constData());
    c.property(c.requestProperty(window, visibleName));
}

// The enumeration reads every window afresh, and a reader without a workspace (whose
// activation events would also renew what it read) follows the title between enumerations.
TEST_F(X11Desktop, ARetitledWindowShowsItsNewTitleInTheNextEnumerationAndToAReaderInBetween)
{
    pid_t pid = 0;
    const xcb_window_t window = startXterm(QStringLiteral("Before"), &pid);
    ASSERT_NE(window, XCB_NONE);
    ASSERT_TRUE(findTitle(WindowEnumerator::enumerate(*workspace, *accessibility), QStringLiteral("Before")));
    X11Accessibility reader(std::make_shared<X11Clients>(connection));
    const AXElement element = X11Accessibility::windowElement(window, pid);
    ASSERT_EQ(reader.copyText(element, AX::title), QStringLiteral("Before"));
    const std::shared_ptr<X11Connection> other = openClient(s_session->display());
    ASSERT_TRUE(other);

    retitle(*other, window, "After");
    const std::vector<WindowItem> items = WindowEnumerator::enumerate(*workspace, *accessibility);

    EXPECT_TRUE(findTitle(items, QStringLiteral("After")));
    EXPECT_FALSE(findTitle(items, QStringLiteral("Before")));
    EXPECT_TRUE(waitUntil([&] { return reader.copyText(element, AX::title) == QStringLiteral("After"); }));
}

// A program of an installed application that runs in this session without a window is
// a running application; the same program elsewhere, or a terminal program, is not.
TEST_F(X11Desktop, AProgramWithoutWindowsIsARunningApplicationOnlyInThisSession)
{
    QTemporaryDir bin;
    const QString tray = bin.filePath(QStringLiteral("ostrevane-test-tray"));
    const QString terminalProgram = bin.filePath(QStringLiteral("ostrevane-test-shell"));
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), tray) && QFile::copy(QStringLiteral("/bin/sleep"), terminalProgram));
    writeEntry(QStringLiteral("tray.desktop"), QStringLiteral("Name=Tray\nExec=%1 600\n").arg(tray));
    writeEntry(QStringLiteral("shell.desktop"), QStringLiteral("Name=Shell\nExec=%1 600\nTerminal=true\n").arg(terminalProgram));
    const pid_t here = s_session->start({tray, QStringLiteral("600")});
    const pid_t elsewhere = s_session->start({tray, QStringLiteral("601")}, {"DISPLAY=:9999"});
    const pid_t inTerminal = s_session->start({terminalProgram, QStringLiteral("600")});
    const auto listed = [&](pid_t pid) {
        const std::optional<RunningApplication> app = workspace->runningApplication(pid);
        return app && app->bundleIdentifier == QStringLiteral("tray") && app->activationPolicy == ActivationPolicy::regular;
    };
    EXPECT_TRUE(waitUntil([&] { return listed(here); }));
    EXPECT_FALSE(workspace->runningApplication(elsewhere));
    EXPECT_FALSE(workspace->runningApplication(inTerminal));
    for (const pid_t pid : {here, elsewhere, inTerminal})
        s_session->stop(pid);
}

TEST_F(X11Desktop, OpeningAnEntryWithoutWindowCompletesEmptyAfterTheTimeout)
{
    writeEntry(QStringLiteral("quiet.desktop"), QStringLiteral("Name=Quiet\nExec=true\n"));
    bool completed = false;
    std::optional<RunningApplication> launched;
    std::optional<QString> error;
    workspace->openApplication(entryPath(QStringLiteral("quiet.desktop")), true,
                               [&](std::optional<RunningApplication> app, std::optional<QString> e) {
                                   launched = std::move(app);
                                   error = std::move(e);
                                   completed = true;
                               });

    dispatcher->advance(X11Workspace::launchWindowTimeout);
    ASSERT_TRUE(dispatcher->runMainUntil([&] { return completed; }, windowTimeout));

    EXPECT_FALSE(launched);
    EXPECT_FALSE(error) << "a program that started is no failure, so nothing is opened again";
}

// Windows whose icons hold the same pixels share one image; another icon has its own.
TEST_F(X11Desktop, WindowsWithTheSameIconShareOneImage)
{
    const std::vector<xcb_window_t> windows = {startXclock(QStringLiteral("One"), QStringLiteral("90x90")),
                                               startXclock(QStringLiteral("Two"), QStringLiteral("90x90")),
                                               startXclock(QStringLiteral("Three"), QStringLiteral("90x90"))};
    const auto setIcon = [&](xcb_window_t window, quint32 colour) {
        std::vector<quint32> icon = {16, 16};
        icon.resize(2 + 16 * 16, colour);
        xcb_change_property(connection->xcb(), XCB_PROP_MODE_REPLACE, window, connection->ewmh()._NET_WM_ICON,
                            XCB_ATOM_CARDINAL, 32, quint32(icon.size()), icon.data());
    };
    for (size_t i = 0; i < windows.size(); ++i) {
        ASSERT_NE(windows[i], XCB_NONE);
        setIcon(windows[i], i < 2 ? 0xff2060a0 : 0xffa06020);
    }
    xcb_flush(connection->xcb());
    ASSERT_TRUE(waitUntil([&] {
        const ImageHandle icon = clients->icon(windows[2], 64);
        return icon && icon->pixel(0, 0) == 0xffa06020;
    }));

    const ImageHandle one = clients->icon(windows[0], 64);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->pixel(8, 8), 0xff2060a0);
    EXPECT_EQ(clients->icon(windows[1], 64), one);
    EXPECT_NE(clients->icon(windows[2], 64), one);
}

} // namespace
} // namespace ostrevane::x11test
