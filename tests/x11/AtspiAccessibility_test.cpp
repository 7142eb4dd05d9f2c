#include "platform/x11/AtspiAccessibility.h"

#include "core/sources/AppleScriptAutomation.h"
#include "core/sources/BrowserTabEnumerator.h"
#include "platform/sim/SimBrowsers.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <QHash>

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace Qt::StringLiterals;

namespace {

const QString chromeID = u"com.google.Chrome"_s;
const QString chromeName = u"Google Chrome"_s;
constexpr quint64 showing = quint64(1) << AtspiState::showing;
constexpr quint64 selected = quint64(1) << AtspiState::selected;

// An accessibility bus held in memory: objects by path, all owned by one connection per
// application. Actions are recorded as "<name> press" and "<name> select".
class FakeAtspiTree : public AtspiTree {
public:
    struct Object {
        quint32 role = 0;
        QString name;
        QString description;
        quint64 states = showing;
        std::vector<QString> children;
    };

    bool busUp = true;
    QHash<ProcessID, QString> applications; // pid -> root path
    QHash<QString, Object> objects;
    QStringList actions;

    // Adds an object under `parent` and returns its path.
    QString add(const QString& parent, quint32 role, const QString& name = {}, quint64 states = showing)
    {
        const QString path = u"/o/%1"_s.arg(objects.size());
        objects.insert(path, Object{role, name, QString(), states, {}});
        if (objects.contains(parent))
            objects[parent].children.push_back(path);
        return path;
    }

    bool available() override { return busUp; }
    std::optional<AtspiNode> application(ProcessID pid) override
    {
        if (!applications.contains(pid))
            return std::nullopt;
        return AtspiNode{u":1.1"_s, applications.value(pid)};
    }
    std::vector<AtspiNode> children(const AtspiNode& node) override
    {
        std::vector<AtspiNode> result;
        for (const QString& path : objects.value(node.path).children)
            result.push_back({node.bus, path});
        return result;
    }
    std::optional<quint32> role(const AtspiNode& node) override { return read(node, &Object::role); }
    std::optional<QString> name(const AtspiNode& node) override { return read(node, &Object::name); }
    std::optional<QString> description(const AtspiNode& node) override { return read(node, &Object::description); }
    std::optional<quint64> states(const AtspiNode& node) override { return read(node, &Object::states); }
    bool doDefaultAction(const AtspiNode& node) override { return record(node, u"press"_s); }
    bool selectInParent(const AtspiNode& node) override { return record(node, u"select"_s); }

private:
    template <class T>
    std::optional<T> read(const AtspiNode& node, T Object::*field) const
    {
        const auto object = objects.constFind(node.path);
        return object == objects.constEnd() ? std::nullopt : std::optional<T>((*object).*field);
    }
    bool record(const AtspiNode& node, const QString& what)
    {
        actions << objects.value(node.path).name + ' ' + what;
        return objects.contains(node.path);
    }
};

// "window/tab title", with "*" after the tab selected in the front window.
QStringList positions(const std::vector<TabItem>& tabs)
{
    QStringList result;
    for (const TabItem& tab : tabs)
        result << u"%1/%2%3 %4"_s.arg(tab.windowIndex).arg(tab.tabIndex).arg(tab.isActiveInFrontWindow ? "*" : "", tab.title);
    return result;
}

QStringList logged;
void keepMessage(QtMsgType, const QMessageLogContext&, const QString& message) { logged << message; }

// Chrome without any scripting, its windows on the simulated desktop and its tab strips
// on a fake accessibility bus, read through the adapter.
class AtspiAccessibilityTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    SimBrowsers browsers{runtime.desktop()};
    AppleScriptAutomation automation{browsers};
    FakeAtspiTree tree;
    ProcessID pid = 0;
    AtspiAccessibility adapter{runtime.accessibility, tree, [this](const AXElement& element) -> std::optional<ProcessID> {
        const auto windows = runtime.accessibility.copyElements(runtime.accessibility.createApplication(pid), AX::windows);
        if (std::find(windows.begin(), windows.end(), element) == windows.end())
            return std::nullopt;
        return pid;
    }};

    void SetUp() override
    {
        runtime.context().ports().scriptRunner = &browsers;
        runtime.context().ports().browserAutomation = &automation;
        runtime.context().ports().accessibility = &adapter;
        pid = browsers.launch(*PlatformProfile::macOS().browser(chromeID));
        browsers.setMode(chromeName, SimBrowsers::Mode::refusesAutomation);
        tree.applications.insert(pid, tree.add({}, 75, u"Chrome"_s));
    }

    // A browser window on the desktop and its frame on the bus; returns the frame.
    QString openWindow(const QString& title)
    {
        browsers.openWindow(chromeName, {{title, QString()}});
        return tree.add(tree.applications.value(pid), AtspiRole::frame, title);
    }
    // A showing strip of page tabs (the first `selectedTab`, 1-based, selected).
    void addStrip(const QString& under, const QStringList& titles, int selectedTab)
    {
        const QString strip = tree.add(under, AtspiRole::pageTabList);
        for (qsizetype i = 0; i < titles.size(); ++i)
            tree.add(strip, AtspiRole::pageTab, titles[i], showing | (i + 1 == selectedTab ? selected : 0));
    }
    std::vector<TabItem> enumerate() { return BrowserTabEnumerator::enumerate({*PlatformProfile::macOS().browser(chromeID)}, 1.0); }
};

} // namespace

TEST_F(AtspiAccessibilityTest, HiddenStripsAndPagesOwnTabListsAreNotTheBrowsersTabs)
{
    const QString frame = openWindow(u"Docs"_s);
    // Hidden (not showing) and earlier in the walk: its two controls would tie with the tabs.
    const QString hidden = tree.add(frame, AtspiRole::pageTabList, QString(), 0);
    tree.add(hidden, AtspiRole::pushButton, u"Collapse tabs"_s);
    tree.add(hidden, AtspiRole::pushButton, u"Tab groups"_s);
    const QString panel = tree.add(frame, 39);
    addStrip(panel, {u"Docs"_s, u"Sheets"_s}, 2);
    // A page with a bigger tab list of its own.
    addStrip(tree.add(panel, AtspiRole::documentWeb, u"Docs"_s), {u"One"_s, u"Two"_s, u"Three"_s}, 1);

    EXPECT_EQ(positions(enumerate()), (QStringList{"1/1 Docs", "1/2* Sheets"}));
}

TEST(AtspiTabNames, ChromiumsStatusWordsAreCutAndPageTitlesKept)
{
    const std::pair<QString, QString> cut[] = {
        {u"Rust - The Book - Audio playing - High memory usage - 1,204.7 MB"_s, u"Rust - The Book"_s},
        {u"Notes - Pinned - Part of group Work - Inactive tab - 310 kB freed up"_s, u"Notes"_s},
        {u"文档 - 属于“工作 - 2”群组 - 已固定"_s, u"文档"_s},
    };
    for (const auto& [name, title] : cut)
        EXPECT_EQ(AtspiAccessibility::withoutStatusWords(name), title) << name.toStdString();
    // Words of a page's own, and a name that is nothing but status words, stay whole.
    for (const QString& name : {u"Live - Audio playing now"_s, u"Sales - Memory usage - high"_s, u" - Pinned"_s})
        EXPECT_EQ(AtspiAccessibility::withoutStatusWords(name), name);
}

TEST_F(AtspiAccessibilityTest, SelectedTabsAreCutWhereTheirWindowShowsTheTitleOthersByTheirStatusWords)
{
    const QString frame = openWindow(u"Inbox - Google Chrome"_s);
    addStrip(frame, {u"Inbox - Mailbox full - Memory usage - 22.5 MB"_s, u"Radio - Audio playing"_s}, 1);
    EXPECT_EQ(positions(enumerate()), (QStringList{"1/1* Inbox", "1/2 Radio"}));

    // Another page selected, the window's title not caught up yet: only the known words go.
    const QString strip = tree.objects.value(frame).children.front();
    tree.objects[tree.objects.value(strip).children[0]].states = showing;
    tree.objects[tree.objects.value(strip).children[1]].states = showing | selected;
    EXPECT_EQ(positions(enumerate()), (QStringList{"1/1 Inbox - Mailbox full", "1/2* Radio"}));
}

TEST_F(AtspiAccessibilityTest, OpeningATabFindsItByTitleWhereTabsMovedAndElseStillRaisesItsWindow)
{
    addStrip(openWindow(u"Mail"_s), {u"Mail"_s}, 1);
    const QString maps = openWindow(u"Maps"_s);
    addStrip(maps, {u"Maps"_s, u"News - Memory usage - 40.1 MB"_s}, 1);
    const std::vector<TabItem> tabs = enumerate();
    ASSERT_EQ(positions(tabs), (QStringList{"1/1* Mail", "2/1 Maps", "2/2 News"}));

    // A tab opened in front of it since the listing: its recorded place holds another tab.
    const QString strip = tree.objects.value(maps).children.front();
    std::vector<QString>& inStrip = tree.objects[strip].children;
    inStrip.insert(inStrip.begin(), tree.add({}, AtspiRole::pageTab, u"Weather"_s));
    BrowserTabEnumerator::activate(tabs[2]);
    EXPECT_EQ(tree.actions, (QStringList{"News - Memory usage - 40.1 MB press", "News - Memory usage - 40.1 MB select"}));

    // The strip no longer answers: nothing to press, but the tab's window comes forward.
    tree.actions.clear();
    inStrip.clear();
    const size_t before = runtime.accessibility.actions().size();
    BrowserTabEnumerator::activate(tabs[2]);
    EXPECT_TRUE(tree.actions.isEmpty()) << tree.actions.join(", ").toStdString();
    const auto raised = runtime.accessibility.actions();
    ASSERT_GT(raised.size(), before);
    EXPECT_EQ(raised.back().name, AX::raise);
    EXPECT_EQ(runtime.accessibility.copyText(raised.back().element, AX::title), u"Maps"_s);
}

TEST_F(AtspiAccessibilityTest, NoBusOrNoTreeGivesNoTabsAndIsLoggedOnce)
{
    addStrip(openWindow(u"Mail"_s), {u"Mail"_s}, 1);
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
    tree.busUp = false;
    const std::vector<TabItem> withoutBus[] = {enumerate(), enumerate()};
    tree.busUp = true;
    tree.applications.clear(); // accessibility off: the browser registered nothing
    const std::vector<TabItem> withoutTree[] = {enumerate(), enumerate()};
    qInstallMessageHandler(previous);

    for (const auto& tabs : {withoutBus[0], withoutBus[1], withoutTree[0], withoutTree[1]})
        EXPECT_TRUE(tabs.empty());
    ASSERT_EQ(logged.size(), 2) << logged.join('\n').toStdString();
    EXPECT_TRUE(logged[0].contains(u"no accessibility bus"_s)) << logged[0].toStdString();
    EXPECT_TRUE(logged[1].contains(u"publishes no accessibility tree"_s)) << logged[1].toStdString();
}
