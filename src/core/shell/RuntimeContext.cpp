#include "core/shell/RuntimeContext.h"

#include "core/shell/NotificationCenter.h"

#include <QtGlobal>

#include <atomic>

namespace ostrevane {

namespace {
std::atomic<RuntimeContext*> g_current{nullptr};

template <class T>
T& require(T* port, const char* name)
{
    if (!port)
        qFatal("Ostrevane: the runtime context has no %s port", name);
    return *port;
}
} // namespace

RuntimeContext::RuntimeContext(Ports ports)
    : m_ports(ports)
    , m_notifications(std::make_unique<NotificationCenter>(require(ports.dispatcher, "dispatcher")))
{
}

RuntimeContext::~RuntimeContext()
{
    // Newest first: a later instance may have been built on an earlier one.
    while (!m_creationOrder.empty()) {
        m_creationOrder.pop_back();
    }
    m_singletons.clear();
    if (g_current.load() == this)
        g_current.store(nullptr);
}

RuntimeContext& RuntimeContext::current()
{
    RuntimeContext* context = g_current.load();
    if (!context)
        qFatal("Ostrevane: no runtime context is installed");
    return *context;
}

bool RuntimeContext::hasCurrent() { return g_current.load() != nullptr; }

void RuntimeContext::install(RuntimeContext* context) { g_current.store(context); }

Dispatcher& RuntimeContext::dispatcher() const { return require(m_ports.dispatcher, "dispatcher"); }
Clock& RuntimeContext::clock() const { return require(m_ports.clock, "clock"); }
UserDefaults& RuntimeContext::defaults() const { return require(m_ports.defaults, "user defaults"); }
const PlatformProfile& RuntimeContext::profile() const { return require(m_ports.profile, "platform profile"); }
Accessibility& RuntimeContext::accessibility() const { return require(m_ports.accessibility, "accessibility"); }
SwitchItemActions& RuntimeContext::actions() const { return require(m_ports.actions, "switch item actions"); }
SystemInfo& RuntimeContext::systemInfo() const { return require(m_ports.systemInfo, "system info"); }
BrowserStatusProbe& RuntimeContext::browserStatus() const { return require(m_ports.browserStatus, "browser status"); }
Workspace& RuntimeContext::workspace() const { return require(m_ports.workspace, "workspace"); }
WindowServer& RuntimeContext::windowServer() const { return require(m_ports.windowServer, "window server"); }
ScriptRunner& RuntimeContext::scriptRunner() const { return require(m_ports.scriptRunner, "script runner"); }
BrowserAutomation& RuntimeContext::browserAutomation() const { return require(m_ports.browserAutomation, "browser automation"); }
MediaControl& RuntimeContext::mediaControl() const { return require(m_ports.mediaControl, "media control"); }
ProcessSignals& RuntimeContext::processSignals() const { return require(m_ports.processSignals, "process signals"); }
FolderEvents& RuntimeContext::folderEvents() const { return require(m_ports.folderEvents, "folder events"); }
URLLoader& RuntimeContext::urlLoader() const { return require(m_ports.urlLoader, "URL loader"); }
LoginItemService& RuntimeContext::loginItems() const { return require(m_ports.loginItems, "login items"); }
NotificationCenter& RuntimeContext::notifications() { return *m_notifications; }

// Defined beside its owner: the notification center sits below the context and does not
// know it.
NotificationCenter& NotificationCenter::shared() { return RuntimeContext::current().notifications(); }

} // namespace ostrevane
