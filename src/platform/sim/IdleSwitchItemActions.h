#pragma once

#include "core/model/SwitchItem.h"

namespace ostrevane {

// Row actions that do nothing, for benchmarks: every application counts as quittable,
// and those in `running` as running, so the lists keep their rows.
class IdleSwitchItemActions : public SwitchItemActions {
public:
    void activateWindow(const WindowItem&) override {}
    void activateTab(const TabItem&) override {}
    void ensureFinderWindow() override {}
    void launchOrActivateApp(const AppItem&) override {}
    void closeTab(const TabItem&) override {}
    void quit(const QString&) override {}
    void closeWindow(const WindowItem&) override {}
    HungWindow hungWindowState(const WindowItem&) override { return HungWindow::no; }
    CloseCapability appCloseCapability(const QString&) override { return CloseCapability::quit(); }
    QSet<QString> runningUserAppIDs() override { return running; }

    QSet<QString> running;
};

} // namespace ostrevane
