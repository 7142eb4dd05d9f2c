#include "platform/x11/MprisMediaControl.h"

#include "PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>

#include <atomic>
#include <memory>
#include <thread>

namespace ostrevane {
namespace {

// The root interface of a fake player: only the desktop entry it names.
class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
public:
    RootAdaptor(QObject* player, QString entry) : QDBusAbstractAdaptor(player), m_entry(std::move(entry)) {}
    QString desktopEntry() const { return m_entry; }

private:
    QString m_entry;
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
public:
    explicit PlayerAdaptor(QObject* player) : QDBusAbstractAdaptor(player) {}
    int pauses = 0;
public slots:
    void Pause() { ++pauses; }
};

// A player on the private bus, under its own connection and bus name.
struct FakePlayer {
    FakePlayer(const QString& address, const QString& busName, const QString& desktopEntry)
        : connection(QDBusConnection::connectToBus(address, busName))
    {
        new RootAdaptor(&object, desktopEntry);
        player = new PlayerAdaptor(&object);
        connection.registerObject(QStringLiteral("/org/mpris/MediaPlayer2"), &object);
        connection.registerService(QStringLiteral("org.mpris.MediaPlayer2.") + busName);
    }
    ~FakePlayer() { QDBusConnection::disconnectFromBus(connection.name()); }

    QObject object;
    QDBusConnection connection;
    PlayerAdaptor* player = nullptr;
};

// A session bus of the test's own, so no real player is ever paused.
class MprisMediaControlTest : public x11test::PrivateSessionBusTest {
protected:
    // Pauses on a worker thread, as the quit path does, while this thread serves the players.
    void pauseFromWorker(const QString& bundleID)
    {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            MprisMediaControl().pause(bundleID, QStringLiteral("Player"));
            done = true;
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        worker.join();
        QCoreApplication::processEvents();
    }
};

TEST_F(MprisMediaControlTest, PausesOnlyThePlayerOfTheGivenDesktopEntry)
{
    FakePlayer vlc(m_address, QStringLiteral("vlc"), QStringLiteral("vlc"));
    FakePlayer rhythmbox(m_address, QStringLiteral("rhythmbox"), QStringLiteral("org.gnome.Rhythmbox3"));

    pauseFromWorker(QStringLiteral("org.gnome.Rhythmbox3"));
    pauseFromWorker(QStringLiteral("spotify")); // no player of its own: nothing more

    EXPECT_EQ(rhythmbox.player->pauses, 1);
    EXPECT_EQ(vlc.player->pauses, 0);
}

} // namespace
} // namespace ostrevane

#include "MprisMediaControl_test.moc"
