#include "support/TestRuntime.h"

namespace ostrevane {

TestRuntime::TestRuntime()
    : m_dispatcher(std::make_unique<ManualDispatcher>(clock))
    , m_desktop(std::make_unique<SimDesktop>(*m_dispatcher))
    , accessibility(m_desktop->accessibility)
{
    build();
}

TestRuntime::~TestRuntime()
{
    RuntimeContext::install(nullptr);
}

QString TestRuntime::settingsPath() const
{
    return m_dir.filePath(QStringLiteral("com.local.ostrevane.plist"));
}

void TestRuntime::build()
{
    m_defaults = std::make_unique<UserDefaults>(settingsPath());
    RuntimeContext::Ports ports;
    ports.dispatcher = m_dispatcher.get();
    ports.clock = &clock;
    ports.defaults = m_defaults.get();
    ports.profile = &PlatformProfile::macOS();
    ports.accessibility = &m_desktop->accessibility;
    ports.workspace = &m_desktop->workspace;
    ports.windowServer = &m_desktop->windowServer;
    ports.mediaControl = &m_desktop->media;
    ports.processSignals = &m_desktop->processSignals;
    ports.folderEvents = &m_desktop->folders;
    ports.loginItems = &m_desktop->loginItems;
    ports.actions = &actions;
    ports.systemInfo = &systemInfo;
    m_context = std::make_unique<RuntimeContext>(ports);
    RuntimeContext::install(m_context.get());
}

void TestRuntime::restart()
{
    RuntimeContext::install(nullptr);
    m_context.reset();
    m_defaults.reset();
    // Whatever was still queued belonged to the old process; the desktop stays.
    m_desktop->workspace.clearObserversForRestart();
    m_dispatcher->dropPendingTasks();
    build();
}

} // namespace ostrevane
