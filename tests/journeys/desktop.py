"""What a journey's desktop may hold besides the application: a change of the screen's size
through RandR, as a laptop meets a projector; a system tray on the display (Debian's
trayer), dark or light, which may say the colour it asks of its icons; and a tray of the
session bus (a status-notifier watcher and host), whose items' icons are read over the bus.
Each works on the display and the session bus of a started `App` (journey.py)."""

import atexit
import subprocess
import sys
from pathlib import Path

from journey import deadline


def _xrandr(app, *arguments):
    return subprocess.run(["xrandr", *arguments], env=app.env, check=True, capture_output=True, text=True,
                          timeout=deadline()).stdout


def screen_size(app):
    """The screen's size in pixels, as RandR tells it."""
    for line in _xrandr(app, "--current").splitlines():
        if line.startswith("Screen 0:"):
            width, height = line.split("current ")[1].split(",")[0].split(" x ")
            return int(width), int(height)
    raise AssertionError("xrandr names no screen 0")


def resize_screen(app, width, height):
    """Gives the screen that size through RandR: a mode of that size on Xvfb's one output, and
    a framebuffer as large. Xvfb grows back no larger than the size it was started with (and
    needs -noreset, or it forgets the mode when xrandr disconnects)."""
    output = next(line.split()[0] for line in _xrandr(app).splitlines() if " connected" in line)
    mode = f"{width}x{height}"
    if mode not in _xrandr(app):
        _xrandr(app, "--newmode", mode, "0", str(width), "0", "0", str(width), str(height), "0", "0", str(height))
        _xrandr(app, "--addmode", output, mode)
    _xrandr(app, "--output", output, "--mode", mode, "--fb", mode)
    app.wait(f"the screen at {mode}", lambda: screen_size(app) == (width, height))


def start_tray(app, tint):
    """A system tray along the top right of the screen in the colour `tint` (0xRRGGBB), as
    Debian's trayer draws it; ends with the journey. Gives the tray's window id."""
    tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "28",
                             "--transparent", "true", "--alpha", "0", "--tint", hex(tint), "--SetDockType", "true"],
                            env=app.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    atexit.register(lambda: (tray.poll() is None and tray.kill(), tray.wait()))

    def window():
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", "panel"], env=app.env,
                               capture_output=True, text=True, timeout=deadline()).stdout.split()
        return found[0] if found else None

    return app.wait("the tray on the screen", window)


def say_tray_colours(app, normal):
    """The tray asks its icons to take the colour `normal` (red, green, blue of 16 bits), in
    `_NET_SYSTEM_TRAY_COLORS` on its windows, the one that holds the tray's selection among
    them; the error, warning and success colours follow."""
    values = ",".join(str(v) for v in (*normal, 0xFFFF, 0, 0, 0xFFFF, 0xFFFF, 0, 0, 0xFFFF, 0))
    windows = subprocess.run(["xdotool", "search", "--name", "^trayer$"], env=app.env, capture_output=True,
                             text=True, timeout=deadline()).stdout.split()
    for window in windows:
        subprocess.run(["xprop", "-id", window, "-f", "_NET_SYSTEM_TRAY_COLORS", "32c", "-set",
                        "_NET_SYSTEM_TRAY_COLORS", values], env=app.env, check=True, timeout=deadline())


def start_status_notifier_host(app, host_after=0):
    """A tray of the session bus (status_notifier_host.py), whose host registers with its
    watcher `host_after` seconds after it starts; it ends with the journey or when the process
    it gives is ended."""
    host = subprocess.Popen([sys.executable, str(Path(__file__).with_name("status_notifier_host.py")),
                             *([str(host_after)] if host_after else [])], env=app.env, stdout=subprocess.DEVNULL)
    atexit.register(lambda: (host.poll() is None and host.kill(), host.wait()))

    def watching():
        if host.poll() is not None:
            raise AssertionError(f"status_notifier_host.py ended with status {host.returncode}")
        return _bus_call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
                         "(s)", ("org.kde.StatusNotifierWatcher",))[0]

    app.wait("the status-notifier watcher on the bus", watching)
    return host


def status_notifier_items(app):
    """The items registered with that tray, as the watcher names them ("<bus name>/<path>")."""
    return _bus_call("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties",
                     "Get", "(ss)", ("org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems"))[0]


def activate_status_notifier_item(item):
    """What the tray does when its icon is clicked: the item's Activate."""
    service, path = item.split("/", 1)
    _bus_call(service, "/" + path, "org.kde.StatusNotifierItem", "Activate", "(ii)", (0, 0))


def status_notifier_icons(app):
    """The icons of the items registered with that tray, each a list of its sizes as the item
    gives them: (width, height, ARGB32 bytes, in network order)."""
    icons = []
    for item in status_notifier_items(app):
        service, path = item.split("/", 1)
        pixmaps = _bus_call(service, "/" + path, "org.freedesktop.DBus.Properties", "Get", "(ss)",
                            ("org.kde.StatusNotifierItem", "IconPixmap"))[0]
        icons.append([(width, height, bytes(data)) for width, height, data in pixmaps])
    return icons


def _bus_call(service, path, interface, method, signature, arguments):
    """A call on the session bus, answered within a deadline."""
    import gi
    gi.require_version("Gio", "2.0")
    from gi.repository import Gio, GLib
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    return bus.call_sync(service, path, interface, method, GLib.Variant(signature, arguments), None,
                         Gio.DBusCallFlags.NONE, int(deadline() * 1000), None).unpack()


def window_geometry(app, window):
    """(x, y, width, height) of an X window on the screen."""
    values = dict(line.split("=") for line in subprocess.run(
        ["xdotool", "getwindowgeometry", "--shell", str(window)], env=app.env, capture_output=True, text=True,
        check=True, timeout=deadline()).stdout.split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def luminance(pixel):
    """Relative luminance of an sRGB pixel (0 black … 1 white)."""
    def linear(channel):
        c = channel / 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(c) for c in pixel)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    """The contrast ratio of two pixels, 1 (none) to 21 (black on white)."""
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)
