#pragma once

#include "core/shell/PlatformProfile.h"
#include "core/platform/BrowserAutomation.h"
#include "core/platform/ScriptRunner.h"

#include <QString>

#include <optional>
#include <vector>

namespace ostrevane {

// The browser automation port over AppleScript: builds the tab-listing, tab-selecting
// and tab-closing programs for a browser's family and reads their results. The texts
// are exactly what a scriptable browser understands; the simulated desktop answers
// them too. Safe to call from any thread the script runner allows.
class AppleScriptAutomation : public BrowserAutomation {
public:
    explicit AppleScriptAutomation(ScriptRunner& runner) : m_runner(runner) {}

    // Nothing when the script fails (not running, automation refused, busy); the
    // readable rows otherwise (a result without elements gives none). Each script is
    // bounded by the platform's own time-out, not by `timeoutSeconds`.
    std::optional<std::vector<BrowserTabRow>> listTabs(const BrowserSpec& browser, double timeoutSeconds) override;
    // True only for a boolean true result; false for false or any other value.
    std::optional<bool> activateTab(const BrowserSpec& browser, const BrowserTabAddress& tab) override;
    void closeTab(const BrowserSpec& browser, const BrowserTabAddress& tab) override;

    // The program that lists every tab of every window of the browser.
    static QString tabListingScript(const BrowserSpec& browser);
    // The program that selects a tab (by position first for Chromium browsers, by
    // address or title first for Safari) and brings its window to the front.
    static QString activationScript(const BrowserSpec& browser, const BrowserTabAddress& tab);
    // The program that closes the tab at its recorded position (positions not clamped).
    static QString closeTabScript(const BrowserSpec& browser, const BrowserTabAddress& tab);
    // An AppleScript string literal: backslashes doubled, then quotes escaped, wrapped
    // in quotes.
    static QString quoted(const QString& text);
    // The tab rows of a listing result. Elements that are not lists of at least five
    // entries, or whose window or tab position is missing or below 1, are skipped
    // alone; a missing or non-text title reads "Untitled", a missing address empty.
    static std::vector<BrowserTabRow> tabRows(const ScriptDescriptor& result);

    static inline const QString untitled = QStringLiteral("Untitled");

private:
    ScriptRunner& m_runner;
};

} // namespace ostrevane
