#pragma once

#include "core/platform/PanelPorts.h"

#include <QStringList>

#include <map>
#include <set>
#include <utility>

namespace ostrevane {

// A hotkey service that remembers the chords it holds; tests press them by id.
class FakeHotkeyService : public HotkeyService {
public:
    struct Chord {
        quint32 keyCode;
        quint32 carbonModifiers;
        friend bool operator==(const Chord&, const Chord&) = default;
    };

    std::map<std::uint32_t, Chord> registered; // by id
    std::set<std::pair<quint32, quint32>> heldElsewhere; // chords another program holds
    int pressHandlerInstalls = 0;

    std::optional<std::uint32_t> registerChord(quint32 keyCode, quint32 carbonModifiers, std::uint32_t id) override
    {
        if (heldElsewhere.count({keyCode, carbonModifiers}))
            return std::nullopt;
        registered[id] = {keyCode, carbonModifiers};
        return id;
    }
    void unregisterChord(std::uint32_t id) override { registered.erase(id); }
    void setPressHandler(std::function<void(std::uint32_t)> handler) override
    {
        ++pressHandlerInstalls;
        m_handler = std::move(handler);
    }

    // The desktop reports a press of whatever chord carries `id`.
    void press(std::uint32_t id)
    {
        if (m_handler)
            m_handler(id);
    }
    // Presses every registered chord equal to `chord` (as a user pressing the keys would).
    void press(Chord chord)
    {
        for (const auto& [id, held] : std::map<std::uint32_t, Chord>(registered))
            if (held == chord)
                press(id);
    }

private:
    std::function<void(std::uint32_t)> m_handler;
};

// Screens and a pointer the test places.
class FakeScreens : public ScreenPort {
public:
    std::vector<ScreenInfo> list;
    std::optional<ScreenInfo> main;
    QPointF pointer;

    std::vector<ScreenInfo> screens() override { return list; }
    std::optional<ScreenInfo> mainScreen() override { return main; }
    QPointF pointerLocation() override { return pointer; }
};

// Panel windows that record their animations; the test finishes them.
class FakePanelWindow : public PanelWindow {
public:
    QRectF start, final, current;
    bool slidIn = false, slidOut = false;
    std::function<void()> slideInDone, slideOutDone;

    void slideIn(const QRectF& from, const QRectF& to, std::function<void()> completion) override
    {
        start = from;
        final = to;
        current = from;
        slidIn = true;
        slideInDone = std::move(completion);
    }
    void slideOut(std::function<void()> completion) override
    {
        slidOut = true;
        slideOutDone = std::move(completion);
    }
    QRectF frame() const override { return current; }

    void finishSlideIn()
    {
        current = final;
        if (auto done = std::exchange(slideInDone, nullptr))
            done();
    }
};

class FakePanelWindowFactory : public PanelWindowFactory {
public:
    struct Made {
        FakePanelWindow* window; // owned by the controller until it is hidden and slid out
        SearchViewModel* viewModel;
        PanelEdge edge;
        QSizeF size;
    };
    std::vector<Made> made;

    std::unique_ptr<PanelWindow> makePanel(SearchViewModel& viewModel, PanelEdge edge, QSizeF size) override
    {
        auto window = std::make_unique<FakePanelWindow>();
        made.push_back({window.get(), &viewModel, edge, size});
        return window;
    }
    FakePanelWindow& last() { return *made.back().window; }
};

// Monitors the test fires by hand; `installed()` names what is live.
class FakeInputMonitors : public InputMonitors {
public:
    std::map<Token, std::function<bool(const PanelKeyEvent&)>> keys;
    std::map<Token, std::function<void(bool)>> localFlags, globalFlags;
    std::map<Token, std::function<void(QPointF, bool, bool)>> localClicks;
    std::map<Token, std::function<void(QPointF)>> globalClicks;
    std::map<Token, std::function<void()>> mouseMoves;
    int keyMonitorInstalls = 0;

    Token addLocalKeyMonitor(std::function<bool(const PanelKeyEvent&)> handler) override
    {
        ++keyMonitorInstalls;
        return put(keys, std::move(handler));
    }
    Token addLocalFlagsMonitor(std::function<void(bool)> handler) override { return put(localFlags, std::move(handler)); }
    Token addGlobalFlagsMonitor(std::function<void(bool)> handler) override { return put(globalFlags, std::move(handler)); }
    Token addLocalClickMonitor(std::function<void(QPointF, bool, bool)> handler) override
    {
        return put(localClicks, std::move(handler));
    }
    Token addGlobalClickMonitor(std::function<void(QPointF)> handler) override
    {
        return put(globalClicks, std::move(handler));
    }
    Token addMouseMovedMonitor(std::function<void()> handler) override { return put(mouseMoves, std::move(handler)); }
    void remove(Token token) override
    {
        keys.erase(token);
        localFlags.erase(token);
        globalFlags.erase(token);
        localClicks.erase(token);
        globalClicks.erase(token);
        mouseMoves.erase(token);
    }

    // Names of the live monitors, in a fixed order: "key", "localFlags", "globalFlags",
    // "mouseMoved", "localClick", "globalClick".
    QStringList installed() const
    {
        QStringList names;
        add(names, keys, "key");
        add(names, localFlags, "localFlags");
        add(names, globalFlags, "globalFlags");
        add(names, mouseMoves, "mouseMoved");
        add(names, localClicks, "localClick");
        add(names, globalClicks, "globalClick");
        return names;
    }

    // Fires the events as the platform would; a key press returns whether it was swallowed.
    bool pressKey(quint32 keyCode, quint32 carbonModifiers = 0)
    {
        bool swallowed = false;
        for (const auto& [token, handler] : std::map(keys))
            swallowed = handler({keyCode, carbonModifiers, false}) || swallowed;
        return swallowed;
    }
    void releaseOption(bool global = false)
    {
        for (const auto& [token, handler] : std::map(global ? globalFlags : localFlags))
            handler(false);
    }
    void clickLocal(QPointF point, bool inPanel, bool optionHeld = false)
    {
        for (const auto& [token, handler] : std::map(localClicks))
            handler(point, inPanel, optionHeld);
    }
    void clickGlobal(QPointF point)
    {
        for (const auto& [token, handler] : std::map(globalClicks))
            handler(point);
    }
    void moveMouse()
    {
        for (const auto& [token, handler] : std::map(mouseMoves))
            handler();
    }

private:
    template <class Map, class Handler>
    Token put(Map& map, Handler handler)
    {
        const Token token = m_next++;
        map.emplace(token, std::move(handler));
        return token;
    }
    template <class Map>
    static void add(QStringList& names, const Map& map, const char* name)
    {
        if (!map.empty())
            names << QString::fromLatin1(name);
    }

    Token m_next = 1;
};

class CountingFeedback : public UserFeedback {
public:
    int beeps = 0;
    void beep() override { ++beeps; }
};

} // namespace ostrevane
