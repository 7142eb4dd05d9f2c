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
const QString chromeName = u"Google Chrome"_s;

const BrowserSpec& spec(const QString& bundleID) { return *PlatformProfile::macOS().browser(bundleID); }

// Titles, with "*" after a selected strip candidate.
QStringList titles(const std::vector<AXTabCandidate>& tabs)
{
    QStringList result;
    for (const AXTabCandidate& tab : tabs)
        result << tab.title + (tab.selected ? "*" : "");
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

// Seen only in the window list, under its exact owner name with a pid.
TEST_F(BrowserTabEnumeratorTest, FindsABrowserByItsWindowsOwner)
{
    runtime.desktop().windowServer.setWindowList({
        {u"Chrome"_s, std::nullopt},
        {u"chrome"_s, ProcessID(4100)},
        {u"Chrome"_s, ProcessID(4242)},
    });
    const std::optional<RunningBrowser> chrome = BrowserTabEnumerator::runningBrowser(chromeID);
    ASSERT_TRUE(chrome);
    EXPECT_EQ(std::pair(chrome->pid, chrome->name), std::pair(ProcessID(4242), chromeName));
}

// Every query value is percent-encoded, so a page address with &, =, # or + comes back whole.
TEST_F(BrowserTabEnumeratorTest, FaviconAddressKeepsWholePageAndNeedsAHost)
{
    EXPECT_EQ(BrowserTabEnumerator::faviconURL(u"file:///tmp/page.html"_s), QString());
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
        {u"data:image/png;base64,iVBORw0KGgo="_s, u"data:image/png;base64,iVBORw0KGgo="_s},
        {u"chrome://favicon2/?page_url=x"_s, made},       // only the browser can read it
        {u"file:///home/me/.icons/a.png"_s, made},        // never from disk on a page's say
    };
    for (const auto& [icon, expected] : cases) {
        rowsAutomation.rows = {{1, 1, true, u"Page"_s, page, icon}};
        const std::vector<TabItem> tabs = BrowserTabEnumerator::enumerateViaAutomation({spec(chromeID)});
        ASSERT_EQ(tabs.size(), 1u);
        EXPECT_EQ(tabs[0].faviconURL, expected) << icon.toStdString();
    }
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
    for (const char* title : {"NEW TAB", "Close Tab 3", "Side Panel", "x", "\xF0\x9F\x98\x80", "  Close", "Closet", "  Real tab\n"})
        child(group, AX::roleRadioButton, QString::fromUtf8(title));
    // "  Close" trims to the rejected word; "Closet" is a page title.
    EXPECT_EQ(titles(BrowserTabEnumerator::tabs(group)), (QStringList{"Closet", "Real tab"}));
}

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

// Chrome with Mail in its front window and Maps, News behind; News is chosen.
TEST_F(BrowserTabEnumeratorTest, ALaterAnswerIsCarriedOutOnTheMainQueue)
{
    const ProcessID pid = browsers.launch(spec(chromeID));
    browsers.openWindow(chromeName, {{"Mail", "https://mail.example/"}});
    browsers.openWindow(chromeName, {{"Maps", "https://maps.example/"}, {"News", "https://news.example/"}});
    LaterAutomation later(automation);
    runtime.context().ports().browserAutomation = &later;
    BrowserTabEnumerator::activate(fixtures::tab(chromeID, u"News"_s, u"https://news.example/"_s, 2, 2));
    later.join();
    EXPECT_TRUE(runtime.desktop().workspace.log().isEmpty()); // nothing raised off the main thread
    runtime.runUntilIdle();
    const auto windows = browsers.windows(chromeName);
    EXPECT_EQ(std::pair(windows.front().tabs.front().title, windows.front().activeTab), std::pair(u"Maps"_s, 2));
    runtime.advance(1.0); // the recorded window is raised a second time
    EXPECT_EQ(runtime.desktop().workspace.log(), QStringList(2, u"activate %1"_s.arg(pid)));
}
