"""The item in a system tray (Debian's trayer) on a dark and on a light panel: the battery's
dots stand out from the tray's own colour, light on the dark one and dark on the light one,
or take the colour the tray asks of its icons where it says one (`_NET_SYSTEM_TRAY_COLORS`,
orange here); the start says nothing of an icon not set; the panel opens under the icon, and a click
on the icon closes it and the next opens it again."""

import sys
from collections import Counter

from desktop import contrast, say_tray_colours, start_tray, window_geometry
from journey import run

# The tray's tint, and the colours it asks of its icons (16 bits a channel), where it says them.
TRAYS = {"dark": (0x202020, None), "light": (0xE0E0E0, None), "said": (0x202020, (0xFFFF, 0x8000, 0))}
TINT, SAID = TRAYS[sys.argv[1]]
tray = {}


def prepare(app):
    tray["window"] = start_tray(app, TINT)
    if SAID:
        say_tray_colours(app, SAID)


def standing_out(app):
    """The icon's pixels that stand out from the tray's colour (a contrast of 3 at least), when
    there are enough of them for the charge's dots."""
    x, y, w, h = window_geometry(app, tray["window"])
    pixels = [pixel for row in app.pixels(x, y, w, h) for pixel in row]
    background = Counter(pixels).most_common(1)[0][0]
    clear = [pixel for pixel in pixels if contrast(pixel, background) >= 3]
    return len(clear) >= 20 and (background, clear)


def under_tray(app):
    x, y, w, h = window_geometry(app, tray["window"])
    px, py, pw, _ = app.panel().extents
    return py >= y + h and px <= x + w // 2 <= px + pw


def journey(app):
    background, clear = app.wait("the dots standing out from the tray", lambda: standing_out(app))
    if SAID:
        assert all(r > g > b for r, g, b in clear), f"the dots are not orange: {clear}"
    else:
        dark = sum(background) < 3 * 128
        assert all((sum(pixel) > sum(background)) == dark for pixel in clear), (background, clear)
    assert "QSystemTrayIcon" not in app.errors(), app.errors()

    app.wait("the panel under the tray", lambda: under_tray(app))
    x, y, w, h = window_geometry(app, tray["window"])
    app.click(x + w // 2, y + h // 2)
    app.closed("Norvane")
    app.click(x + w // 2, y + h // 2)
    app.wait("the panel under the tray again", lambda: under_tray(app))


run(journey, "--demo", "--open", needs=("trayer", *(["xprop"] if SAID else [])), prepare=prepare)
