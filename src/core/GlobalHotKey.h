#pragma once

#include "core/platform/PanelPorts.h"

#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace ostrevane {

class Dispatcher;

// One registered system-wide key chord. While the instance lives, each press of the
// chord runs its handler once, on the main queue, asynchronously after the press.
// Registration that the desktop refuses (a chord another program holds) is silent: the
// chord simply never fires. Destroying the instance unregisters the chord and forgets
// its handler; a press already handed to the main queue still runs.
class GlobalHotKey {
public:
    // The state all instances of one process share: the id counter, the handlers by id
    // and whether the one press handler is installed on the service. One lock guards it,
    // held only for the map and field access, never while calling a handler or the service.
    class Registry : public std::enable_shared_from_this<Registry> {
    public:
        // Construct through std::make_shared: the service's press handler holds the
        // registry weakly.
        Registry(HotkeyService& service, Dispatcher& dispatcher);

        HotkeyService& service() { return m_service; }

    private:
        friend class GlobalHotKey;
        std::uint32_t add(std::function<void()> handler);
        void remove(std::uint32_t id);
        void installPressHandlerIfNeeded();
        void pressed(std::uint32_t id);

        HotkeyService& m_service;
        Dispatcher& m_dispatcher;
        std::mutex m_lock; // guards the three fields below
        std::map<std::uint32_t, std::function<void()>> m_handlers;
        std::uint32_t m_nextID = 1;
        bool m_pressHandlerInstalled = false;
    };

    // Takes the next id (from 1, never reused), stores the handler and registers the chord.
    GlobalHotKey(std::shared_ptr<Registry> registry, quint32 keyCode, quint32 carbonModifiers,
                 std::function<void()> handler);
    ~GlobalHotKey();
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    std::uint32_t id() const { return m_id; }
    // Whether the desktop accepted the chord.
    bool isRegistered() const { return m_hotKeyRef.has_value(); }

private:
    std::shared_ptr<Registry> m_registry;
    std::uint32_t m_id = 0;
    std::optional<std::uint32_t> m_hotKeyRef;
};

} // namespace ostrevane
