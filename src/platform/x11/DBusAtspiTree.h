#pragma once

#include "platform/x11/AtspiTree.h"

#include <QDBusConnection>
#include <QHash>

#include <chrono>
#include <mutex>

class QDBusMessage;

namespace ostrevane {

// The accessibility bus through Qt D-Bus. The bus's address is asked of org.a11y.Bus on
// the session bus the first time it is needed; an application is found by the process
// that owns its connection. Every call waits at most `callTimeoutMs`; a connection that
// let one call time out is not asked again for `quietSeconds`, so a hung browser costs
// one time-out, not one per object of its tree. The wait allows for a busy machine:
// Chromium builds its tree on the first question and answers it on its busy UI thread,
// and one late answer costs the browser's tabs for the whole quiet time.
class DBusAtspiTree : public AtspiTree {
public:
    static constexpr int callTimeoutMs = 1000;
    static constexpr int quietSeconds = 10;

    DBusAtspiTree();
    ~DBusAtspiTree() override;

    bool available() override;
    std::optional<AtspiNode> application(ProcessID pid) override;
    std::vector<AtspiNode> children(const AtspiNode& node) override;
    std::optional<quint32> role(const AtspiNode& node) override;
    std::optional<QString> name(const AtspiNode& node) override;
    std::optional<QString> description(const AtspiNode& node) override;
    std::optional<quint64> states(const AtspiNode& node) override;
    bool doDefaultAction(const AtspiNode& node) override;
    bool selectInParent(const AtspiNode& node) override;

private:
    std::optional<QDBusConnection> connection();
    std::optional<QDBusMessage> call(const AtspiNode& node, const QString& interface, const QString& method,
                                     const QVariantList& arguments = {});
    std::optional<QVariant> property(const AtspiNode& node, const QString& name);
    std::optional<ProcessID> processOf(const QDBusConnection& bus, const QString& owner);
    bool isQuiet(const QString& owner);
    void quieten(const QString& owner);

    std::mutex m_lock;
    bool m_connected = false;
    std::chrono::steady_clock::time_point m_nextConnect; // a bus may come up after us
    QHash<QString, ProcessID> m_processes; // connection name -> its process
    QHash<QString, std::chrono::steady_clock::time_point> m_quietUntil;
};

} // namespace ostrevane
