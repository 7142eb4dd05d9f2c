#include "core/SwitchItem.h"

#include "support/Fixtures.h"
#include "support/TestRuntime.h"

#include <QSet>

#include <gtest/gtest.h>

#include <unordered_set>

using namespace ostrevane;
using namespace ostrevane::fixtures;

namespace {

const QString chrome = QStringLiteral("com.google.Chrome");

class SwitchItemTest : public ::testing::Test {
protected:
    TestRuntime runtime;

    // A window element with a close button whose "AXEnabled" is as given (nullopt: unreadable).
    AXElement windowWithCloseButton(std::optional<bool> enabled)
    {
        AXElement window = SimAccessibility::makeElement(QStringLiteral("window"));
        AXElement button = SimAccessibility::makeElement(QStringLiteral("close"));
        runtime.accessibility.setAttribute(window, AX::closeButton, button);
        if (enabled)
            runtime.accessibility.setAttribute(button, AX::enabled, *enabled);
        return window;
    }
};

} // namespace

TEST_F(SwitchItemTest, WindowKeysOnBundleIDOrElseAppNameAndAnEmptyTitleShowsTheAppName)
{
    const SwitchItem untitled(window(QStringLiteral("Terminal"), QStringLiteral("com.apple.Terminal"), QString()));
    EXPECT_EQ(untitled.title(), QStringLiteral("Terminal"));
    EXPECT_EQ(untitled.subtitle(), QStringLiteral("Terminal"));
    EXPECT_EQ(untitled.mruKey(), QStringLiteral("com.apple.Terminal::"));

    const SwitchItem noBundle(window(QStringLiteral("xterm"), std::nullopt, QStringLiteral("~")));
    EXPECT_EQ(noBundle.mruKey(), QStringLiteral("xterm::~"));
    EXPECT_EQ(noBundle.mruKey(), SwitchItem(window("Other", QStringLiteral("xterm"), "~")).mruKey());
}

TEST_F(SwitchItemTest, TabTitleSubtitleAndKey)
{
    TabItem t = tab(chrome, QString(), QStringLiteral("https://Docs.Example.com/a?b"), 2, 5);
    EXPECT_EQ(SwitchItem(t).title(), QStringLiteral("https://Docs.Example.com/a?b"));
    EXPECT_EQ(SwitchItem(t).subtitle(), QString::fromUtf8("Google Chrome \xC2\xB7 docs.example.com"));
    EXPECT_EQ(SwitchItem(t).mruKey(), QStringLiteral("tab::com.google.Chrome::::2::5"));
    t.title = QStringLiteral("Docs");
    EXPECT_EQ(SwitchItem(t).mruKey(), QStringLiteral("tab::com.google.Chrome::Docs::2::5"));
    t.chromeTabID = 991;
    EXPECT_EQ(SwitchItem(t).mruKey(), QStringLiteral("tab::com.google.Chrome::991::2::5"));
}

TEST_F(SwitchItemTest, TabWithoutHostHasBrowserNameAloneAsSubtitle)
{
    for (const char* url : {"not a url at all", "file:///tmp/x.html", "http://[::1"}) {
        SCOPED_TRACE(url);
        EXPECT_EQ(SwitchItem(tab(chrome, QStringLiteral("t"), QString::fromUtf8(url))).subtitle(),
                  QStringLiteral("Google Chrome"));
    }
}

TEST_F(SwitchItemTest, TabMatchFieldsDropExactlyOneLeadingPrefix)
{
    struct Row {
        const char* url;
        const char* cleaned;
    };
    const Row rows[] = {
        {"https://www.example.com/x", "example.com/x"},
        {"http://www.example.com", "example.com"},
        {"https://http://nested", "http://nested"},
        {"chrome://settings", "settings"},
        {"about:blank", "blank"},
        {"file:///Users/me/a.html", "file:///Users/me/a.html"},
        {"HTTPS://WWW.EXAMPLE.COM", "HTTPS://WWW.EXAMPLE.COM"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        const auto fields = SwitchItem(tab(chrome, QStringLiteral("T"), QString::fromUtf8(row.url))).matchFields();
        ASSERT_EQ(fields.size(), 2u);
        EXPECT_EQ(fields[0], std::make_pair(QStringLiteral("T"), 1.0));
        EXPECT_EQ(fields[1], std::make_pair(QString::fromUtf8(row.cleaned), 0.6));
    }
}

TEST_F(SwitchItemTest, MatchFieldsOfOtherKinds)
{
    using Fields = std::vector<std::pair<QString, double>>;
    EXPECT_EQ(SwitchItem(window(QStringLiteral("Notes"), QStringLiteral("n"), QStringLiteral("List"))).matchFields(),
              (Fields{{QStringLiteral("Notes"), 1.0}, {QStringLiteral("List"), 1.0}}));
    EXPECT_EQ(SwitchItem(tabGroup(QStringLiteral("org.mozilla"), QStringLiteral("Firefox"), {tab(chrome, "a", "u")}))
                  .matchFields(),
              (Fields{{QStringLiteral("Firefox"), 1.0}, {QStringLiteral("chrome tabs"), 0.8}}));
    EXPECT_EQ(SwitchItem(windowGroup(QStringLiteral("f"), QStringLiteral("Finder"), {window("Finder", "f", "x")}))
                  .matchFields(),
              (Fields{{QStringLiteral("Finder"), 1.0}}));
    EXPECT_EQ(SwitchItem(app(QStringLiteral("b"), QStringLiteral("Books"), QStringLiteral("/Applications/Books.app")))
                  .matchFields(),
              (Fields{{QStringLiteral("Books"), 0.95}}));
}

TEST_F(SwitchItemTest, GroupsCountAndKeyOnTheirActiveOrFirstTab)
{
    const SwitchItem tabs(tabGroup(chrome, QStringLiteral("Chrome"),
                                   {tab(chrome, "one", "u", 1, 1), tab(chrome, "two", "u", 1, 2, true)}));
    EXPECT_EQ(tabs.title(), QStringLiteral("Chrome"));
    EXPECT_EQ(tabs.groupCount(), 2);
    EXPECT_EQ(tabs.mruKey(), QStringLiteral("tab::com.google.Chrome::two::1::2"));
    EXPECT_EQ(tabs.subtitle(), QStringLiteral("2 open tabs"));
    const SwitchItem noActive(tabGroup(chrome, "Chrome", {tab(chrome, "first", "u", 1, 1), tab(chrome, "second", "u", 1, 2)}));
    EXPECT_EQ(noActive.mruKey(), QStringLiteral("tab::com.google.Chrome::first::1::1"));
    noActive.activate();
    EXPECT_EQ(runtime.actions.log, QStringList{QStringLiteral("activateTab first")});

    const SwitchItem windows(windowGroup(QStringLiteral("com.apple.finder"), QStringLiteral("Finder"),
                                         {window("Finder", "com.apple.finder", "Home")}));
    EXPECT_EQ(windows.mruKey(), QStringLiteral("windowGroup::com.apple.finder"));
    EXPECT_EQ(windows.subtitle(), QStringLiteral("1 open windows"));
    EXPECT_EQ(SwitchItem(window("A", "a", "t")).groupCount(), std::nullopt);
}

TEST_F(SwitchItemTest, AppSubtitleIsTheContainingFolder)
{
    EXPECT_EQ(SwitchItem(app("x", "Xcode", "/Applications/Xcode.app")).subtitle(), QStringLiteral("/Applications"));
    EXPECT_EQ(SwitchItem(app("x", "Xcode", "/Applications/Xcode.app/")).subtitle(), QStringLiteral("/Applications"));
    EXPECT_EQ(SwitchItem(app("x", "Root", "/Root.app")).subtitle(), QStringLiteral("/"));
    EXPECT_EQ(SwitchItem(app("x", "Bare", "Bare.app")).subtitle(), QString());
    EXPECT_EQ(SwitchItem(app("x", "Xcode", "/A/B/Xcode.app")).mruKey(), QStringLiteral("app::x"));
}

TEST_F(SwitchItemTest, EqualityAndHashingUseCaseAndIdOnly)
{
    const WindowItem w = window("A", "a", "same");
    WindowItem renamed = w;
    renamed.title = QStringLiteral("other title");
    EXPECT_EQ(SwitchItem(w), SwitchItem(renamed));
    EXPECT_EQ(SwitchItem(w).hash(), SwitchItem(renamed).hash());

    const WindowItem reEnumerated = window("A", "a", "same");
    EXPECT_NE(SwitchItem(w), SwitchItem(reEnumerated));
    EXPECT_EQ(SwitchItem(w).mruKey(), SwitchItem(reEnumerated).mruKey());

    TabItem t = tab(chrome, "t", "u");
    t.id = w.id; // a coincident UUID in another case is still another row
    EXPECT_NE(SwitchItem(w), SwitchItem(t));
    std::unordered_set<SwitchItem> set{SwitchItem(w), SwitchItem(renamed), SwitchItem(t)};
    EXPECT_EQ(set.size(), 2u);
}

TEST_F(SwitchItemTest, WindowCloseCapabilityFollowsTheCloseButton)
{
    struct Row {
        const char* name;
        std::optional<std::optional<bool>> button; // none: no button; inner none: AXEnabled unreadable
        CloseCapability expected;
    };
    const Row rows[] = {
        {"enabled button", std::optional<bool>(true), CloseCapability::closeWindow()},
        {"unreadable enabled", std::optional<bool>(), CloseCapability::closeWindow()},
        {"disabled button", std::optional<bool>(false), CloseCapability::none()},
        {"no button", std::nullopt, CloseCapability::none()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WindowItem w = window("A", "a", "t");
        w.axWindow = row.button ? windowWithCloseButton(*row.button) : SimAccessibility::makeElement();
        EXPECT_EQ(SwitchItem(w).closeCapability(), row.expected);
    }
}

TEST_F(SwitchItemTest, CloseCapabilityOfTabsAndApps)
{
    runtime.actions.capabilities.insert(QStringLiteral("com.example.app"), CloseCapability::quit());
    runtime.actions.capabilities.insert(chrome, CloseCapability::blocked(QStringLiteral("Close tabs instead")));
    EXPECT_EQ(SwitchItem(tab(chrome, "t", "u")).closeCapability(), CloseCapability::closeTab());
    EXPECT_EQ(SwitchItem(tabGroup(chrome, "Chrome", {tab(chrome, "t", "u")})).closeCapability(),
              CloseCapability::blocked(QStringLiteral("Close tabs instead")));
    EXPECT_EQ(SwitchItem(app("com.example.app", "Example", "/Applications/Example.app")).closeCapability(),
              CloseCapability::quit());
    EXPECT_EQ(SwitchItem(windowGroup("com.other", "Other", {window("Other", "com.other", "w")})).closeCapability(),
              CloseCapability::none());
}

TEST_F(SwitchItemTest, ActivateReachesTheRightAction)
{
    SwitchItem(window("A", "a", "Win")).activate();
    SwitchItem(tab(chrome, "Tab", "u")).activate();
    SwitchItem(windowGroup("com.apple.finder", "Finder", {window("Finder", "com.apple.finder", "Home")})).activate();
    SwitchItem(windowGroup("com.x", "X", {window("X", "com.x", "first"), window("X", "com.x", "second")})).activate();
    SwitchItem(app("com.y", "Y", "/Applications/Y.app")).activate();
    EXPECT_EQ(runtime.actions.log,
              (QStringList{"activateWindow Win", "activateTab Tab", "ensureFinderWindow", "activateWindow first",
                           "launchOrActivateApp com.y"}));
}

TEST_F(SwitchItemTest, ClosePressesTheButtonClosesTabsAndQuitsApps)
{
    WindowItem closable = window("A", "a", "w");
    closable.axWindow = windowWithCloseButton(true);
    WindowItem disabled = window("A", "a", "w2");
    disabled.axWindow = windowWithCloseButton(false);
    SwitchItem(closable).close();
    SwitchItem(disabled).close();
    ASSERT_EQ(runtime.accessibility.actions().size(), 1u);
    EXPECT_EQ(runtime.accessibility.actions()[0].name, AX::press);

    SwitchItem(tab(chrome, "Tab", "u")).close();
    SwitchItem(tabGroup(chrome, "Chrome", {tab(chrome, "t", "u")})).close();
    SwitchItem(windowGroup("com.x", "X", {window("X", "com.x", "w")})).close();
    SwitchItem(app("com.y", "Y", "/Applications/Y.app")).close();
    EXPECT_EQ(runtime.actions.log,
              (QStringList{"closeTab Tab", "quit com.google.Chrome", "quit com.x", "quit com.y"}));
}
