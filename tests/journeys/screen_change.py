"""The screen changes under an open panel, as a laptop leaves a large display: shrunk through
RandR from 1920 × 1080 to 1024 × 600 the panel goes back under its item, within the screen,
where a click on the item closes it and the next opens it; grown back, it follows the item
again."""

from desktop import resize_screen
from journey import run


def under_item(app, width, height):
    """The panel is within the screen and right under the item, across from it."""
    panel, item = app.panel().extents, app.item().extents
    px, py, pw, ph = panel
    ix, iy, iw, ih = item
    inside = 0 <= px and 0 <= py and px + pw <= width and py + ph <= height
    return inside and py == iy + ih + 2 and px <= ix + iw / 2 <= px + pw


def journey(app):
    app.panel()
    app.wait("the panel under its item", lambda: under_item(app, 1920, 1080))
    resize_screen(app, 1024, 600)
    app.wait("the panel under its item on the small screen", lambda: under_item(app, 1024, 600))
    app.item().click()
    app.closed("Norvane")
    app.item().click()
    app.wait("the panel open under its item again", lambda: under_item(app, 1024, 600))
    resize_screen(app, 1920, 1080)
    app.wait("the panel under its item on the large screen", lambda: under_item(app, 1920, 1080))


run(journey, "--demo", "--open", needs=("xrandr",), screen="1920x1080")
