#include "core/BrowserTabEnumerator.h"

#include "core/AppleScriptAutomation.h"
#include "platform/sim/SimBrowsers.h"
#include "support/Fixtures.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace Qt::StringLiterals;

namespace {

const QString chromeID = u"com.google.Chrome"_s;
const QString safariID = u"com.apple.Safari"_s;
const QString chromeName = u"Google Chrome"_s;
const QString safariName = u"Safari"_s;

const BrowserSpec& spec(const QString& bundleID) { return *PlatformProfile::macOS().browser(bundleID); }

// Titles, with "*" after a selected strip candidate.
QStringList titles(const std::vector<AXTabCandidate>& tabs)
{
    QStringList result;
    for (const AXTabCandidate& tab : tabs)
        result << tab.title + (tab.selected ? "*" : "");
    return result;
}

// "window/tab title", with "*" after the tab active in the front window.
QStringList positions(const std::vector<TabItem>& tabs)
{
    QStringList result;
    for (const TabItem& tab : tabs)
        result << u"%1/%2%3 %4"_s.arg(tab.windowIndex).arg(tab.tabIndex).arg(tab.isActiveInFrontWindow ? "*" : "", tab.title);
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
};

} // namespace

TEST_F(BrowserTabEnumeratorTest, FindsARenamedBrowserByExactIdentifierBundleExecutableOrLocalizedName)
{
    EXPECT_TRUE(BrowserTabEnumerator::isSupportedBrowser(std::optional<QString>(safariID)));
    EXPECT_FALSE(BrowserTabEnumerator::isSupportedBrowser(u"com.google.chrome"_s));
    EXPECT_FALSE(BrowserTabEnumerator::isSupportedBrowser(std::optional<QString>()));

    const struct {
        QString bundleID; // the table row looked up
        QString name, bundlePath, executable;
        ProcessID pid;
    } rows[] = {
        {"com.vivaldi.Vivaldi", "Work", "/Applications/Vivaldi.app/", "/opt/a/work", 3001},
        {"com.microsoft.edgemac", "Work", "/opt/Work.app", "/opt/Work.app/Contents/MacOS/Microsoft Edge", 3002},
        {"com.brave.Browser", "Brave", "/opt/Other.app", "/opt/b/other", 3003},
    };
    for (auto row = std::rbegin(rows); row != std::rend(rows); ++row) // against table order
        runtime.desktop().workspace.addApplication({.processIdentifier = row->pid,
                                                    .bundleIdentifier = u"com.example.renamed"_s,
                                                    .localizedName = row->name,
                                                    .bundlePath = row->bundlePath,
                                                    .executablePath = row->executable});
    for (const auto& row : rows) {
        const std::optional<RunningBrowser> found = BrowserTabEnumerator::runningBrowser(row.bundleID);
        ASSERT_TRUE(found) << row.bundleID.toStdString();
        EXPECT_EQ(std::pair(found->pid, found->name), std::pair(row.pid, row.name));
    }
    // Listed in table order under their own names.
    EXPECT_EQ(BrowserTabEnumerator::runningBrowserNames(), (QStringList{"Work", "Brave", "Work"}));

    // Seen only in the window list: the table's name and the bundle's file icon.
    EXPECT_EQ(BrowserTabEnumerator::runningBrowser(chromeID), std::nullopt);
    auto fileIcon = std::make_shared<const QImage>(32, 32, QImage::Format_ARGB32);
    runtime.desktop().workspace.setFileIcon(u"/Applications/Google Chrome.app"_s, fileIcon);
    runtime.desktop().windowServer.setWindowList({
        {u"Chrome"_s, std::nullopt},    // no pid: skipped
        {u"chrome"_s, ProcessID(4100)}, // wrong case: skipped
        {u"Chrome"_s, ProcessID(4242)},
        {chromeName, ProcessID(4343)},
    });
    const std::optional<RunningBrowser> chrome = BrowserTabEnumerator::runningBrowser(chromeID);
    ASSERT_TRUE(chrome);
    EXPECT_EQ(std::pair(chrome->pid, chrome->name), std::pair(ProcessID(4242), chromeName));
    EXPECT_EQ(chrome->icon, fileIcon);
    EXPECT_FALSE(chrome->app);
}

TEST_F(BrowserTabEnumeratorTest, ScriptedTabsCarryPositionsAddressesAndFrontWindowActivity)
{
    const ProcessID pid = browsers.launch(spec(chromeID));
    browsers.openWindow(chromeName, {{"Docs", "https://docs.example.com/a"}, {QString(), QString()}}, 2);
    browsers.openWindow(chromeName, {{"Back", "about:blank"}}, 1);

    const std::vector<TabItem> tabs = BrowserTabEnumerator::enumerateViaAutomation({spec(chromeID)});
    // Active in window 2 is not active in the front window.
    EXPECT_EQ(positions(tabs), (QStringList{"1/1 Docs", "1/2* ", "2/1 Back"}));
    ASSERT_EQ(tabs.size(), 3u);
    EXPECT_EQ((QStringList{tabs[0].browserBundleID, tabs[0].browserAppName, QString::number(tabs[0].browserPID),
                           tabs[0].url, tabs[0].faviconURL}),
              (QStringList{chromeID, chromeName, QString::number(pid), "https://docs.example.com/a",
                           "ostrevane-favicon://docs.example.com?page=https%3A%2F%2Fdocs.example.com%2Fa&scheme=https"}));
}

// Every query value is percent-encoded, so a page address with &, =, # or + comes back whole.
TEST_F(BrowserTabEnumeratorTest, FaviconAddressKeepsWholePageAndNeedsAHost)
{
    const std::pair<QString, QString> rows[] = {
        {"https://www.example.com/p?a=1&b=2#top",
         "ostrevane-favicon://www.example.com?page=https%3A%2F%2Fwww.example.com%2Fp%3Fa%3D1%26b%3D2%23top&scheme=https"},
        {"about:blank", QString()},
        {"file:///tmp/page.html", QString()},
        {"not an address", QString()},
    };
    for (const auto& [page, expected] : rows)
        EXPECT_EQ(BrowserTabEnumerator::faviconURL(page), expected) << page.toStdString();

    const QString page = u"https://shop.example/s?q=a+b&c=%20d#x"_s;
    EXPECT_EQ(QUrlQuery(QUrl(BrowserTabEnumerator::faviconURL(page))).queryItemValue(u"page"_s, QUrl::FullyDecoded), page);
}

TEST_F(BrowserTabEnumeratorTest, AccessibilityFallbackReadsTabStripsOnlyWhenNoBrowserScriptsAnyTab)
{
    const ProcessID chromePid = browsers.launch(spec(chromeID));
    const AXElement front = browsers.openWindow(chromeName, {{"A", QString()}});
    browsers.addTabStrip(front, {"Mail", "News"}, 1);
    browsers.addTabStrip(browsers.openWindow(chromeName, {{"B", QString()}}), {"Maps"}, 0);
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
    browsers.launch(spec(safariID)); // answers, but has no windows yet

    const std::vector<TabItem> tabs = BrowserTabEnumerator::enumerate(BrowserTabEnumerator::browsers(), 1.0);
    // The back window's selected tab is not active in the front window.
    EXPECT_EQ(positions(tabs), (QStringList{"1/1 Mail", "1/2* News", "2/1 Maps"}));
    ASSERT_EQ(tabs.size(), 3u);
    EXPECT_EQ(std::pair(tabs[2].url, tabs[2].browserPID), std::pair(QString(), chromePid));

    browsers.openWindow(safariName, {{"Scripted", "https://a.example/"}});
    EXPECT_EQ(positions(BrowserTabEnumerator::enumerate(BrowserTabEnumerator::browsers(), 1.0)),
              QStringList{"1/1* Scripted"});
}

TEST_F(BrowserTabEnumeratorTest, UnknownOrStoppedBrowsersGiveNothingAndAreNeverStarted)
{
    EXPECT_TRUE(BrowserTabEnumerator::enumerate(u"com.example.unknown"_s, 1.0).empty());
    EXPECT_TRUE(BrowserTabEnumerator::enumerate(BrowserTabEnumerator::browsers(), 1.0).empty());
    EXPECT_TRUE(browsers.scripts().isEmpty());
    EXPECT_TRUE(runtime.desktop().workspace.log().isEmpty());
}

TEST_F(BrowserTabEnumeratorTest, DescendantsAreBreadthFirstDepthLimitedAndCapped)
{
    const AXElement root = SimAccessibility::makeElement(u"root"_s);
    const AXElement a = child(root, u"AXGroup"_s, u"a"_s);
    const AXElement b = child(root, u"AXGroup"_s, u"b"_s);
    const AXElement a1 = child(a, u"AXGroup"_s, u"a1"_s);
    const AXElement b1 = child(b, u"AXGroup"_s, u"b1"_s);
    child(a1, u"AXGroup"_s, u"a1x"_s);
    EXPECT_EQ(BrowserTabEnumerator::descendants(root, 2), (std::vector<AXElement>{a, b, a1, b1}));
    EXPECT_EQ(BrowserTabEnumerator::descendants(root, 0), std::vector<AXElement>{});

    // At most 1500 elements are examined, the root included.
    const AXElement wide = SimAccessibility::makeElement(u"wide"_s);
    std::vector<AXElement> children(2000);
    for (AXElement& element : children)
        element = SimAccessibility::makeElement();
    ax.setAttribute(wide, AX::children, children);
    EXPECT_EQ(BrowserTabEnumerator::descendants(wide, 3).size(), 1499u);
}

TEST_F(BrowserTabEnumeratorTest, StripsPreferTheFullestTabGroupThenRadioButtonsThenButtonsAndCells)
{
    const AXElement grouped = SimAccessibility::makeElement(u"grouped"_s);
    const AXElement first = child(grouped, AX::roleTabGroup);
    const AXElement second = child(grouped, AX::roleTabGroup);
    for (const QString& title : {u"One"_s, u"Two"_s}) {
        child(first, AX::roleRadioButton, title);
        child(second, AX::roleButton, "Other " + title);
    }
    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(grouped)), (QStringList{"One", "Two"})); // a tie: the earlier
    child(second, AX::roleCell, u"Other Three"_s);
    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(grouped)), (QStringList{"Other One", "Other Two", "Other Three"}));

    const AXElement toolbar = child(SimAccessibility::makeElement(u"toolbar window"_s), u"AXToolbar"_s);
    child(toolbar, AX::roleButton, u"Bookmarks"_s);
    child(toolbar, AX::roleRadioButton, u"Radio tab"_s);
    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(toolbar)), QStringList{"Radio tab"});

    const AXElement plain = SimAccessibility::makeElement(u"plain window"_s);
    child(plain, AX::roleButton, u"Back"_s);
    child(plain, AX::roleButton, u"Button tab"_s);
    child(plain, AX::roleCell, u"Cell tab"_s);
    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(plain)), (QStringList{"Button tab", "Cell tab"}));
}

// One-character titles are counted in user-perceived characters, so a lone emoji is rejected too.
TEST_F(BrowserTabEnumeratorTest, ControlsAndOneCharacterTitlesAreNotTabs)
{
    const AXElement group = child(SimAccessibility::makeElement(u"window"_s), AX::roleTabGroup);
    for (const char* title : {"New Tab", "NEW TAB", "close", "Close Tab 3", "close tab", "Customize and control Google Chrome",
                              "Side Panel", "x", "  y \n", "\xF0\x9F\x98\x80", "", "  Close", "Closet", "  Real tab\n"})
        child(group, AX::roleRadioButton, QString::fromUtf8(title));
    // "  Close" trims to the rejected word; "Closet" is a page title.
    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(group)), (QStringList{"Closet", "Real tab"}));
}

TEST_F(BrowserTabEnumeratorTest, CandidateTextAndSelectionAreEachReadFromTheFirstAttributeThatAnswers)
{
    // Text: title, description, help. Selection: selected, value, focused.
    const AXElement window = SimAccessibility::makeElement(u"window"_s);
    const AXElement described = child(window, AX::roleRadioButton);
    ax.setAttribute(described, AX::description, u"Described"_s);
    ax.setAttribute(described, AX::help, u"Helped"_s);
    ax.setAttribute(described, AX::selected, false);
    ax.setAttribute(described, AX::value, true);
    const AXElement helped = child(window, AX::roleRadioButton);
    ax.setAttribute(helped, AX::help, u"Helped"_s);
    ax.setAttribute(helped, AX::value, true);
    ax.setAttribute(child(window, AX::roleRadioButton, QString()), AX::description, u"Never read"_s);
    const AXElement byFocus = child(window, AX::roleRadioButton, u"Focused"_s);
    ax.setAttribute(byFocus, AX::selected, u"not a boolean"_s);
    ax.setAttribute(byFocus, AX::focused, true);
    child(window, AX::roleRadioButton, u"Nothing"_s);

    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(window)), (QStringList{"Described", "Helped*", "Focused*", "Nothing"}));
}

namespace {

// Chrome with Mail in its front window and Maps, News behind, the back window's tab strip built.
class BrowserTabActivationTest : public BrowserTabEnumeratorTest {
protected:
    ProcessID pid = 0;
    AXElement front;

    void SetUp() override
    {
        BrowserTabEnumeratorTest::SetUp();
        pid = browsers.launch(spec(chromeID));
        front = browsers.openWindow(chromeName, {{"Mail", "https://mail.example/"}});
        const AXElement back =
            browsers.openWindow(chromeName, {{"Maps", "https://maps.example/"}, {"News", "https://news.example/"}});
        browsers.addTabStrip(back, {"Maps", "News"}, 0);
        browsers.clearScripts();
    }

    static TabItem recorded(int windowIndex, int tabIndex, const QString& url = u"https://news.example/"_s)
    {
        return fixtures::tab(chromeID, u"News"_s, url, windowIndex, tabIndex);
    }

    // Attribute writes, then actions, each as "<element label> <what>".
    QStringList actionLog() const
    {
        QStringList log;
        for (const auto& write : ax.boolWrites())
            log << u"%1 %2=%3"_s.arg(label(write.element), write.attribute, write.value ? "true" : "false");
        for (const auto& action : ax.actions())
            log << label(action.element) + ' ' + action.name;
        return log;
    }

    QStringList activations(int count) const { return QStringList(count, u"activate %1"_s.arg(pid)); }

    static QString label(const AXElement& element) { return static_cast<const SimElement*>(element.get())->label(); }
};

} // namespace

TEST_F(BrowserTabActivationTest, ScriptSelectsTabThenRecordedWindowIsRaisedTwice)
{
    BrowserTabEnumerator::activate(recorded(2, 2));

    const auto windows = browsers.windows(chromeName);
    EXPECT_EQ(std::pair(windows.front().tabs.front().title, windows.front().activeTab), std::pair(u"Maps"_s, 2));
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(1));
    EXPECT_EQ(actionLog(), (QStringList{"Maps AXMain=true", "Maps AXFocused=true", "Maps AXRaise"}));

    runtime.advance(0.059);
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(1));
    runtime.advance(0.001);
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(2));
    EXPECT_EQ(ax.actions().size(), 2u);
}

TEST_F(BrowserTabActivationTest, RevealUnminimisesAndFallsBackToTheFirstWindow)
{
    ax.setAttribute(front, AX::minimized, true);
    BrowserTabEnumerator::revealBrowserWindow(recorded(9, 1));
    EXPECT_EQ(actionLog(), (QStringList{"Mail AXMinimized=false", "Mail AXMain=true", "Mail AXFocused=true", "Mail AXRaise"}));
}

TEST_F(BrowserTabActivationTest, ScriptAnsweringFalseAlsoFallsBackToAccessibility)
{
    // A third window that scripting does not report: the script finds neither the
    // position nor the address and answers false.
    browsers.addTabStrip(runtime.desktop().openWindow(pid, u"Hidden"_s), {"One", "Two"}, 0);
    BrowserTabEnumerator::activate(recorded(3, 2, u"https://nowhere.example/"_s));
    EXPECT_EQ(browsers.scripts().size(), 1);
    EXPECT_EQ(actionLog(), (QStringList{"Two AXSelected=true", "Hidden AXMain=true", "Hidden AXFocused=true",
                                        "Two AXPress", "Hidden AXRaise"}));
}

TEST_F(BrowserTabActivationTest, TabTheScriptRefusesIsPressedThroughAccessibilityWhileItsPositionsExist)
{
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
    BrowserTabEnumerator::activate(recorded(3, 1));
    BrowserTabEnumerator::activate(recorded(2, 3));
    BrowserTabEnumerator::activate(recorded(1, 1)); // the front window has no tab strip
    EXPECT_TRUE(runtime.desktop().workspace.log().isEmpty());
    EXPECT_TRUE(actionLog().isEmpty());

    BrowserTabEnumerator::activate(recorded(2, 2));
    EXPECT_EQ(browsers.scripts().size(), 4); // one try each
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(2));
    EXPECT_EQ(actionLog(), (QStringList{"News AXSelected=true", "Maps AXMain=true", "Maps AXFocused=true", "News AXPress",
                                        "Maps AXRaise"}));
    runtime.advance(1.0);
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(2)); // no delayed second pass

    // Positions below one stand for the first.
    const auto buttons = browsers.addTabStrip(front, {"Mail", "Drafts"}, 1);
    BrowserTabEnumerator::activate(recorded(0, -1));
    ASSERT_EQ(ax.actions().size(), 4u);
    EXPECT_EQ(ax.actions()[2].element, buttons[0]);
    EXPECT_EQ(ax.actions()[3].element, front);
}

TEST_F(BrowserTabActivationTest, ClosingReachesTheTabsBrowserOnly)
{
    BrowserTabEnumerator::closeTab(recorded(2, 1));
    EXPECT_EQ(browsers.scripts().size(), 1);
    EXPECT_EQ(positions(BrowserTabEnumerator::enumerateViaAutomation({spec(chromeID)})),
              (QStringList{"1/1* Mail", "2/1 News"}));

    browsers.clearScripts();
    TabItem unknown = recorded(1, 1);
    unknown.browserBundleID = u"org.mozilla.firefox"_s;
    BrowserTabEnumerator::closeTab(unknown);
    EXPECT_TRUE(browsers.scripts().isEmpty());
}
