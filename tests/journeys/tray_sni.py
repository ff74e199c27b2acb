"""The item on a tray of the session bus (a status-notifier watcher and host, as on KDE Plasma
or GNOME with the AppIndicator extension), which draws the icon itself and tells neither its
colour nor where the icon is: every size of the icon it is sent, laid on a light tray and on a
dark one, stands out from both. The icon at 22 and 64 pixels on both is written to
$NORVANE_SCREENSHOTS (tray-sni-light.png, tray-sni-dark.png) for a reviewer to look at."""

import os
import struct
import zlib
from pathlib import Path

from desktop import contrast, start_status_notifier_host, status_notifier_icons
from journey import run

TRAYS = {"light": (0xF0, 0xF0, 0xF0), "dark": (0x20, 0x20, 0x20)}
SHOWN = (22, 64)  # the sizes in the pictures, a small panel's and a large one's


def laid_on(tray, width, height, data):
    """The icon's pixels over the tray's colour, as rows of (red, green, blue)."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            alpha, *rgb = data[(y * width + x) * 4:(y * width + x) * 4 + 4]
            row.append(tuple(round((c * alpha + t * (255 - alpha)) / 255) for c, t in zip(rgb, tray)))
        rows.append(row)
    return rows


def standing_out(tray, icon):
    """How many of the icon's pixels stand out from the tray (a contrast of 3 at least)."""
    return sum(contrast(pixel, tray) >= 3 for row in laid_on(tray, *icon) for pixel in row)


def write_picture(path, tray, icons):
    """The icons side by side on a strip of the tray's colour, as a PNG."""
    gap, height = 16, max(icon[1] for icon in icons) + 16
    rows = [[tray] * (gap + sum(icon[0] + gap for icon in icons)) for _ in range(height)]
    left = gap
    for width, tall, data in icons:
        top = (height - tall) // 2
        for y, row in enumerate(laid_on(tray, width, tall, data)):
            rows[top + y][left:left + width] = row
        left += width + gap
    raw = b"".join(b"\0" + bytes(channel for pixel in row for channel in pixel) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", len(rows[0]), height, 8, 2, 0, 0, 0))
                     + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def journey(app):
    icons = app.wait("the item's icon on the tray", lambda: [icon for icon in status_notifier_icons(app) if icon])
    assert len(icons) == 1, f"{len(icons)} items registered"
    sizes = {(width, height): (width, height, data) for width, height, data in icons[0]}
    assert all((side, side) in sizes for side in SHOWN), f"the icon's sizes: {list(sizes)}"
    folder = os.environ.get("NORVANE_SCREENSHOTS")
    if folder:
        Path(folder).mkdir(parents=True, exist_ok=True)
        for name, tray in TRAYS.items():
            write_picture(Path(folder) / f"tray-sni-{name}.png", tray, [sizes[(side, side)] for side in SHOWN])
    for (width, height), icon in sizes.items():
        # As tray.py asks of a tray's icon of 22 pixels, in proportion to the size.
        enough = 20 * width * height / 22**2
        for name, tray in TRAYS.items():
            clear = standing_out(tray, icon)
            assert clear >= enough, f"at {width}x{height} only {clear} pixels stand out from a {name} tray"
    assert "QSystemTrayIcon" not in app.errors(), app.errors()


# Opened at the start: a tray of the session bus shows no window of the application's, and the tree
# lists an application once it has one.
run(journey, "--demo", "--open", prepare=start_status_notifier_host)
