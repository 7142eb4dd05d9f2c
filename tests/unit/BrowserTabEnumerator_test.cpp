#include "core/BrowserTabEnumerator.h"

#include "core/AppleScriptAutomation.h"
#include "platform/sim/SimBrowsers.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

const QString chromeID = QStringLiteral("com.google.Chrome");
const QString safariID = QStringLiteral("com.apple.Safari");
const QString chromeName = QStringLiteral("Google Chrome");
const QString safariName = QStringLiteral("Safari");

const BrowserSpec& spec(const QString& bundleID) { return *PlatformProfile::macOS().browser(bundleID); }

QStringList titles(const std::vector<TabItem>& tabs)
{
    QStringList result;
    for (const TabItem& tab : tabs)
        result << tab.title;
    return result;
}

QStringList titles(const std::vector<AXTabCandidate>& candidates)
{
    QStringList result;
    for (const AXTabCandidate& candidate : candidates)
        result << candidate.title;
    return result;
}

class BrowserTabEnumeratorTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    SimBrowsers browsers{runtime.desktop()};
    AppleScriptAutomation automation{browsers};
    SimAccessibility& ax = runtime.accessibility;

    void SetUp() override
    {
        runtime.context().ports().scriptRunner = &browsers;
        runtime.context().ports().browserAutomation = &automation;
    }

    // An element with a role and a title, added under `parent`.
    AXElement child(const AXElement& parent, const QString& role, std::optional<QString> title = std::nullopt)
    {
        AXElement element = SimAccessibility::makeElement(title.value_or(role));
        ax.setAttribute(element, AX::role, role);
        if (title)
            ax.setAttribute(element, AX::title, *title);
        std::vector<AXElement> children = ax.copyElements(parent, AX::children);
        children.push_back(element);
        ax.setAttribute(parent, AX::children, children);
        return element;
    }

    void addRunningApp(const QString& bundleID, const QString& name, const QString& bundlePath, const QString& executable,
                       ProcessID pid)
    {
        RunningApplication app;
        app.processIdentifier = pid;
        app.bundleIdentifier = bundleID;
        app.localizedName = name;
        app.bundlePath = bundlePath;
        app.executablePath = executable;
        runtime.desktop().workspace.addApplication(app);
    }
};

} // namespace

TEST_F(BrowserTabEnumeratorTest, RecognisesOnlyTheTableIdentifiersExactly)
{
    EXPECT_TRUE(BrowserTabEnumerator::isSupportedBrowser(chromeID));
    EXPECT_TRUE(BrowserTabEnumerator::isSupportedBrowser(std::optional<QString>(safariID)));
    EXPECT_FALSE(BrowserTabEnumerator::isSupportedBrowser(QStringLiteral("com.google.chrome")));
    EXPECT_FALSE(BrowserTabEnumerator::isSupportedBrowser(QStringLiteral("com.apple.finder")));
    EXPECT_FALSE(BrowserTabEnumerator::isSupportedBrowser(std::optional<QString>()));
}

TEST_F(BrowserTabEnumeratorTest, FindsBrowserUnderUnusualIdentifierByBundleExecutableOrLocalizedName)
{
    struct Case {
        QString bundleID;  // the table row looked up
        QString localizedName;
        QString bundlePath;
        QString executable;
        ProcessID pid;
    };
    const std::vector<Case> cases{
        {chromeID, QStringLiteral("Work"), QStringLiteral("/Applications/Google Chrome.app/"), QStringLiteral("/opt/a/work"), 3001},
        {QStringLiteral("com.microsoft.edgemac"), QStringLiteral("Work"), QStringLiteral("/opt/Work.app"),
         QStringLiteral("/opt/Work.app/Contents/MacOS/Microsoft Edge"), 3002},
        {QStringLiteral("com.brave.Browser"), QStringLiteral("Brave"), QStringLiteral("/opt/Other.app"),
         QStringLiteral("/opt/b/other"), 3003},
    };
    for (const Case& c : cases)
        addRunningApp(QStringLiteral("com.example.renamed"), c.localizedName, c.bundlePath, c.executable, c.pid);
    for (const Case& c : cases) {
        const std::optional<RunningBrowser> found = BrowserTabEnumerator::runningBrowser(c.bundleID);
        ASSERT_TRUE(found) << c.bundleID.toStdString();
        EXPECT_EQ(found->pid, c.pid);
        EXPECT_EQ(found->name, c.localizedName);
        EXPECT_TRUE(found->app);
    }
    EXPECT_EQ(BrowserTabEnumerator::runningBrowser(safariID), std::nullopt);
}

TEST_F(BrowserTabEnumeratorTest, BrowserSeenOnlyInWindowListGetsTableNameAndFileIcon)
{
    auto fileIcon = std::make_shared<const QImage>(32, 32, QImage::Format_ARGB32);
    runtime.desktop().workspace.setFileIcon(QStringLiteral("/Applications/Google Chrome.app"), fileIcon);
    runtime.desktop().windowServer.setWindowList({
        {QStringLiteral("Chrome"), std::nullopt},          // no pid: skipped
        {QStringLiteral("chrome"), ProcessID(4100)},       // wrong case: skipped
        {QStringLiteral("Chrome"), ProcessID(4242)},
        {QStringLiteral("Google Chrome"), ProcessID(4343)},
    });
    const std::optional<RunningBrowser> found = BrowserTabEnumerator::runningBrowser(chromeID);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->pid, 4242);
    EXPECT_EQ(found->name, chromeName);
    EXPECT_EQ(found->icon, fileIcon);
    EXPECT_FALSE(found->app);
    EXPECT_EQ(BrowserTabEnumerator::runningBrowser(QStringLiteral("com.example.unknown")), std::nullopt);
}

TEST_F(BrowserTabEnumeratorTest, RunningBrowsersAreListedInTableOrderWithTheirOwnNames)
{
    browsers.launch(spec(safariID));
    addRunningApp(chromeID, QStringLiteral("Chrome Beta"), QStringLiteral("/Applications/Chrome Beta.app"),
                  QStringLiteral("/x/Chrome Beta"), 5000);
    EXPECT_EQ(BrowserTabEnumerator::runningBrowserNames(), (QStringList{QStringLiteral("Chrome Beta"), safariName}));
    const std::vector<BrowserSpec> running = BrowserTabEnumerator::runningSpecs();
    ASSERT_EQ(running.size(), 2u);
    EXPECT_EQ(running[0].bundleID, chromeID);
    EXPECT_EQ(running[1].bundleID, safariID);
}

TEST_F(BrowserTabEnumeratorTest, ScriptedTabsCarryPositionsAddressesAndFrontWindowActivity)
{
    const ProcessID pid = browsers.launch(spec(chromeID));
    browsers.openWindow(chromeName, {{QStringLiteral("Docs"), QStringLiteral("https://docs.example.com/a")},
                                     {QString(), QString()}},
                        2);
    browsers.openWindow(chromeName, {{QStringLiteral("Back"), QStringLiteral("about:blank")}}, 1);

    const std::vector<TabItem> tabs = BrowserTabEnumerator::enumerateViaAutomation({spec(chromeID)});
    ASSERT_EQ(tabs.size(), 3u);
    EXPECT_EQ(tabs[0].browserBundleID, chromeID);
    EXPECT_EQ(tabs[0].browserAppName, chromeName);
    EXPECT_EQ(tabs[0].browserPID, pid);
    EXPECT_TRUE(tabs[0].appIcon);
    EXPECT_EQ(tabs[0].url, QStringLiteral("https://docs.example.com/a"));
    EXPECT_EQ(tabs[0].faviconURL, QStringLiteral("ostrevane-favicon://docs.example.com"
                                                 "?page=https%3A%2F%2Fdocs.example.com%2Fa&scheme=https"));
    EXPECT_FALSE(tabs[0].isActiveInFrontWindow);
    // Window 1, tab 2, active, with an empty title and address.
    EXPECT_EQ(tabs[1].title, QString());
    EXPECT_EQ(tabs[1].faviconURL, QString());
    EXPECT_EQ(tabs[1].windowIndex, 1);
    EXPECT_EQ(tabs[1].tabIndex, 2);
    EXPECT_TRUE(tabs[1].isActiveInFrontWindow);
    // Active in window 2 is not active in the front window.
    EXPECT_EQ(tabs[2].windowIndex, 2);
    EXPECT_FALSE(tabs[2].isActiveInFrontWindow);
    EXPECT_EQ(tabs[2].faviconURL, QString());
    EXPECT_FALSE(tabs[0].chromeTabID);
    EXPECT_NE(tabs[0].id, tabs[1].id);
}

TEST_F(BrowserTabEnumeratorTest, MalformedRowsAreSkippedAndTheRestKept)
{
    browsers.launch(spec(chromeID));
    browsers.openWindow(chromeName, {{QStringLiteral("Kept"), QStringLiteral("https://kept.example/")}});
    browsers.setMode(chromeName, SimBrowsers::Mode::malformedRows);
    EXPECT_EQ(titles(BrowserTabEnumerator::enumerate({spec(chromeID)}, 1.0)), QStringList{QStringLiteral("Kept")});
}

TEST_F(BrowserTabEnumeratorTest, ScriptedTabsFallBackToTheFileIconWhenTheAppHasNone)
{
    auto fileIcon = std::make_shared<const QImage>(8, 8, QImage::Format_ARGB32);
    runtime.desktop().workspace.setFileIcon(QStringLiteral("/Applications/Safari.app"), fileIcon);
    // Listed before the simulated Safari, so it is the one found; it has no icon.
    addRunningApp(safariID, safariName, QStringLiteral("/Applications/Safari.app"), QStringLiteral("/x/Safari"), 5100);
    browsers.launch(spec(safariID));
    browsers.openWindow(safariName, {{QStringLiteral("Apple"), QStringLiteral("https://apple.com")}});

    const std::vector<TabItem> tabs = BrowserTabEnumerator::enumerateViaAutomation({spec(safariID)});
    ASSERT_EQ(tabs.size(), 1u);
    EXPECT_EQ(tabs[0].browserPID, 5100);
    EXPECT_EQ(tabs[0].appIcon, fileIcon);
}

TEST_F(BrowserTabEnumeratorTest, FaviconAddressKeepsWholePageAndNeedsAHost)
{
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("http://example.org"), QStringLiteral("ostrevane-favicon://example.org?page=http%3A%2F%2Fexample.org&scheme=http")},
        {QStringLiteral("https://www.example.com/p?a=1&b=2#top"),
         QStringLiteral("ostrevane-favicon://www.example.com?page=https%3A%2F%2Fwww.example.com%2Fp%3Fa%3D1%26b%3D2%23top&scheme=https")},
        {QStringLiteral("about:blank"), QString()},
        {QStringLiteral("file:///tmp/page.html"), QString()},
        {QString(), QString()},
        {QStringLiteral("not an address"), QString()},
    };
    for (const auto& [page, expected] : cases)
        EXPECT_EQ(BrowserTabEnumerator::faviconURL(page), expected) << page.toStdString();
}

TEST_F(BrowserTabEnumeratorTest, FaviconAddressGivesBackThePageWhenRead)
{
    const QString page = QStringLiteral("https://shop.example/s?q=a+b&c=%20d#x");
    const QUrl icon(BrowserTabEnumerator::faviconURL(page));
    EXPECT_EQ(icon.scheme(), QStringLiteral("ostrevane-favicon"));
    EXPECT_EQ(icon.host(), QStringLiteral("shop.example"));
    EXPECT_EQ(QUrlQuery(icon).queryItemValue(QStringLiteral("page"), QUrl::FullyDecoded), page);
}

TEST_F(BrowserTabEnumeratorTest, AccessibilityFallbackReadsTabStripsWhenNoBrowserAnswers)
{
    const ProcessID chromePid = browsers.launch(spec(chromeID));
    const AXElement front = browsers.openWindow(chromeName, {{QStringLiteral("A"), QString()}});
    const AXElement back = browsers.openWindow(chromeName, {{QStringLiteral("B"), QString()}});
    browsers.addTabStrip(front, {QStringLiteral("Mail"), QStringLiteral("News")}, 1);
    browsers.addTabStrip(back, {QStringLiteral("Maps")}, 0);
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);

    const std::vector<TabItem> tabs = BrowserTabEnumerator::enumerate(chromeID, 1.0);
    EXPECT_EQ(titles(tabs), (QStringList{QStringLiteral("Mail"), QStringLiteral("News"), QStringLiteral("Maps")}));
    ASSERT_EQ(tabs.size(), 3u);
    EXPECT_EQ(tabs[1].windowIndex, 1);
    EXPECT_EQ(tabs[1].tabIndex, 2);
    EXPECT_TRUE(tabs[1].isActiveInFrontWindow);
    EXPECT_FALSE(tabs[0].isActiveInFrontWindow);
    EXPECT_EQ(tabs[2].windowIndex, 2);
    EXPECT_FALSE(tabs[2].isActiveInFrontWindow); // selected, but not in the front window
    EXPECT_EQ(tabs[2].url, QString());
    EXPECT_EQ(tabs[2].faviconURL, QString());
    EXPECT_EQ(tabs[2].browserPID, chromePid);
}

TEST_F(BrowserTabEnumeratorTest, OneBrowserAnsweringKeepsBlockedBrowsersOut)
{
    browsers.launch(spec(chromeID));
    browsers.openWindow(chromeName, {{QStringLiteral("Scripted"), QStringLiteral("https://a.example/")}});
    browsers.launch(spec(safariID));
    const AXElement safariWindow = browsers.openWindow(safariName, {{QStringLiteral("Hidden"), QString()}});
    browsers.addTabStrip(safariWindow, {QStringLiteral("Readable by accessibility")}, 0);
    browsers.setMode(safariName, SimBrowsers::Mode::refusesAutomation);

    EXPECT_EQ(titles(BrowserTabEnumerator::enumerate(BrowserTabEnumerator::browsers(), 1.0)),
              QStringList{QStringLiteral("Scripted")});
}

TEST_F(BrowserTabEnumeratorTest, BrowserThatAnswersWithoutTabsLetsTheFallbackRun)
{
    browsers.launch(spec(chromeID)); // answers, but has no windows
    browsers.launch(spec(safariID));
    const AXElement safariWindow = browsers.openWindow(safariName, {{QStringLiteral("Hidden"), QString()}});
    browsers.addTabStrip(safariWindow, {QStringLiteral("From the strip")}, 0);
    browsers.setMode(safariName, SimBrowsers::Mode::busy);

    EXPECT_EQ(titles(BrowserTabEnumerator::enumerate(BrowserTabEnumerator::browsers(), 1.0)),
              QStringList{QStringLiteral("From the strip")});
}

TEST_F(BrowserTabEnumeratorTest, UnknownOrStoppedBrowsersGiveNothingAndAreNeverStarted)
{
    EXPECT_TRUE(BrowserTabEnumerator::enumerate(QStringLiteral("com.example.unknown"), 1.0).empty());
    EXPECT_TRUE(BrowserTabEnumerator::enumerate(BrowserTabEnumerator::browsers(), 1.0).empty());
    EXPECT_TRUE(browsers.scripts().isEmpty());
    EXPECT_TRUE(runtime.desktop().workspace.log().isEmpty());
}

TEST_F(BrowserTabEnumeratorTest, DescendantsAreBreadthFirstDepthLimitedAndExcludeTheRoot)
{
    const AXElement root = SimAccessibility::makeElement(QStringLiteral("root"));
    const AXElement a = child(root, QStringLiteral("AXGroup"), QStringLiteral("a"));
    const AXElement b = child(root, QStringLiteral("AXGroup"), QStringLiteral("b"));
    const AXElement a1 = child(a, QStringLiteral("AXGroup"), QStringLiteral("a1"));
    const AXElement b1 = child(b, QStringLiteral("AXGroup"), QStringLiteral("b1"));
    child(a1, QStringLiteral("AXGroup"), QStringLiteral("a1x"));

    EXPECT_EQ(BrowserTabEnumerator::descendants(root, 2), (std::vector<AXElement>{a, b, a1, b1}));
    EXPECT_EQ(BrowserTabEnumerator::descendants(root, 0), std::vector<AXElement>{});
}

TEST_F(BrowserTabEnumeratorTest, DescendantsExamineAtMostFifteenHundredElementsRootIncluded)
{
    const AXElement root = SimAccessibility::makeElement(QStringLiteral("root"));
    std::vector<AXElement> children;
    for (int i = 0; i < 2000; ++i)
        children.push_back(SimAccessibility::makeElement());
    ax.setAttribute(root, AX::children, children);
    EXPECT_EQ(BrowserTabEnumerator::descendants(root, 3).size(), 1499u);
}

TEST_F(BrowserTabEnumeratorTest, TabGroupWithMostCandidatesWinsAndTheEarlierOnATie)
{
    const AXElement window = SimAccessibility::makeElement(QStringLiteral("window"));
    const AXElement first = child(window, AX::roleTabGroup);
    const AXElement second = child(window, AX::roleTabGroup);
    for (const char* title : {"One", "Two", "Three"}) {
        child(first, AX::roleRadioButton, QString::fromUtf8(title));
        child(second, AX::roleButton, QStringLiteral("Other ") + QString::fromUtf8(title));
    }
    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(window)),
              (QStringList{QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}));

    child(second, AX::roleCell, QStringLiteral("Other Four"));
    EXPECT_EQ(BrowserTabEnumerator::tabs(window).size(), 4u);
    EXPECT_EQ(BrowserTabEnumerator::tabs(window).front().title, QStringLiteral("Other One"));
}

TEST_F(BrowserTabEnumeratorTest, ControlsAndOneCharacterTitlesAreNotTabs)
{
    const AXElement window = SimAccessibility::makeElement(QStringLiteral("window"));
    const AXElement group = child(window, AX::roleTabGroup);
    for (const char* title : {"New Tab", "NEW TAB", "close", "Close Tab 3", "close tab", "Customize and control Google Chrome",
                              "Side Panel", "x", "  y \n", "\xF0\x9F\x98\x80", "", "  Close", "Closet", "  Real tab\n"})
        child(group, AX::roleRadioButton, QString::fromUtf8(title));
    // "  Close" trims to the rejected word; "Closet" is a page title.
    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(window)), (QStringList{QStringLiteral("Closet"), QStringLiteral("Real tab")}));
}

TEST_F(BrowserTabEnumeratorTest, CandidateTextComesFromTitleDescriptionOrHelpInThatOrder)
{
    const AXElement window = SimAccessibility::makeElement(QStringLiteral("window"));
    const AXElement described = child(window, AX::roleRadioButton);
    ax.setAttribute(described, AX::description, QStringLiteral("Described"));
    ax.setAttribute(described, AX::help, QStringLiteral("Helped"));
    const AXElement helped = child(window, AX::roleRadioButton);
    ax.setAttribute(helped, AX::help, QStringLiteral("Helped"));
    const AXElement emptyTitle = child(window, AX::roleRadioButton, QString());
    ax.setAttribute(emptyTitle, AX::description, QStringLiteral("Never read"));
    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(window)), (QStringList{QStringLiteral("Described"), QStringLiteral("Helped")}));
}

TEST_F(BrowserTabEnumeratorTest, SelectionIsReadFromSelectedThenValueThenFocused)
{
    const AXElement window = SimAccessibility::makeElement(QStringLiteral("window"));
    const AXElement bySelected = child(window, AX::roleRadioButton, QStringLiteral("Selected false"));
    ax.setAttribute(bySelected, AX::selected, false);
    ax.setAttribute(bySelected, AX::value, true);
    const AXElement byValue = child(window, AX::roleRadioButton, QStringLiteral("Value"));
    ax.setAttribute(byValue, AX::value, true);
    const AXElement byFocus = child(window, AX::roleRadioButton, QStringLiteral("Focused"));
    ax.setAttribute(byFocus, AX::selected, QStringLiteral("not a boolean"));
    ax.setAttribute(byFocus, AX::focused, true);
    child(window, AX::roleRadioButton, QStringLiteral("Nothing"));

    std::vector<bool> selected;
    for (const AXTabCandidate& candidate : BrowserTabEnumerator::tabs(window))
        selected.push_back(candidate.selected);
    EXPECT_EQ(selected, (std::vector<bool>{false, true, true, false}));
}

TEST_F(BrowserTabEnumeratorTest, WithoutTabGroupsRadioButtonsWinOverButtonsAndCells)
{
    const AXElement window = SimAccessibility::makeElement(QStringLiteral("window"));
    const AXElement toolbar = child(window, QStringLiteral("AXToolbar"));
    child(toolbar, AX::roleButton, QStringLiteral("Bookmarks"));
    child(toolbar, AX::roleRadioButton, QStringLiteral("Radio tab"));
    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(window)), QStringList{QStringLiteral("Radio tab")});

    const AXElement plain = SimAccessibility::makeElement(QStringLiteral("plain window"));
    child(plain, AX::roleButton, QStringLiteral("Back"));
    child(plain, AX::roleButton, QStringLiteral("Button tab"));
    child(plain, AX::roleCell, QStringLiteral("Cell tab"));
    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(plain)), (QStringList{QStringLiteral("Button tab"), QStringLiteral("Cell tab")}));
}

namespace {

class BrowserTabActivationTest : public BrowserTabEnumeratorTest {
protected:
    ProcessID pid = 0;
    AXElement front;
    AXElement back;
    std::vector<AXElement> backButtons;

    void SetUp() override
    {
        BrowserTabEnumeratorTest::SetUp();
        pid = browsers.launch(spec(chromeID));
        front = browsers.openWindow(chromeName, {{QStringLiteral("Mail"), QStringLiteral("https://mail.example/")}});
        back = browsers.openWindow(chromeName, {{QStringLiteral("Maps"), QStringLiteral("https://maps.example/")},
                                                {QStringLiteral("News"), QStringLiteral("https://news.example/")}});
        backButtons = browsers.addTabStrip(back, {QStringLiteral("Maps"), QStringLiteral("News")}, 0);
        browsers.clearScripts();
    }

    TabItem recorded(int windowIndex, int tabIndex, const QString& url = QStringLiteral("https://news.example/"))
    {
        TabItem tab;
        tab.browserBundleID = chromeID;
        tab.title = QStringLiteral("News");
        tab.url = url;
        tab.windowIndex = windowIndex;
        tab.tabIndex = tabIndex;
        return tab;
    }

    QStringList actionLog() const
    {
        QStringList log;
        for (const auto& write : ax.boolWrites())
            log << QStringLiteral("%1 %2=%3").arg(label(write.element), write.attribute, write.value ? "true" : "false");
        for (const auto& action : ax.actions())
            log << QStringLiteral("%1 %2").arg(label(action.element), action.name);
        return log;
    }

    static QString label(const AXElement& element)
    {
        return static_cast<const SimElement*>(element.get())->label();
    }
};

} // namespace

TEST_F(BrowserTabActivationTest, ScriptSelectsTabThenRecordedWindowIsRaisedTwice)
{
    BrowserTabEnumerator::activate(recorded(2, 2));

    const auto windows = browsers.windows(chromeName);
    EXPECT_EQ(windows.front().tabs.front().title, QStringLiteral("Maps"));
    EXPECT_EQ(windows.front().activeTab, 2);
    const QString activate = QStringLiteral("activate %1").arg(pid);
    EXPECT_EQ(runtime.desktop().workspace.log(), QStringList{activate});
    const QStringList raised{QStringLiteral("Maps AXMain=true"), QStringLiteral("Maps AXFocused=true"),
                             QStringLiteral("Maps AXRaise")};
    EXPECT_EQ(actionLog(), raised);

    runtime.advance(0.059);
    EXPECT_EQ(runtime.desktop().workspace.log().size(), 1);
    runtime.advance(0.001);
    EXPECT_EQ(runtime.desktop().workspace.log(), (QStringList{activate, activate}));
    EXPECT_EQ(ax.actions().size(), 2u);
}

TEST_F(BrowserTabActivationTest, RevealUnminimisesAndFallsBackToTheFirstWindow)
{
    ax.setAttribute(front, AX::minimized, true);
    BrowserTabEnumerator::revealBrowserWindow(recorded(9, 1));
    EXPECT_EQ(actionLog(), (QStringList{QStringLiteral("Mail AXMinimized=false"), QStringLiteral("Mail AXMain=true"),
                                        QStringLiteral("Mail AXFocused=true"), QStringLiteral("Mail AXRaise")}));
}

TEST_F(BrowserTabActivationTest, TabTheScriptCannotFindIsPressedThroughAccessibility)
{
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
    BrowserTabEnumerator::activate(recorded(2, 2));

    EXPECT_EQ(browsers.scripts().size(), 1);
    const QString activate = QStringLiteral("activate %1").arg(pid);
    EXPECT_EQ(runtime.desktop().workspace.log(), (QStringList{activate, activate}));
    EXPECT_EQ(actionLog(), (QStringList{QStringLiteral("News AXSelected=true"), QStringLiteral("Maps AXMain=true"),
                                        QStringLiteral("Maps AXFocused=true"), QStringLiteral("News AXPress"),
                                        QStringLiteral("Maps AXRaise")}));
    runtime.advance(1.0);
    EXPECT_EQ(runtime.desktop().workspace.log().size(), 2); // no delayed second pass
}

TEST_F(BrowserTabActivationTest, ScriptAnsweringFalseAlsoFallsBackToAccessibility)
{
    // A third window that scripting does not report: the script finds neither the
    // position nor the address and answers false.
    const AXElement hidden = runtime.desktop().openWindow(pid, QStringLiteral("Hidden"));
    const auto buttons = browsers.addTabStrip(hidden, {QStringLiteral("One"), QStringLiteral("Two")}, 0);
    BrowserTabEnumerator::activate(recorded(3, 2, QStringLiteral("https://nowhere.example/")));

    EXPECT_EQ(browsers.scripts().size(), 1);
    ASSERT_EQ(ax.actions().size(), 2u);
    EXPECT_EQ(ax.actions()[0].element, buttons[1]);
    EXPECT_EQ(ax.actions()[0].name, AX::press);
    EXPECT_EQ(ax.actions()[1].element, hidden);
}

TEST_F(BrowserTabActivationTest, FallbackTreatsPositionsBelowOneAsTheFirst)
{
    const auto buttons = browsers.addTabStrip(front, {QStringLiteral("Mail"), QStringLiteral("Drafts")}, 1);
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
    BrowserTabEnumerator::activate(recorded(0, -1));

    ASSERT_EQ(ax.actions().size(), 2u);
    EXPECT_EQ(ax.actions()[0].element, buttons[0]);
    EXPECT_EQ(ax.actions()[1].element, front);
}

TEST_F(BrowserTabActivationTest, FallbackStopsSilentlyWhenPositionsNoLongerExist)
{
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
    BrowserTabEnumerator::activate(recorded(3, 1));
    BrowserTabEnumerator::activate(recorded(2, 3));
    BrowserTabEnumerator::activate(recorded(1, 1)); // the front window has no tab strip
    EXPECT_TRUE(runtime.desktop().workspace.log().isEmpty());
    EXPECT_TRUE(actionLog().isEmpty());
}

TEST_F(BrowserTabActivationTest, ClosingSendsTheCloseScriptToTheTabsBrowserOnly)
{
    BrowserTabEnumerator::closeTab(recorded(2, 1));
    EXPECT_EQ(browsers.scripts(), QStringList{QStringLiteral("tell application \"Google Chrome\"\n"
                                                             "    try\n"
                                                             "        close tab 1 of window 2\n"
                                                             "    end try\n"
                                                             "end tell")});
    EXPECT_EQ(titles(BrowserTabEnumerator::enumerateViaAutomation({spec(chromeID)})),
              (QStringList{QStringLiteral("Mail"), QStringLiteral("News")}));

    browsers.clearScripts();
    TabItem unknown = recorded(1, 1);
    unknown.browserBundleID = QStringLiteral("org.mozilla.firefox");
    BrowserTabEnumerator::closeTab(unknown);
    EXPECT_TRUE(browsers.scripts().isEmpty());
}
