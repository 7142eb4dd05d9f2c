#include "platform/x11/MprisMediaControl.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

namespace ostrevane {

namespace {

const QString playerPrefix = QStringLiteral("org.mpris.MediaPlayer2.");
const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString rootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString desktopEntryProperty = QStringLiteral("DesktopEntry");

// The player's desktop id as it names it ("vlc", "org.gnome.Rhythmbox3").
QString desktopEntryOf(const QDBusConnection& bus, const QString& service)
{
    QDBusMessage get = QDBusMessage::createMethodCall(service, objectPath, propertiesInterface, QStringLiteral("Get"));
    get << rootInterface << desktopEntryProperty;
    const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, MprisMediaControl::callTimeoutMilliseconds);
    return reply.isValid() ? reply.value().variant().toString() : QString();
}

} // namespace

void MprisMediaControl::pause(const QString& bundleID, const QString&)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return;
    const QDBusReply<QStringList> names = bus.interface()->registeredServiceNames();
    if (!names.isValid())
        return;
    for (const QString& service : names.value()) {
        if (!service.startsWith(playerPrefix) || desktopEntryOf(bus, service) != bundleID)
            continue;
        const QDBusMessage pause =
            QDBusMessage::createMethodCall(service, objectPath, playerInterface, QStringLiteral("Pause"));
        bus.call(pause, QDBus::Block, callTimeoutMilliseconds); // the answer does not matter
    }
}

} // namespace ostrevane
