"""A tray of the session bus, as small as Qt needs to put its icon there: the status-notifier
watcher (org.kde.StatusNotifierWatcher), which keeps the items that register, with a host
registered (org.kde.StatusNotifierHost-<pid>), or registered that many seconds after the watcher
when a number is given, as a panel's host may come a moment after its watcher. It draws nothing:
a journey reads the items' icons over the bus. Runs on the session bus it inherits until it is
ended."""

import os
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

WATCHER = "org.kde.StatusNotifierWatcher"
PATH = "/StatusNotifierWatcher"
INTERFACE = Gio.DBusNodeInfo.new_for_xml(f"""
<node><interface name="{WATCHER}">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
</interface></node>""").interfaces[0]

items = []
host_after = float(sys.argv[1]) if len(sys.argv) > 1 else 0
host = {"registered": host_after == 0}


def host_registers():
    host["registered"] = True
    bus.emit_signal(None, PATH, WATCHER, "StatusNotifierHostRegistered", None)
    return False


def called(connection, sender, path, interface, method, parameters, invocation):
    service = parameters.unpack()[0]
    if method == "RegisterStatusNotifierItem":
        # An item names its bus name (its object at the usual path), or only its object's path.
        item = sender + service if service.startswith("/") else service + "/StatusNotifierItem"
        if item not in items:
            items.append(item)
            connection.emit_signal(None, PATH, WATCHER, "StatusNotifierItemRegistered", GLib.Variant("(s)", (item,)))
    invocation.return_value(None)


def read(connection, sender, path, interface, name):
    return {"RegisteredStatusNotifierItems": GLib.Variant("as", items),
            "IsStatusNotifierHostRegistered": GLib.Variant("b", host["registered"]),
            "ProtocolVersion": GLib.Variant("i", 0)}[name]


def lost(connection, name):
    print(f"status_notifier_host: {name} is taken on this bus", file=sys.stderr)
    sys.exit(1)


bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
bus.register_object(PATH, INTERFACE, called, read, None)
Gio.bus_own_name_on_connection(bus, f"org.kde.StatusNotifierHost-{os.getpid()}", Gio.BusNameOwnerFlags.NONE,
                               None, lost)
Gio.bus_own_name_on_connection(bus, WATCHER, Gio.BusNameOwnerFlags.NONE, None, lost)
if host_after:
    GLib.timeout_add(int(host_after * 1000), host_registers)
GLib.MainLoop().run()
