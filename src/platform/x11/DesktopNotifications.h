#pragma once

#include <QDBusConnection>
#include <QString>

namespace ostrevane {

// Passing messages through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), as desktop programs report what
// went wrong in the background. Sent without waiting for an answer: a busy or missing
// service never holds up the caller. Without a bus or service the message is dropped;
// callers log what they report, so nothing is lost.
class DesktopNotifications {
public:
    explicit DesktopNotifications(const QDBusConnection& bus = QDBusConnection::sessionBus());

    // Shows `summary` with `body` below it for a few seconds.
    void show(const QString& summary, const QString& body);

    static constexpr int expireMilliseconds = 8000;

private:
    QDBusConnection m_bus;
};

} // namespace ostrevane
