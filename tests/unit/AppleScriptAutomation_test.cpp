#include "core/sources/AppleScriptAutomation.h"

#include "support/QtPrinting.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

const BrowserSpec& chrome() { return *PlatformProfile::macOS().browser(QStringLiteral("com.google.Chrome")); }
const BrowserSpec& safari() { return *PlatformProfile::macOS().browser(QStringLiteral("com.apple.Safari")); }

template <class T>
ScriptDescriptor value(T v)
{
    return ScriptDescriptor(ScriptDescriptor::Value(std::move(v)));
}

ScriptDescriptor list(std::initializer_list<ScriptDescriptor> entries) { return value(ScriptDescriptor::List(entries)); }
ScriptDescriptor integer(qint64 n) { return value(n); }
ScriptDescriptor text(const char* s) { return value(QString::fromUtf8(s)); }
const ScriptDescriptor missing{};

} // namespace

TEST(AppleScriptAutomation, ChromiumListingScriptNamesTheBrowserAndReadsTitleURLAndActiveIndex)
{
    EXPECT_EQ(AppleScriptAutomation::tabListingScript(chrome()), QStringLiteral(R"(tell application "Google Chrome"
    set tabItems to {}
    set windowCount to count of windows
    repeat with wIndex from 1 to windowCount
        set targetWindow to window wIndex
        set activeIndex to 0
        try
            set activeIndex to active tab index of targetWindow
        end try
        set tabCount to count of tabs of targetWindow
        repeat with tIndex from 1 to tabCount
            set targetTab to tab tIndex of targetWindow
            set tabTitle to ""
            set tabURL to ""
            try
                set tabTitle to title of targetTab as text
            end try
            try
                set tabURL to URL of targetTab as text
            end try
            set end of tabItems to {wIndex as integer, tIndex as integer, (tIndex = activeIndex), tabTitle, tabURL}
        end repeat
    end repeat
    return tabItems
end tell)"));
}

TEST(AppleScriptAutomation, SafariListingScriptIsFixedAndReadsNameAndCurrentTab)
{
    EXPECT_EQ(AppleScriptAutomation::tabListingScript(safari()), QStringLiteral(R"(tell application "Safari"
    set tabItems to {}
    set windowCount to count of windows
    repeat with wIndex from 1 to windowCount
        set targetWindow to window wIndex
        set tabCount to count of tabs of targetWindow
        repeat with tIndex from 1 to tabCount
            set targetTab to tab tIndex of targetWindow
            set tabTitle to ""
            set tabURL to ""
            set tabActive to false
            try
                set tabTitle to name of targetTab as text
            end try
            try
                set tabURL to URL of targetTab as text
            end try
            try
                set tabActive to targetTab is current tab of targetWindow
            end try
            set end of tabItems to {wIndex as integer, tIndex as integer, tabActive, tabTitle, tabURL}
        end repeat
    end repeat
    return tabItems
end tell)"));
}

TEST(AppleScriptAutomation, ChromiumActivationTriesRecordedPositionFirstAndEscapesTitleAndURL)
{
    const QString script = AppleScriptAutomation::activationScript(
        chrome(), BrowserTabAddress{QStringLiteral(R"(https://example.com/?q="a\b")"), QStringLiteral(R"(Say "hi" \ bye)"), 2, 3});
    EXPECT_EQ(script, QStringLiteral(R"(tell application "Google Chrome"
    set targetURL to "https://example.com/?q=\"a\\b\""
    set targetTitle to "Say \"hi\" \\ bye"
    set fallbackWindowIndex to 2
    set fallbackTabIndex to 3

    try
        if (count of windows) >= fallbackWindowIndex then
            set targetWindow to window fallbackWindowIndex
            if (count of tabs of targetWindow) >= fallbackTabIndex then
                set active tab index of targetWindow to fallbackTabIndex
                set index of targetWindow to 1
                activate
                return true
            end if
        end if
    end try

    repeat with wIndex from 1 to count of windows
        set targetWindow to window wIndex
        repeat with tIndex from 1 to count of tabs of targetWindow
            set targetTab to tab tIndex of targetWindow
            set tabURL to ""
            set tabTitle to ""
            try
                set tabURL to URL of targetTab as text
            end try
            try
                set tabTitle to title of targetTab as text
            end try
            if (targetURL is not "" and tabURL is targetURL) or (targetURL is "" and targetTitle is not "" and tabTitle is targetTitle) then
                set active tab index of targetWindow to tIndex
                set index of targetWindow to 1
                activate
                return true
            end if
        end repeat
    end repeat

    return false
end tell)"));
}

TEST(AppleScriptAutomation, SafariActivationSearchesFirstAndSendsPositionsBelowOneAsOne)
{
    const QString script = AppleScriptAutomation::activationScript(safari(), BrowserTabAddress{QString(), QStringLiteral("News"), 0, -4});
    EXPECT_EQ(script, QStringLiteral(R"(tell application "Safari"
    set targetURL to ""
    set targetTitle to "News"
    set fallbackWindowIndex to 1
    set fallbackTabIndex to 1

    repeat with wIndex from 1 to count of windows
        set targetWindow to window wIndex
        repeat with tIndex from 1 to count of tabs of targetWindow
            set targetTab to tab tIndex of targetWindow
            set tabURL to ""
            set tabTitle to ""
            try
                set tabURL to URL of targetTab as text
            end try
            try
                set tabTitle to name of targetTab as text
            end try
            if (targetURL is not "" and tabURL is targetURL) or (targetURL is "" and targetTitle is not "" and tabTitle is targetTitle) then
                set current tab of targetWindow to targetTab
                set index of targetWindow to 1
                activate
                return true
            end if
        end repeat
    end repeat

    if (count of windows) >= fallbackWindowIndex then
        set targetWindow to window fallbackWindowIndex
        if (count of tabs of targetWindow) >= fallbackTabIndex then
            set current tab of targetWindow to tab fallbackTabIndex of targetWindow
            set index of targetWindow to 1
            activate
            return true
        end if
    end if
    return false
end tell)"));
}

TEST(AppleScriptAutomation, CloseScriptUsesRecordedPositionsUnclamped)
{
    EXPECT_EQ(AppleScriptAutomation::closeTabScript(chrome(), BrowserTabAddress{QString(), QString(), 0, 7}),
              QStringLiteral(R"(tell application "Google Chrome"
    try
        close tab 7 of window 0
    end try
end tell)"));
}

TEST(AppleScriptAutomation, ResultRowsSkipMalformedElementsAlone)
{
    const ScriptDescriptor result = list({
        list({integer(1), integer(1), value(true), text("One"), text("https://one.example/")}),
        list({integer(1), integer(2), value(false), text("Four entries")}),
        list({integer(0), integer(1), value(true), text("Window zero"), text("")}),
        list({integer(1), text("3"), value(true), text("Text tab position"), text("")}),
        missing,
        list({integer(2), integer(4), value(true), text(""), text("")}),
        list({integer(3), integer(1), missing, missing, missing}),
        list({integer(3), integer(2), value(false), integer(42), text("https://two.example/")}),
    });
    const std::vector<BrowserTabRow> expected{
        {1, 1, true, QStringLiteral("One"), QStringLiteral("https://one.example/")},
        {2, 4, true, QString(), QString()},
        {3, 1, false, QStringLiteral("Untitled"), QString()},
        {3, 2, false, QStringLiteral("Untitled"), QStringLiteral("https://two.example/")},
    };
    EXPECT_EQ(AppleScriptAutomation::tabRows(result), expected);
    EXPECT_TRUE(AppleScriptAutomation::tabRows(text("tabs")).empty());
}
