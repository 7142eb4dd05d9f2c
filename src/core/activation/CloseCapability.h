#pragma once

#include <QString>

namespace ostrevane {

// What closing a row would do. `blocked` carries a reason that is never shown.
struct CloseCapability {
    enum class Kind { none, closeWindow, closeTab, quit, blocked };

    Kind kind = Kind::none;
    QString reason; // only for `blocked`: "Protected app", "Force quit ineffective", "Close tabs instead"

    static CloseCapability none() { return {Kind::none, {}}; }
    static CloseCapability closeWindow() { return {Kind::closeWindow, {}}; }
    static CloseCapability closeTab() { return {Kind::closeTab, {}}; }
    static CloseCapability quit() { return {Kind::quit, {}}; }
    static CloseCapability blocked(QString reason) { return {Kind::blocked, std::move(reason)}; }

    // Rows show a close control, and the close shortcut acts, only for these.
    bool allowsClosing() const
    {
        return kind == Kind::closeWindow || kind == Kind::closeTab || kind == Kind::quit;
    }

    friend bool operator==(const CloseCapability&, const CloseCapability&) = default;
};

} // namespace ostrevane
