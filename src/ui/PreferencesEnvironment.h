#pragma once

#include "ui/HotkeyRecorderView.h"

#include <QString>

#include <functional>

class QWidget;

namespace ostrevane {

class UserFeedback;

// What the menu and the preferences need of the software updater. Every member may be
// empty: the command and the controls that need it are then disabled.
struct UpdaterControls {
    std::function<void()> checkForUpdates; // a check the user asked for
    std::function<bool()> automaticallyChecksForUpdates;
    std::function<void(bool)> setAutomaticallyChecksForUpdates;
    std::function<bool()> automaticallyDownloadsUpdates;
    std::function<void(bool)> setAutomaticallyDownloadsUpdates;
};

// The services of the program the preferences window reaches beyond the settings
// stores of the current runtime.
struct PreferencesEnvironment {
    UserFeedback* feedback = nullptr; // the beep; none: silent
    // Releases the global activation chord while a recorder records; empty: kept.
    HotkeyRecorderView::HotKeySuspender suspendHotKeys;
    UpdaterControls updater;
    // Asks for an application to ignore, starting in `folder`; empty when cancelled.
    // Empty function: a file dialog.
    std::function<QString(QWidget* parent, const QString& folder)> chooseApplication;

    void beep() const;
};

} // namespace ostrevane
