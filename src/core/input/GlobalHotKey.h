#pragma once

#include "core/platform/Dispatcher.h"
#include "core/platform/PanelPorts.h"

#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace ostrevane {

// One registered system-wide key chord. While the instance lives, each press of the
// chord runs its handler once, on the main queue, asynchronously after the press.
// A chord another program holds is not lost: it waits, and is tried again every
// `retryInterval` and whenever the registry is asked to (the guide or the settings
// opening), so it comes alive soon after the other program lets go. A chord the keyboard
// cannot produce simply never fires. Destroying the instance unregisters the chord and
// forgets its handler; a press already handed to the main queue still runs.
class GlobalHotKey {
public:
    // Seconds between attempts to take a chord another program holds: a failed attempt
    // costs a handful of requests, and a person who just freed the chord does not wait long.
    static constexpr double retryInterval = 3.0;

    // The state all instances of one process share: the id counter, the handlers by id
    // and whether the service's handlers are installed, under one lock held only for the
    // map and field access, never while calling a handler or the service; and the retry
    // timer (main thread).
    class Registry : public std::enable_shared_from_this<Registry> {
    public:
        // Construct through std::make_shared: the service's handlers hold the registry weakly.
        Registry(HotkeyService& service, Dispatcher& dispatcher);

        HotkeyService& service() { return m_service; }
        // Tries every waiting chord now, and keeps retrying those still held elsewhere.
        // Main thread.
        void retryNow();

    private:
        friend class GlobalHotKey;
        std::uint32_t add(std::function<void()> handler);
        void remove(std::uint32_t id);
        void installHandlersIfNeeded();
        void pressed(std::uint32_t id);
        void scheduleRetry();

        HotkeyService& m_service;
        Dispatcher& m_dispatcher;
        std::mutex m_lock; // guards the three fields below
        std::map<std::uint32_t, std::function<void()>> m_handlers;
        std::uint32_t m_nextID = 1;
        bool m_handlersInstalled = false;
        CancellableRef m_retry; // the pending retry; main thread only
    };

    // Takes the next id (from 1, never reused), stores the handler and registers the chord.
    GlobalHotKey(std::shared_ptr<Registry> registry, quint32 keyCode, quint32 carbonModifiers,
                 std::function<void()> handler);
    ~GlobalHotKey();
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    std::uint32_t id() const { return m_id; }
    // Whether the chord fires now.
    bool isRegistered() const;
    // Whether another program holds the chord, so that it waits for it.
    bool isHeldElsewhere() const;

private:
    std::shared_ptr<Registry> m_registry;
    std::uint32_t m_id = 0;
    // The service's handle while it keeps the chord (live or waiting).
    std::optional<std::uint32_t> m_hotKeyRef;
};

} // namespace ostrevane
