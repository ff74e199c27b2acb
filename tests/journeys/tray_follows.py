"""The item follows the trays that start after it, as at a login where the application and the
desktop's panel start together in no set order: the menu-bar strip while there is no tray; a
tray of the session bus (status_notifier_host.py) started a moment later, its host a second
after its watcher, takes the item, once, and the strip goes; when that tray ends the strip is back; an X tray (trayer) started then
embeds the icon, and the strip goes again. A panel open on the first is placed under the strip
when the item comes back there, and a click on whichever item shows opens or closes it."""

import re
import time

from desktop import activate_status_notifier_item, start_status_notifier_host, start_tray, status_notifier_items
from desktop import window_geometry
from journey import run

STRIP = re.compile(r"^Norvane, ")


def under(panel, x, y, w, h):
    px, py, pw, _ = panel.extents
    return py >= y + h and px <= x + w // 2 <= px + pw


def journey(app):
    app.item()
    time.sleep(2)  # the desktop's panel comes up a moment after the application
    host = start_status_notifier_host(app, host_after=1)
    items = app.wait("the item registered with the tray", lambda: status_notifier_items(app))
    app.closed(STRIP)
    assert len(items) == 1, items
    activate_status_notifier_item(items[0])
    app.panel()

    # A tray that restarts (its watcher ended, another one on the bus at once) has the item again.
    host.kill()
    host.wait()
    host = start_status_notifier_host(app)
    app.wait("the item registered with the new tray", lambda: len(status_notifier_items(app)) == 1)

    # The open panel follows the item back to the strip, and a click there closes it.
    host.terminate()
    host.wait()
    strip = app.item()
    app.wait("the panel under the strip", lambda: under(app.panel(), *strip.extents))
    strip.click()
    app.closed("Norvane")

    tray = start_tray(app, 0x202020)
    app.closed(STRIP)
    x, y, w, h = window_geometry(app, tray)
    app.click(x + w // 2, y + h // 2)
    app.wait("the panel under the tray", lambda: under(app.panel(), x, y, w, h))
    assert "QSystemTrayIcon" not in app.errors(), app.errors()


run(journey, "--demo", needs=("trayer",))
