#include "app/OstrevaneApp.h"

#include "core/PlatformProfile.h"
#include "core/RuntimeContext.h"
#include "core/UserDefaults.h"
#include "platform/qt/HostSystemInfo.h"
#include "platform/qt/QtDispatcher.h"

#include <QApplication>

namespace ostrevane {

void runOstrevaneApp()
{
    // The process reads no command-line arguments.
    int argc = 1;
    char name[] = "ostrevane";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QtDispatcher dispatcher;
    SystemClock clock;
    UserDefaults defaults(UserDefaults::defaultFilePath());
    HostSystemInfo systemInfo;

    RuntimeContext::Ports ports;
    ports.dispatcher = &dispatcher;
    ports.clock = &clock;
    ports.defaults = &defaults;
    ports.profile = &PlatformProfile::macOS(); // replaced by the Linux profile with the X11 backend
    ports.systemInfo = &systemInfo;
    RuntimeContext context(ports);
    RuntimeContext::install(&context);

    QApplication::exec();
    RuntimeContext::install(nullptr);
}

} // namespace ostrevane
