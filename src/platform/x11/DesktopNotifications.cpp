#include "platform/x11/DesktopNotifications.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace ostrevane {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
const QString desktopID = QStringLiteral("com.local.ostrevane");

} // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus) : m_bus(bus) {}

void DesktopNotifications::show(const QString& summary, const QString& body)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(service, objectPath, service, QStringLiteral("Notify"));
    // The hint lets the service show our name and icon from the desktop entry.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), desktopID}};
    notify << QStringLiteral("Ostrevane") << 0u << desktopID << summary << body << QStringList() << hints
           << expireMilliseconds;
    m_bus.send(notify);
}

} // namespace ostrevane
