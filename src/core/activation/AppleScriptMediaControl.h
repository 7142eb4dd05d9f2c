#pragma once

#include "core/platform/SystemServices.h"

namespace ostrevane {

class ScriptRunner;

// Pauses a media player with a one-line script ("tell application "Music" to pause")
// run through the script-runner port. Blocks until the script ends, so callers run it
// off the main thread; the result and any error are ignored.
class AppleScriptMediaControl : public MediaControl {
public:
    explicit AppleScriptMediaControl(ScriptRunner& runner) : m_runner(runner) {}

    void pause(const QString& bundleID, const QString& playerName) override;

    // The script text for a player name; quotes and backslashes in the name are escaped
    // so that the text always compiles as one statement.
    static QString pauseScript(const QString& playerName);

private:
    ScriptRunner& m_runner;
};

} // namespace ostrevane
