#pragma once

#include "core/platform/PanelPorts.h"

#include <QObject>

#include <map>
#include <optional>

class QKeyEvent;
class QMouseEvent;
class QWindow;

namespace ostrevane {

// The panel's event monitors. The local half watches this program's own windows through
// an application event filter (installed only while a local monitor exists): key presses
// translated to key codes and Carbon masks, modifier changes, left and right button
// presses, and pointer moves. The desktop-wide half is delegated to `global` (the X11
// backend); without one, global monitors are accepted but never called. Main thread only.
class QtInputMonitors : public QObject, public InputMonitors {
    Q_OBJECT

public:
    explicit QtInputMonitors(InputMonitors* global = nullptr, QObject* parent = nullptr);
    ~QtInputMonitors() override;

    Token addLocalKeyMonitor(std::function<bool(const PanelKeyEvent&)> handler) override;
    Token addLocalFlagsMonitor(std::function<void(bool optionHeld)> handler) override;
    Token addGlobalFlagsMonitor(std::function<void(bool optionHeld)> handler) override;
    Token addLocalClickMonitor(std::function<void(QPointF point, bool inPanel, bool optionHeld)> handler) override;
    Token addGlobalClickMonitor(std::function<void(QPointF point)> handler) override;
    Token addMouseMovedMonitor(std::function<void()> handler) override;
    void remove(Token token) override;
    std::optional<bool> isOptionKeyDown() const override;

    // The key press as the panel's key handling sees it; nothing for a key without a code
    // (it then reaches the views untouched). `composing` tells whether an input method is
    // composing in the focused text field.
    static std::optional<PanelKeyEvent> translate(const QKeyEvent& event, bool composing);
    // For a press or release of a modifier key: whether Option (Alt) is held afterwards.
    // Nothing for other keys.
    static std::optional<bool> optionHeldAfter(const QKeyEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Token nextToken();
    void updateFilter();
    bool deliverKey(const QKeyEvent& event);
    void deliverFlags(bool optionHeld);
    void deliverClick(const QMouseEvent& event, const QWindow& window);
    void deliverMouseMoved();
    static bool focusedFieldIsComposing();
    bool anotherOptionKeyDown(const QKeyEvent& event) const;

    InputMonitors* m_global;
    Token m_lastToken = 0;
    bool m_filtering = false;
    std::map<Token, std::function<bool(const PanelKeyEvent&)>> m_keyMonitors;
    std::map<Token, std::function<void(bool)>> m_flagsMonitors;
    std::map<Token, std::function<void(QPointF, bool, bool)>> m_clickMonitors;
    std::map<Token, std::function<void()>> m_moveMonitors;
    std::map<Token, Token> m_globalTokens; // ours → the delegate's
};

} // namespace ostrevane
