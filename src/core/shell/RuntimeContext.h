#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <typeindex>
#include <vector>

namespace ostrevane {

class Accessibility;
class BrowserAutomation;
class BrowserStatusProbe;
class FolderEvents;
class LoginItemService;
class MediaControl;
class ProcessSignals;
class ScriptRunner;
class URLLoader;
class WindowServer;
class Workspace;
class Clock;
class Dispatcher;
class NotificationCenter;
struct PlatformProfile;
class SwitchItemActions;
class SystemInfo;
class UserDefaults;

// The ports one process (or one test) runs with, and the process-wide instances
// that components reach through `shared()`. The composition root (the app, or a
// test fixture) fills the ports and installs the context; `shared()` instances are
// created on first use from the installed context and live as long as it does.
class RuntimeContext {
public:
    struct Ports {
        Dispatcher* dispatcher = nullptr;
        Clock* clock = nullptr;
        UserDefaults* defaults = nullptr;
        const PlatformProfile* profile = nullptr;
        Accessibility* accessibility = nullptr;
        SwitchItemActions* actions = nullptr;
        SystemInfo* systemInfo = nullptr;
        BrowserStatusProbe* browserStatus = nullptr;
        Workspace* workspace = nullptr;
        WindowServer* windowServer = nullptr;
        ScriptRunner* scriptRunner = nullptr;
        BrowserAutomation* browserAutomation = nullptr;
        MediaControl* mediaControl = nullptr;
        ProcessSignals* processSignals = nullptr;
        FolderEvents* folderEvents = nullptr;
        URLLoader* urlLoader = nullptr;
        LoginItemService* loginItems = nullptr;
    };

    explicit RuntimeContext(Ports ports);
    ~RuntimeContext();
    RuntimeContext(const RuntimeContext&) = delete;
    RuntimeContext& operator=(const RuntimeContext&) = delete;

    // The installed context. Calling it with none installed is a programming error
    // and aborts with a message rather than dereferencing null.
    static RuntimeContext& current();
    static bool hasCurrent();
    // Installs `context` (or none). The previous context is not destroyed.
    static void install(RuntimeContext* context);

    Dispatcher& dispatcher() const;
    Clock& clock() const;
    UserDefaults& defaults() const;
    const PlatformProfile& profile() const;
    Accessibility& accessibility() const;
    SwitchItemActions& actions() const;
    SystemInfo& systemInfo() const;
    BrowserStatusProbe& browserStatus() const;
    Workspace& workspace() const;
    WindowServer& windowServer() const;
    ScriptRunner& scriptRunner() const;
    BrowserAutomation& browserAutomation() const;
    MediaControl& mediaControl() const;
    ProcessSignals& processSignals() const;
    FolderEvents& folderEvents() const;
    URLLoader& urlLoader() const;
    LoginItemService& loginItems() const;
    // Replaces one port after construction (composition roots that build ports from
    // components needing the context, such as the browser status probe).
    Ports& ports() { return m_ports; }
    NotificationCenter& notifications();

    // The one instance of T in this context, made by `make` on first use.
    template <class T>
    T& singleton(const std::function<std::unique_ptr<T>(RuntimeContext&)>& make)
    {
        std::lock_guard lock(m_mutex);
        auto& slot = m_singletons[std::type_index(typeid(T))];
        if (!slot) {
            slot = std::shared_ptr<void>(make(*this).release(), [](void* p) { delete static_cast<T*>(p); });
            m_creationOrder.push_back(slot);
        }
        return *static_cast<T*>(slot.get());
    }

private:
    Ports m_ports;
    std::unique_ptr<NotificationCenter> m_notifications;
    std::recursive_mutex m_mutex;
    std::map<std::type_index, std::shared_ptr<void>> m_singletons;
    std::vector<std::shared_ptr<void>> m_creationOrder; // torn down newest first
};

} // namespace ostrevane
