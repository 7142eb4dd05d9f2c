#pragma once

#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/preferences/UserDefaults.h"
#include "platform/sim/ManualDispatcher.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimSystemInfo.h"
#include "support/RecordingActions.h"

#include <QTemporaryDir>

#include <memory>

namespace ostrevane {

// A whole runtime for one test: virtual time, a settings file in a temporary folder,
// the simulated desktop, recorded row actions and the macOS profile. It is installed
// as the current context for the test's life. Tests that need other ports (a script
// runner, browser automation, a URL loader) set them through context().ports().
class TestRuntime {
public:
    TestRuntime();
    ~TestRuntime();

    ManualClock clock;
    RecordingActions actions;
    SimSystemInfo systemInfo;

    ManualDispatcher& dispatcher() { return *m_dispatcher; }
    SimDesktop& desktop() { return *m_desktop; }
    UserDefaults& defaults() { return *m_defaults; }
    RuntimeContext& context() { return *m_context; }
    QString settingsPath() const;

    // Runs what is due now / moves virtual time forward.
    void runUntilIdle() { m_dispatcher->runUntilIdle(); }
    void advance(double seconds) { m_dispatcher->advance(seconds); }

    // As if the program quit and started again: pending tasks are dropped, the shared
    // instances are recreated and the settings are read back from the file.
    void restart();

private:
    void build();

    QTemporaryDir m_dir;
    std::unique_ptr<ManualDispatcher> m_dispatcher;
    std::unique_ptr<SimDesktop> m_desktop;

public:
    // The desktop's accessibility tree (the desktop outlives restarts).
    SimAccessibility& accessibility;

private:
    std::unique_ptr<UserDefaults> m_defaults;
    std::unique_ptr<RuntimeContext> m_context;
};

} // namespace ostrevane
