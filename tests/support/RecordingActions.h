#pragma once

#include "core/sources/AXWindowInspector.h"
#include "core/shell/RuntimeContext.h"
#include "core/model/SwitchItem.h"

#include <QMap>
#include <QSet>
#include <QStringList>

namespace ostrevane {

// Records what rows asked for, and answers capability questions from tables the test sets.
class RecordingActions : public SwitchItemActions {
public:
    QStringList log; // e.g. "activateWindow Terminal", "quit com.example.app"
    QMap<QString, CloseCapability> capabilities; // by bundle id; absent means none
    QSet<QString> runningUserApps;
    int runningReads = 0; // each read is a pass over every running application

    void activateWindow(const WindowItem& w) override { log << QStringLiteral("activateWindow ") + w.title; }
    void activateTab(const TabItem& t) override { log << QStringLiteral("activateTab ") + t.title; }
    void ensureFinderWindow() override { log << QStringLiteral("ensureFinderWindow"); }
    void launchOrActivateApp(const AppItem& a) override { log << QStringLiteral("launchOrActivateApp ") + a.bundleID; }
    void closeTab(const TabItem& t) override { log << QStringLiteral("closeTab ") + t.title; }
    void quit(const QString& bundleID) override { log << QStringLiteral("quit ") + bundleID; }
    // As the program does for a window that responds: its close button is pressed.
    void closeWindow(const WindowItem& w) override
    {
        AXWindowInspector::pressCloseButton(RuntimeContext::current().accessibility(), w.axWindow);
    }
    QMap<QString, HungWindow> hungWindows; // by title; absent means no
    HungWindow hungWindowState(const WindowItem& w) override { return hungWindows.value(w.title, HungWindow::no); }
    CloseCapability appCloseCapability(const QString& bundleID) override
    {
        return capabilities.value(bundleID, CloseCapability::none());
    }
    QSet<QString> runningUserAppIDs() override
    {
        ++runningReads;
        return runningUserApps;
    }
};

} // namespace ostrevane
