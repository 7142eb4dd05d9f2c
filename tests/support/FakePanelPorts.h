#pragma once

#include "core/model/SearchViewModel.h"
#include "core/platform/PanelPorts.h"

#include <QStringList>

#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <variant>

namespace ostrevane {

// A hotkey service that remembers the chords registered with it; tests press them by id
// and decide which chords another program holds.
class FakeHotkeyService : public HotkeyService {
public:
    struct Chord {
        quint32 keyCode;
        quint32 carbonModifiers;
        friend bool operator==(const Chord&, const Chord&) = default;
    };

    std::map<std::uint32_t, Chord> registered; // by id, live or waiting
    std::set<std::pair<quint32, quint32>> heldElsewhere; // chords another program holds
    int retries = 0;

    Registration registerChord(quint32 keyCode, quint32 carbonModifiers, std::uint32_t id) override
    {
        registered[id] = {keyCode, carbonModifiers};
        return heldElsewhere.count({keyCode, carbonModifiers}) ? Registration::heldElsewhere : Registration::live;
    }
    void unregisterChord(std::uint32_t id) override { registered.erase(id); }
    bool isLive(std::uint32_t id) const override
    {
        const auto found = registered.find(id);
        return found != registered.end() && !isHeld(found->second);
    }
    bool retry() override
    {
        ++retries;
        for (const auto& [id, chord] : registered)
            if (isHeld(chord))
                return true;
        return false;
    }
    void setPressHandler(std::function<void(std::uint32_t)> handler) override { m_handler = std::move(handler); }
    void setWaitingHandler(std::function<void()> handler) override { m_waiting = std::move(handler); }

    // Another program takes a chord this service held (a keyboard change made them collide).
    void takeAway(Chord chord)
    {
        heldElsewhere.insert({chord.keyCode, chord.carbonModifiers});
        if (m_waiting)
            m_waiting();
    }
    // The desktop reports a press of whatever chord carries `id`.
    void press(std::uint32_t id)
    {
        if (m_handler)
            m_handler(id);
    }
    // Presses every live chord equal to `chord` (as a user pressing the keys would).
    void press(Chord chord)
    {
        for (const auto& [id, held] : std::map<std::uint32_t, Chord>(registered))
            if (held == chord && isLive(id))
                press(id);
    }
    // The live chords, as a user would find them.
    std::vector<Chord> liveChords() const
    {
        std::vector<Chord> chords;
        for (const auto& [id, chord] : registered)
            if (isLive(id))
                chords.push_back(chord);
        return chords;
    }

private:
    bool isHeld(const Chord& chord) const { return heldElsewhere.count({chord.keyCode, chord.carbonModifiers}) > 0; }

    std::function<void(std::uint32_t)> m_handler;
    std::function<void()> m_waiting;
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

// Panel windows that record their animations; the test finishes the slide-in.
class FakePanelWindow : public PanelWindow {
public:
    QRectF final, current;
    std::function<void()> slideInDone;
    bool keyboardYielded = false;

    void slideIn(const QRectF& from, const QRectF& to, std::function<void()> completion) override
    {
        current = from;
        final = to;
        slideInDone = std::move(completion);
    }
    void slideOut(std::function<void()>) override {}
    QRectF frame() const override { return current; }
    void yieldKeyboard() override { keyboardYielded = true; }

    void finishSlideIn()
    {
        current = final;
        if (auto done = std::exchange(slideInDone, nullptr))
            done();
    }
};

class FakePanelWindowFactory : public PanelWindowFactory {
public:
    std::vector<FakePanelWindow*> made; // owned by the controller until hidden and slid out
    // What each rehearsal readied the window for: rows, highlighted row, size.
    std::vector<std::tuple<int, int, QSizeF>> rehearsals;

    std::unique_ptr<PanelWindow> makePanel(SearchViewModel&, PanelEdge, QSizeF) override
    {
        auto window = std::make_unique<FakePanelWindow>();
        made.push_back(window.get());
        return window;
    }
    void rehearse(SearchViewModel& viewModel, PanelEdge, QSizeF size) override
    {
        rehearsals.emplace_back(static_cast<int>(viewModel.items().size()), viewModel.selectedIndex(), size);
    }
    FakePanelWindow& last() { return *made.back(); }
};

// Monitors the test fires by hand; `installed()` names the live ones in installation order.
class FakeInputMonitors : public InputMonitors {
public:
    using KeyHandler = std::function<bool(const PanelKeyEvent&)>;
    using FlagsHandler = std::function<void(bool)>;
    using LocalClickHandler = std::function<void(QPointF, bool, bool)>;
    using GlobalClickHandler = std::function<void(QPointF)>;
    using MoveHandler = std::function<void()>;
    using Handler = std::variant<KeyHandler, FlagsHandler, LocalClickHandler, GlobalClickHandler, MoveHandler>;

    Token addLocalKeyMonitor(KeyHandler handler) override { return put("key", std::move(handler)); }
    Token addLocalFlagsMonitor(FlagsHandler handler) override { return put("localFlags", std::move(handler)); }
    Token addGlobalFlagsMonitor(FlagsHandler handler) override { return put("globalFlags", std::move(handler)); }
    Token addLocalClickMonitor(LocalClickHandler handler) override { return put("localClick", std::move(handler)); }
    Token addGlobalClickMonitor(GlobalClickHandler handler) override { return put("globalClick", std::move(handler)); }
    Token addMouseMovedMonitor(MoveHandler handler) override { return put("mouseMoved", std::move(handler)); }
    void remove(Token token) override { m_live.erase(token); }

    QStringList installed() const
    {
        QStringList names;
        for (const auto& [token, monitor] : m_live)
            names << monitor.first;
        return names;
    }

    // Fire the events as the platform would; a key press returns whether it was swallowed.
    bool pressKey(quint32 keyCode, quint32 carbonModifiers = 0)
    {
        bool swallowed = false;
        fire<KeyHandler>("key", [&](const KeyHandler& h) { swallowed |= h({keyCode, carbonModifiers, false}); });
        return swallowed;
    }
    void releaseOption(bool global = false)
    {
        fire<FlagsHandler>(global ? "globalFlags" : "localFlags", [](const FlagsHandler& h) { h(false); });
    }

private:
    Token put(const char* kind, Handler handler)
    {
        m_live.emplace(m_next, std::make_pair(QString::fromLatin1(kind), std::move(handler)));
        return m_next++;
    }
    // Calls `call` on each live monitor of `kind`; a copy, since handlers may add or remove.
    template <class H, class Call>
    void fire(const char* kind, Call call)
    {
        for (const auto& [token, monitor] : std::map(m_live))
            if (monitor.first == QLatin1String(kind))
                call(std::get<H>(monitor.second));
    }

    std::map<Token, std::pair<QString, Handler>> m_live;
    Token m_next = 1;
};

class CountingFeedback : public UserFeedback {
public:
    int beeps = 0;
    void beep() override { ++beeps; }
};

} // namespace ostrevane
