#include "support/TestRuntime.h"

namespace ostrevane {

TestRuntime::TestRuntime() { build(); }

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
    m_dispatcher = std::make_unique<ManualDispatcher>(clock);
    m_defaults = std::make_unique<UserDefaults>(settingsPath());
    RuntimeContext::Ports ports;
    ports.dispatcher = m_dispatcher.get();
    ports.clock = &clock;
    ports.defaults = m_defaults.get();
    ports.profile = &PlatformProfile::macOS();
    ports.accessibility = &accessibility;
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
    m_dispatcher.reset(); // whatever was still queued belonged to the old process
    build();
}

} // namespace ostrevane
