#include "core/model/SwitchItem.h"

#include "support/Fixtures.h"
#include "support/QtPrinting.h"
#include "support/TestRuntime.h"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace ostrevane;
using namespace ostrevane::fixtures;

namespace {

const QString chrome = QStringLiteral("com.google.Chrome");

class SwitchItemTest : public ::testing::Test {
protected:
    TestRuntime runtime;

    // A window whose close button's "AXEnabled" is as given (nullopt: unreadable).
    WindowItem windowWithCloseButton(const QString& title, std::optional<bool> enabled)
    {
        WindowItem w = window("A", "a", title);
        w.axWindow = SimAccessibility::makeElement(QStringLiteral("window"));
        AXElement button = SimAccessibility::makeElement(QStringLiteral("close"));
        runtime.accessibility.setAttribute(w.axWindow, AX::closeButton, button);
        if (enabled)
            runtime.accessibility.setAttribute(button, AX::enabled, *enabled);
        return w;
    }
};

} // namespace

TEST_F(SwitchItemTest, RowsShowTitleSubtitleAndRecencyKey)
{
    TabItem untitled = tab(chrome, QString(), QStringLiteral("https://Docs.Example.com/a?b"), 2, 5);
    TabItem withChromeID = tab(chrome, QStringLiteral("Docs"), QStringLiteral("https://docs.example.com"), 2, 5);
    withChromeID.chromeTabID = 991;
    const struct {
        const char* name;
        SwitchItem item;
        QString title, subtitle, key;
    } rows[] = {
        {"broken url", tab(chrome, "t", "http://[::1"), "t", "Google Chrome", "tab::com.google.Chrome::t::1::1"},
        {"untitled tab shows its address", untitled, "https://Docs.Example.com/a?b",
         u"Google Chrome · docs.example.com"_qs, "tab::com.google.Chrome::::2::5"},
        {"chrome's tab id replaces the title in the key", withChromeID, "Docs", u"Google Chrome · docs.example.com"_qs,
         "tab::com.google.Chrome::991::2::5"},
        {"tab group keys on its active tab",
         tabGroup(chrome, "Chrome", {tab(chrome, "one", "u", 1, 1), tab(chrome, "two", "u", 1, 2, true)}), "Chrome",
         "2 open tabs", "tab::com.google.Chrome::two::1::2"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ((QStringList{row.item.title(), row.item.subtitle(), row.item.mruKey()}),
                  (QStringList{row.title, row.subtitle, row.key}));
    }
}

TEST_F(SwitchItemTest, MatchFieldsWeighAddressesWithoutOneLeadingPrefix)
{
    using Fields = std::vector<std::pair<QString, double>>;
    const struct {
        const char* url;
        QString cleaned;
    } urls[] = {
        {"https://www.example.com/x", "example.com/x"},
        {"https://http://nested", "http://nested"},
        {"chrome://settings", "settings"},
    };
    for (const auto& row : urls)
        EXPECT_EQ(SwitchItem(tab(chrome, "T", row.url)).matchFields(), (Fields{{"T", 1.0}, {row.cleaned, 0.6}}))
            << row.url;

    EXPECT_EQ(SwitchItem(window("Notes", "n", "List")).matchFields(), (Fields{{"Notes", 1.0}, {"List", 1.0}}));
    EXPECT_EQ(SwitchItem(tabGroup("org.mozilla", "Firefox", {tab(chrome, "a", "u")})).matchFields(),
              (Fields{{"Firefox", 1.0}, {"chrome tabs", 0.8}}));
}

TEST_F(SwitchItemTest, EqualityAndHashingUseCaseAndIdOnly)
{
    const WindowItem w = window("A", "a", "same");
    WindowItem renamed = w;
    renamed.title = QStringLiteral("other title");
    const WindowItem reEnumerated = window("A", "a", "same");
    TabItem t = tab(chrome, "t", "u");
    t.id = w.id; // a coincident UUID in another case is still another row
    EXPECT_EQ(SwitchItem(w), SwitchItem(renamed));
    EXPECT_NE(SwitchItem(w), SwitchItem(reEnumerated));
    EXPECT_NE(SwitchItem(w), SwitchItem(t));
    const std::unordered_set<SwitchItem> set{SwitchItem(w), SwitchItem(renamed), SwitchItem(reEnumerated),
                                             SwitchItem(t)};
    EXPECT_EQ(set.size(), 3u);
}

TEST_F(SwitchItemTest, CloseCapabilityFollowsTheCloseButtonAndTheActivator)
{
    runtime.actions.capabilities.insert(chrome, CloseCapability::blocked(QStringLiteral("Close tabs instead")));
    const struct {
        const char* name;
        SwitchItem item;
        CloseCapability expected;
    } rows[] = {
        {"unreadable enabled state", windowWithCloseButton("w", std::nullopt), CloseCapability::closeWindow()},
        {"disabled close button", windowWithCloseButton("w", false), CloseCapability::none()},
        {"no close button", window("A", "a", "t"), CloseCapability::none()},
        {"tab group asks for its browser", tabGroup(chrome, "Chrome", {tab(chrome, "t", "u")}),
         CloseCapability::blocked(QStringLiteral("Close tabs instead"))},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.item.closeCapability(), row.expected) << row.name;
}

TEST_F(SwitchItemTest, GroupsActOnTheirFirstMemberOrTheirAppAndADisabledCloseButtonIsNotPressed)
{
    SwitchItem(tabGroup(chrome, "Chrome", {tab(chrome, "first", "u", 1, 1), tab(chrome, "second", "u", 1, 2)}))
        .activate();
    SwitchItem(windowGroup("com.apple.finder", "Finder", {window("Finder", "com.apple.finder", "Home")})).activate();
    SwitchItem(windowGroup("com.x", "X", {window("X", "com.x", "first"), window("X", "com.x", "second")})).activate();
    SwitchItem(tabGroup(chrome, "Chrome", {tab(chrome, "t", "u")})).close();
    EXPECT_EQ(runtime.actions.log, (QStringList{"activateTab first", "ensureFinderWindow", "activateWindow first",
                                                "quit com.google.Chrome"}));

    SwitchItem(windowWithCloseButton("disabled", false)).close();
    EXPECT_TRUE(runtime.accessibility.actions().empty());
}
