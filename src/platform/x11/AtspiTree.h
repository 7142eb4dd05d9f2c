#pragma once

#include "core/platform/Accessibility.h"

#include <QString>

#include <optional>
#include <vector>

namespace ostrevane {

// One accessible object on the accessibility bus: the connection that owns it and its
// object path there.
struct AtspiNode {
    QString bus;
    QString path;
    bool operator==(const AtspiNode&) const = default;
};

// The AT-SPI numbers the tab-strip reading needs (at-spi2-core's AtspiRole and
// AtspiStateType; they are part of the bus protocol and never renumbered).
namespace AtspiRole {
constexpr quint32 frame = 23;
constexpr quint32 pageTab = 37;
constexpr quint32 pageTabList = 38;
constexpr quint32 pushButton = 43;
constexpr quint32 radioButton = 44;
constexpr quint32 tableCell = 56;
constexpr quint32 window = 69;
constexpr quint32 documentFrame = 82;
constexpr quint32 documentWeb = 95;
} // namespace AtspiRole

namespace AtspiState {
constexpr int focused = 12;
constexpr int selected = 23;
constexpr int showing = 25;
} // namespace AtspiState

// Reading and driving the accessibility bus: the small port the AT-SPI adapter is built
// on, so that its mapping is tested against a fake tree. Every call may come from any
// thread and must return promptly: an object, an application or a bus that has gone or
// does not answer reads as absent (or an empty list) and actions on it do nothing.
class AtspiTree {
public:
    virtual ~AtspiTree() = default;

    // False when no accessibility bus can be reached at all.
    virtual bool available() = 0;
    // The root object of the application the process `pid` registered, if any.
    virtual std::optional<AtspiNode> application(ProcessID pid) = 0;
    virtual std::vector<AtspiNode> children(const AtspiNode& node) = 0;
    virtual std::optional<quint32> role(const AtspiNode& node) = 0;
    virtual std::optional<QString> name(const AtspiNode& node) = 0;
    virtual std::optional<QString> description(const AtspiNode& node) = 0;
    // The state set as a bit mask indexed by AtspiState numbers.
    virtual std::optional<quint64> states(const AtspiNode& node) = 0;
    // Runs the object's first (default) action; true when the application accepted it.
    virtual bool doDefaultAction(const AtspiNode& node) = 0;
    // Selects the object in its parent's selection; true when the parent accepted it.
    virtual bool selectInParent(const AtspiNode& node) = 0;
};

} // namespace ostrevane
