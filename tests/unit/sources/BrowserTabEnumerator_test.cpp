#include "core/sources/BrowserTabEnumerator.h"

#include "core/sources/AppleScriptAutomation.h"
#include "platform/sim/SimBrowsers.h"
#include "support/Fixtures.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

#include <thread>

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

TEST_F(BrowserTabEnumeratorTest, FindsARenamedBrowserByExecutableOrByItsWindowsOwner)
{
    EXPECT_FALSE(BrowserTabEnumerator::isSupportedBrowser(u"com.google.chrome"_s));

    runtime.desktop().workspace.addApplication({.processIdentifier = 3002,
                                                .bundleIdentifier = u"com.example.renamed"_s,
                                                .localizedName = u"Work"_s,
                                                .bundlePath = u"/opt/Work.app"_s,
                                                .executablePath = u"/opt/Work.app/Contents/MacOS/Microsoft Edge"_s});
    const std::optional<RunningBrowser> edge = BrowserTabEnumerator::runningBrowser(u"com.microsoft.edgemac"_s);
    ASSERT_TRUE(edge);
    EXPECT_EQ(std::pair(edge->pid, edge->name), std::pair(ProcessID(3002), u"Work"_s));

    // Seen only in the window list, under its exact owner name with a pid.
    runtime.desktop().windowServer.setWindowList({
        {u"Chrome"_s, std::nullopt},
        {u"chrome"_s, ProcessID(4100)},
        {u"Chrome"_s, ProcessID(4242)},
    });
    const std::optional<RunningBrowser> chrome = BrowserTabEnumerator::runningBrowser(chromeID);
    ASSERT_TRUE(chrome);
    EXPECT_EQ(std::pair(chrome->pid, chrome->name), std::pair(ProcessID(4242), chromeName));
}

TEST_F(BrowserTabEnumeratorTest, ScriptedTabsCarryPositionsAddressesAndFrontWindowActivity)
{
    browsers.launch(spec(chromeID));
    browsers.openWindow(chromeName, {{"Docs", "https://docs.example.com/a"}, {QString(), QString()}}, 2);
    browsers.openWindow(chromeName, {{"Back", "about:blank"}}, 1);

    const std::vector<TabItem> tabs = BrowserTabEnumerator::enumerateViaAutomation({spec(chromeID)});
    // Active in window 2 is not active in the front window.
    EXPECT_EQ(positions(tabs), (QStringList{"1/1 Docs", "1/2* ", "2/1 Back"}));
}

// Every query value is percent-encoded, so a page address with &, =, # or + comes back whole.
TEST_F(BrowserTabEnumeratorTest, FaviconAddressKeepsWholePageAndNeedsAHost)
{
    const std::pair<QString, QString> rows[] = {
        {"https://www.example.com/p?a=1&b=2#top",
         "ostrevane-favicon://www.example.com?page=https%3A%2F%2Fwww.example.com%2Fp%3Fa%3D1%26b%3D2%23top&scheme=https"},
        {"file:///tmp/page.html", QString()},
    };
    for (const auto& [page, expected] : rows)
        EXPECT_EQ(BrowserTabEnumerator::faviconURL(page), expected) << page.toStdString();

    const QString page = u"https://shop.example/s?q=a+b&c=%20d#x"_s;
    EXPECT_EQ(QUrlQuery(QUrl(BrowserTabEnumerator::faviconURL(page))).queryItemValue(u"page"_s, QUrl::FullyDecoded), page);
}

namespace {

// A port that passes on the icon address each browser row reports.
class RowsAutomation : public BrowserAutomation {
public:
    std::vector<BrowserTabRow> rows;
    std::optional<std::vector<BrowserTabRow>> listTabs(const BrowserSpec&, double) override { return rows; }
    std::optional<bool> activateTab(const BrowserSpec&, const BrowserTabAddress&) override { return std::nullopt; }
    void closeTab(const BrowserSpec&, const BrowserTabAddress&) override {}
};

} // namespace

TEST_F(BrowserTabEnumeratorTest, ABrowsersOwnIconAddressIsUsedWhenTheFaviconCacheMayLoadIt)
{
    RowsAutomation rowsAutomation;
    runtime.context().ports().browserAutomation = &rowsAutomation;
    browsers.launch(spec(chromeID));
    const QString page = u"https://site.example/a"_s;
    const QString made = BrowserTabEnumerator::faviconURL(page);
    const std::pair<QString, QString> cases[] = {
        {u"https://site.example/icon.png"_s, u"https://site.example/icon.png"_s},
        {u"HTTP://site.example/i.ico"_s, u"HTTP://site.example/i.ico"_s},
        {u"data:image/png;base64,iVBORw0KGgo="_s, u"data:image/png;base64,iVBORw0KGgo="_s},
        {u"chrome://favicon2/?page_url=x"_s, made},       // only the browser can read it
        {u"file:///home/me/.icons/a.png"_s, made},        // never from disk on a page's say
        {u"javascript:alert(1)"_s, made},
        {QString(), made},
    };
    for (const auto& [icon, expected] : cases) {
        rowsAutomation.rows = {{1, 1, true, u"Page"_s, page, icon}};
        const std::vector<TabItem> tabs = BrowserTabEnumerator::enumerateViaAutomation({spec(chromeID)});
        ASSERT_EQ(tabs.size(), 1u);
        EXPECT_EQ(tabs[0].faviconURL, expected) << icon.toStdString();
    }
}

TEST_F(BrowserTabEnumeratorTest, AccessibilityFallbackReadsTabStripsOnlyWhenNoBrowserScriptsAnyTab)
{
    browsers.launch(spec(chromeID));
    const AXElement front = browsers.openWindow(chromeName, {{"A", QString()}});
    browsers.addTabStrip(front, {"Mail", "News"}, 1);
    browsers.addTabStrip(browsers.openWindow(chromeName, {{"B", QString()}}), {"Maps"}, 0);
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
    browsers.launch(spec(safariID)); // answers, but has no windows yet

    const std::vector<TabItem> tabs = BrowserTabEnumerator::enumerate(BrowserTabEnumerator::browsers(), 1.0);
    // The back window's selected tab is not active in the front window.
    EXPECT_EQ(positions(tabs), (QStringList{"1/1 Mail", "1/2* News", "2/1 Maps"}));

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

TEST_F(BrowserTabEnumeratorTest, TheElementWalkExaminesAtMost1500ElementsRootIncluded)
{
    const AXElement wide = SimAccessibility::makeElement(u"wide"_s);
    std::vector<AXElement> children(2000);
    for (AXElement& element : children)
        element = SimAccessibility::makeElement();
    ax.setAttribute(wide, AX::children, children);
    EXPECT_EQ(BrowserTabEnumerator::descendants(wide, 3).size(), 1499u);
}

TEST_F(BrowserTabEnumeratorTest, StripsPreferTheFullestTabGroupThenRadioButtons)
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

namespace {

// Chrome with Mail in its front window and Maps, News behind, the back window's tab strip built.
class BrowserTabActivationTest : public BrowserTabEnumeratorTest {
protected:
    ProcessID pid = 0;
    AXElement front;
    AXElement back;

    void SetUp() override
    {
        BrowserTabEnumeratorTest::SetUp();
        pid = browsers.launch(spec(chromeID));
        front = browsers.openWindow(chromeName, {{"Mail", "https://mail.example/"}});
        back = browsers.openWindow(chromeName, {{"Maps", "https://maps.example/"}, {"News", "https://news.example/"}});
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

namespace {

// Answers activations on a thread of its own, after the call has returned, as the
// browser extension does.
class LaterAutomation : public BrowserAutomation {
public:
    explicit LaterAutomation(BrowserAutomation& inner) : m_inner(inner) {}
    ~LaterAutomation() override { join(); }
    std::optional<std::vector<BrowserTabRow>> listTabs(const BrowserSpec& b, double t) override
    {
        return m_inner.listTabs(b, t);
    }
    std::optional<bool> activateTab(const BrowserSpec& b, const BrowserTabAddress& t) override
    {
        return m_inner.activateTab(b, t);
    }
    void activateTabAsync(const BrowserSpec& b, const BrowserTabAddress& t, ActivationCompletion done) override
    {
        m_thread = std::thread([this, &b, t, done] { done(m_inner.activateTab(b, t)); });
    }
    void closeTab(const BrowserSpec& b, const BrowserTabAddress& t) override { m_inner.closeTab(b, t); }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    BrowserAutomation& m_inner;
    std::thread m_thread;
};

} // namespace

TEST_F(BrowserTabActivationTest, ALaterAnswerIsCarriedOutOnTheMainQueue)
{
    LaterAutomation later(automation);
    runtime.context().ports().browserAutomation = &later;
    BrowserTabEnumerator::activate(recorded(2, 2));
    later.join();
    EXPECT_TRUE(runtime.desktop().workspace.log().isEmpty()); // nothing raised off the main thread
    runtime.runUntilIdle();
    const auto windows = browsers.windows(chromeName);
    EXPECT_EQ(std::pair(windows.front().tabs.front().title, windows.front().activeTab), std::pair(u"Maps"_s, 2));
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(1));
    runtime.advance(0.059);
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(1));
    runtime.advance(0.001); // the recorded window is raised a second time
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(2));

    // A browser that does not know the tab any more: the fallback, also on the main queue.
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
    BrowserTabEnumerator::activate(recorded(2, 2));
    later.join();
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(2));
    runtime.runUntilIdle();
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(4)); // the fallback activates twice
}

// Positions are those of the listing: a window that came forward since moved the others.
// The browser names the window after the tab it selected, so the second look finds it.
TEST_F(BrowserTabActivationTest, RevealPrefersTheWindowTitledAfterTheTabToAStalePosition)
{
    BrowserTabEnumerator::revealBrowserWindow(recorded(1, 2)); // listed while the back window was in front
    ax.setAttribute(back, AX::title, u"News - Chrome"_s);
    runtime.advance(BrowserTabEnumerator::revealRetryDelay);
    EXPECT_EQ(actionLog(), (QStringList{"Mail AXMain=true", "Mail AXFocused=true", "Maps AXMain=true",
                                        "Maps AXFocused=true", "Mail AXRaise", "Maps AXRaise"}));
}

TEST_F(BrowserTabActivationTest, RevealUnminimisesAndFallsBackToTheFirstWindow)
{
    ax.setAttribute(front, AX::minimized, true);
    BrowserTabEnumerator::revealBrowserWindow(recorded(9, 1));
    EXPECT_EQ(actionLog(), (QStringList{"Mail AXMinimized=false", "Mail AXMain=true", "Mail AXFocused=true", "Mail AXRaise"}));
}

TEST_F(BrowserTabActivationTest, TabTheScriptRefusesIsPressedThroughAccessibilityWhereverItsTitleIs)
{
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
    // Positions from an older listing: the title still finds the tab.
    BrowserTabEnumerator::activate(recorded(3, 1));
    EXPECT_EQ(browsers.scripts().size(), 1);
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(2));
    EXPECT_EQ(actionLog(), (QStringList{"News AXSelected=true", "Maps AXMain=true", "Maps AXFocused=true", "News AXPress",
                                        "Maps AXRaise"}));
    runtime.advance(1.0);
    EXPECT_EQ(runtime.desktop().workspace.log(), activations(2)); // no delayed second pass
}

TEST_F(BrowserTabActivationTest, TabFoundNowhereStillBringsItsWindowForward)
{
    browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
    TabItem gone = recorded(1, 1); // the front window has no tab strip
    gone.title = u"Gone"_s;
    BrowserTabEnumerator::activate(gone);
    EXPECT_EQ(actionLog(), (QStringList{"Mail AXMain=true", "Mail AXFocused=true", "Mail AXRaise"}));
}
