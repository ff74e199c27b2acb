"""The README's start (--demo --open): the panel shows under the menu-bar item; a click on
the item closes it; it opens and closes again by the item, by a click on the desktop and by
the panel's hot key."""

from journey import hotkeys_entry, run, TOUR_DONE


def journey(app):
    panel = app.panel()
    item = app.item()
    app.find("check box", "NOW", within=panel)
    px, py, pw, ph = panel.extents
    ix, iy, iw, ih = item.extents
    assert py >= iy + ih, f"the panel {panel.extents} opens under the item {item.extents}"

    item.click()
    app.closed("Norvane")
    item.click()
    app.panel()
    item.click()
    app.closed("Norvane")

    item.click()
    app.panel()
    app.click(200, 600)  # the desktop, left of the panel
    app.closed("Norvane")

    app.key("ctrl+super+space")
    app.panel()
    app.key("ctrl+super+space")
    app.closed("Norvane")


run(journey, "--demo", "--open",
    defaults={**TOUR_DONE, "hotkeys": hotkeys_entry({"panel": (49, 0x1100, "⌃⌘Space")})})
