#pragma once

#include "core/sources/BrowserTabStatus.h"
#include "core/shell/PlatformProfile.h"
#include "support/FakePanelPorts.h"
#include "support/TestRuntime.h"
#include "ui/PreferencesEnvironment.h"

#include <QKeyEvent>
#include <QTest>

#include <optional>

namespace ostrevane::prefskit {

// Browser tab status answers the test sets; counts the questions.
class FakeBrowserStatus : public BrowserStatusProbe {
public:
    BrowserTabStatus next = BrowserTabStatus::unavailable();
    int asked = 0;
    BrowserTabStatus status(double) override
    {
        ++asked;
        return next;
    }
    ProbeResult probeAutomationForRunningBrowsers() override { return {}; }
};

// A runtime for the preferences: the simulated desktop with the macOS profile (or the
// Linux one), browser status answers, a counted beep and a recorded updater.
struct PrefsFixture {
    TestRuntime runtime;
    FakeBrowserStatus browsers;
    CountingFeedback feedback;
    std::optional<PlatformProfile> linuxProfile;
    QStringList updaterCalls;
    bool automaticChecks = false;

    PrefsFixture() { runtime.context().ports().browserStatus = &browsers; }

    // The Linux desktop with `applicationFolder` as its only folder of desktop entries.
    void useLinuxProfile(const QString& applicationFolder = QStringLiteral("/nonexistent/applications"))
    {
        linuxProfile = PlatformProfile::linuxDesktop(
            PlatformProfile::LinuxFacts{QStringLiteral("org.gnome.Nautilus"), {applicationFolder}});
        runtime.context().ports().profile = &*linuxProfile;
    }

    PreferencesEnvironment environment(bool withUpdater = false)
    {
        PreferencesEnvironment env;
        env.feedback = &feedback;
        if (withUpdater) {
            env.updater.checkForUpdates = [this] { updaterCalls << QStringLiteral("check"); };
            env.updater.automaticallyChecksForUpdates = [this] { return automaticChecks; };
            env.updater.setAutomaticallyChecksForUpdates = [this](bool on) {
                updaterCalls << QStringLiteral("checks %1").arg(on);
                automaticChecks = on;
            };
        }
        return env;
    }
};

// A key press as the window system delivers it, with its X key code.
inline void pressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                     quint32 scanCode = 0)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, scanCode, 0, 0);
    QApplication::sendEvent(widget, &press);
}

} // namespace ostrevane::prefskit
