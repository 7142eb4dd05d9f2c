#include "core/sources/AppleScriptAutomation.h"

#include <algorithm>

namespace ostrevane {

namespace {

// Everything after the application name of the Chromium listing; it begins with the
// closing quote of the first line.
const char* const chromiumListingBody = R"("
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
end tell)";

const char* const safariListingScript = R"(tell application "Safari"
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
end tell)";

// Chromium trusts the recorded position first and searches by address, then title,
// only when that position no longer exists.
const char* const chromiumActivationBody = R"(
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
end tell)";

// Safari searches by address, then title, first; the recorded position is the last resort.
const char* const safariActivationBody = R"(
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
end tell)";

const char* const closeTabTemplate = R"(tell application "%1"
    try
        close tab %2 of window %3
    end try
end tell)";

// The application name is the browser table's own and goes in unescaped.
QString tellLine(const BrowserSpec& browser)
{
    return QStringLiteral("tell application \"") + browser.applicationName + QLatin1Char('"');
}

bool isChromium(const BrowserSpec& browser) { return browser.family == BrowserSpec::Family::chromium; }

std::optional<BrowserTabRow> tabRow(const ScriptDescriptor* element)
{
    constexpr int entriesPerRow = 5;
    if (!element || element->numberOfItems() < entriesPerRow)
        return std::nullopt;
    const ScriptDescriptor* windowEntry = element->at(1);
    const ScriptDescriptor* tabEntry = element->at(2);
    const std::optional<qint32> tabIndex = tabEntry ? tabEntry->int32Value() : std::nullopt;
    if (!tabIndex)
        return std::nullopt;
    BrowserTabRow row;
    row.windowIndex = windowEntry ? windowEntry->int32Value().value_or(0) : 0;
    row.tabIndex = *tabIndex;
    if (row.windowIndex < 1 || row.tabIndex < 1)
        return std::nullopt;
    row.active = element->at(3)->booleanValue().value_or(false);
    // An empty title is a real title (a blank page); only a missing one is "Untitled".
    row.title = element->at(4)->stringValue().value_or(AppleScriptAutomation::untitled);
    row.url = element->at(5)->stringValue().value_or(QString());
    return row;
}

} // namespace

QString AppleScriptAutomation::tabListingScript(const BrowserSpec& browser)
{
    if (isChromium(browser))
        return QStringLiteral("tell application \"") + browser.applicationName
            + QString::fromUtf8(chromiumListingBody);
    return QString::fromUtf8(safariListingScript);
}

QString AppleScriptAutomation::activationScript(const BrowserSpec& browser, const BrowserTabAddress& tab)
{
    const QString header = tellLine(browser) + QStringLiteral("\n    set targetURL to ") + quoted(tab.url)
        + QStringLiteral("\n    set targetTitle to ") + quoted(tab.title)
        + QStringLiteral("\n    set fallbackWindowIndex to ") + QString::number(std::max(tab.windowIndex, 1))
        + QStringLiteral("\n    set fallbackTabIndex to ") + QString::number(std::max(tab.tabIndex, 1))
        + QLatin1Char('\n');
    return header + QString::fromUtf8(isChromium(browser) ? chromiumActivationBody : safariActivationBody);
}

QString AppleScriptAutomation::closeTabScript(const BrowserSpec& browser, const BrowserTabAddress& tab)
{
    return QString::fromUtf8(closeTabTemplate)
        .arg(browser.applicationName, QString::number(tab.tabIndex), QString::number(tab.windowIndex));
}

QString AppleScriptAutomation::quoted(const QString& text)
{
    QString escaped = text;
    // Backslashes first, so the ones added for quotes are not doubled again.
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

std::vector<BrowserTabRow> AppleScriptAutomation::tabRows(const ScriptDescriptor& result)
{
    std::vector<BrowserTabRow> rows;
    const int count = result.numberOfItems();
    for (int i = 1; i <= count; ++i)
        if (std::optional<BrowserTabRow> row = tabRow(result.at(i)))
            rows.push_back(std::move(*row));
    return rows;
}

std::optional<std::vector<BrowserTabRow>> AppleScriptAutomation::listTabs(const BrowserSpec& browser, double)
{
    const std::optional<ScriptDescriptor> result = m_runner.executeAppleScript(tabListingScript(browser));
    if (!result)
        return std::nullopt;
    return tabRows(*result);
}

std::optional<bool> AppleScriptAutomation::activateTab(const BrowserSpec& browser, const BrowserTabAddress& tab)
{
    const std::optional<ScriptDescriptor> result = m_runner.executeAppleScript(activationScript(browser, tab));
    if (!result)
        return std::nullopt;
    return result->booleanValue().value_or(false);
}

void AppleScriptAutomation::closeTab(const BrowserSpec& browser, const BrowserTabAddress& tab)
{
    // A tab that is already gone raises inside the script's try; nothing to report.
    m_runner.executeAppleScript(closeTabScript(browser, tab));
}

} // namespace ostrevane
