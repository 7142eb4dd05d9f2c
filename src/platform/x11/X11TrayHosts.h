#pragma once

#include "core/platform/TrayHosts.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <xcb/xcb.h>

class QDBusServiceWatcher;

namespace ostrevane {

// The tray hosts of an X11 session: a StatusNotifierItem watcher with a host on the
// session bus, seen through the bus's name changes and the watcher's signal, and an XEmbed tray, which owns the selection
// _NET_SYSTEM_TRAY_S0 and announces itself with a MANAGER message to the root window
// (seen on Qt's own connection). Without a session bus or an X display the missing kind
// simply never appears. Main thread only.
class X11TrayHosts : public QObject, public TrayHosts, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    X11TrayHosts();
    ~X11TrayHosts() override;

    Kind current() override;
    void watch(std::function<void(Kind kind)> appeared) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private slots:
    void statusNotifierHostAppeared();

private:
    bool hasStatusNotifierWatcher() const;
    bool hasXEmbedTray() const;
    void listenForTrayManagers();

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    xcb_atom_t m_selection = XCB_NONE;
    xcb_atom_t m_manager = XCB_NONE;
    QDBusServiceWatcher* m_watcher = nullptr;
    std::function<void(Kind)> m_appeared;
};

} // namespace ostrevane
