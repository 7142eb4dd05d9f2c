#!/usr/bin/python3
"""A small org.kde.StatusNotifierWatcher with a host, for tests.

It registers the watcher on the session bus, reports each item that registers
("item <service> <path>") and reads commands from standard input, one per line:
  labels          prints "labels: <a>|<b>|..." of the first item's menu (separators as "-")
  click <label>   sends a "clicked" event for the menu entry with that label
Each command answers with one line; unknown labels answer "no such entry".
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"

# Qt reads the watcher's properties through introspection, so they must be declared.
INTROSPECTION = """<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg direction="out" type="s"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get"><arg direction="in" type="s"/><arg direction="in" type="s"/>
      <arg direction="out" type="v"/></method>
    <method name="GetAll"><arg direction="in" type="s"/><arg direction="out" type="a{sv}"/></method>
  </interface>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg direction="in" type="s"/></method>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
  </interface>
</node>
"""


def say(text):
    print(text, flush=True)


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.bus = bus
        self.items = []

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # An item may name its bus name or its object path.
        if service.startswith("/"):
            name, path = sender, service
        else:
            name, path = service, "/StatusNotifierItem"
        self.items.append((name, path))
        say("item %s %s" % (name, path))
        self.StatusNotifierItemRegistered(name + path)

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, in_signature="", out_signature="s")
    def Introspect(self):
        return INTROSPECTION

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, prop):
        return self.GetAll(interface)[prop]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {
            "RegisteredStatusNotifierItems": dbus.Array([n + p for n, p in self.items], signature="s"),
            "IsStatusNotifierHostRegistered": True,
            "ProtocolVersion": dbus.Int32(0),
        }

    def menu(self):
        name, path = self.items[-1]
        item = self.bus.get_object(name, path)
        menu_path = item.Get(ITEM, "Menu", dbus_interface=dbus.PROPERTIES_IFACE)
        return dbus.Interface(self.bus.get_object(name, menu_path), MENU)

    def entries(self):
        _, layout = self.menu().GetLayout(0, -1, dbus.Array([], signature="s"))
        result = []
        for child in layout[2]:
            entry_id, props = child[0], child[1]
            label = str(props.get("label", "")).replace("_", "")
            result.append((int(entry_id), "-" if props.get("type") == "separator" else label))
        return result

    def command(self, line):
        if not self.items:
            return "no item"
        if line == "labels":
            return "labels: " + "|".join(label for _, label in self.entries())
        if line.startswith("click "):
            wanted = line[len("click "):]
            for entry_id, label in self.entries():
                if label == wanted:
                    self.menu().Event(entry_id, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0))
                    return "clicked " + wanted
            return "no such entry"
        return "unknown command"


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus)
    name = dbus.service.BusName(WATCHER, bus)  # noqa: F841 (kept for the life of the loop)
    loop = GLib.MainLoop()

    def on_input(source, condition):
        line = sys.stdin.readline()
        if not line:
            loop.quit()
            return False
        try:
            say(watcher.command(line.strip()))
        except dbus.DBusException as error:
            say("error " + error.get_dbus_name())
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
    say("watcher up")
    loop.run()


if __name__ == "__main__":
    main()
