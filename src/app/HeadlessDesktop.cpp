#include "app/HeadlessDesktop.h"

#include <QDesktopServices>
#include <QUrl>

#include <csignal>

namespace ostrevane {

void HeadlessWorkspace::openApplication(const QString& path, bool, OpenCompletion completion)
{
    const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    if (completion)
        completion(std::nullopt, opened ? std::nullopt : std::optional<QString>(QStringLiteral("cannot open ") + path));
}

bool HeadlessWorkspace::openURL(const QString& url) { return QDesktopServices::openUrl(QUrl(url)); }

bool PosixProcessSignals::kill(ProcessID pid, int signal) { return pid > 0 && ::kill(pid, signal) == 0; }

} // namespace ostrevane
