#include "core/activation/AppleScriptMediaControl.h"

#include "core/platform/ScriptRunner.h"

namespace ostrevane {

QString AppleScriptMediaControl::pauseScript(const QString& playerName)
{
    QString escaped = playerName;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QStringLiteral("tell application \"%1\" to pause").arg(escaped);
}

void AppleScriptMediaControl::pause(const QString&, const QString& playerName)
{
    // The outcome does not matter: a player that does not answer is killed anyway.
    m_runner.executeAppleScript(pauseScript(playerName));
}

} // namespace ostrevane
