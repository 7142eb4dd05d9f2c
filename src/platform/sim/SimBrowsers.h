#pragma once

#include "core/shell/PlatformProfile.h"
#include "core/platform/Accessibility.h"
#include "core/platform/ScriptRunner.h"

#include <QString>
#include <QStringList>

#include <map>
#include <mutex>
#include <vector>

namespace ostrevane {

class SimDesktop;

struct SimTab {
    QString title;
    QString url;
};

// One window of a simulated browser, as its scripting interface sees it.
struct SimBrowserWindow {
    std::vector<SimTab> tabs;
    int activeTab = 1;    // 1-based
    AXElement axWindow;   // the desktop window opened with it
};

// Scriptable browsers on the simulated desktop. As the desktop's script runner, it
// reads each script's `tell application "..."` line and lets that browser answer the
// tab-listing, tab-selecting and tab-closing programs from its own windows and tabs
// (front to back), the way the real browsers' scripting interfaces do. Scripts to
// anything else, and texts it cannot parse (a broken string literal), fail like a
// compile error. Every script received is recorded. Any thread may call it.
class SimBrowsers : public ScriptRunner {
public:
    enum class Mode {
        answers,
        refusesAutomation, // the user denied automation: every script fails
        busy,              // the browser does not answer in time: every script fails
        malformedRows,     // listings carry broken elements around the real rows
    };

    explicit SimBrowsers(SimDesktop& desktop);

    // Launches the browser on the desktop (its table bundle id and name) and makes it
    // answer scripts addressed to its application name. Returns the pid.
    ProcessID launch(const BrowserSpec& browser);
    // Opens a window behind the browser's others, with a desktop window titled after
    // its active tab. Returns the desktop window.
    AXElement openWindow(const QString& applicationName, std::vector<SimTab> tabs, int activeTab = 1);
    void setMode(const QString& applicationName, Mode mode);

    // The browser's windows, front to back.
    std::vector<SimBrowserWindow> windows(const QString& applicationName) const;
    // Every script text received, in order.
    QStringList scripts() const;
    void clearScripts();

    // Builds a tab strip inside `window` for the accessibility road: an "AXTabGroup"
    // child holding one "AXRadioButton" per title with "AXSelected" set on the
    // 0-based `selected` one. Returns the buttons.
    std::vector<AXElement> addTabStrip(const AXElement& window, const QStringList& titles, int selected);

    std::optional<ScriptDescriptor> executeAppleScript(const QString& source) override;

private:
    struct Browser {
        BrowserSpec spec;
        ProcessID pid = 0;
        Mode mode = Mode::answers;
        std::vector<SimBrowserWindow> windows;
    };
    std::optional<ScriptDescriptor> answer(Browser& browser, const QString& source);
    ScriptDescriptor listing(const Browser& browser, const QString& source) const;
    std::optional<ScriptDescriptor> activation(Browser& browser, const QString& source);
    void closing(Browser& browser, const QString& source);
    void select(Browser& browser, size_t window, int tab);
    void appendChild(const AXElement& parent, const AXElement& child);

    SimDesktop& m_desktop;
    mutable std::mutex m_mutex;
    std::map<QString, Browser> m_browsers; // by application name
    QStringList m_scripts;
};

} // namespace ostrevane
