"""The tour and the panel on a 1024 × 600 screen. The tour's window stands within the screen,
below the menu-bar item, its top bar and footer whole; its pages scroll where they are taller
than the window, down to their last line. Pressed through to its end it opens the panel,
whose Now page, Stats page and settings screen each lie within the screen, their last
control or line reachable."""

import re

from journey import run

WIDTH, HEIGHT = 1024, 600


def on_screen(element):
    x, y, w, h = element.extents
    assert 0 <= x and 0 <= y and x + w <= WIDTH and y + h <= HEIGHT, f"{element} is not on the {WIDTH} × {HEIGHT} screen"
    return element


def last_line(app, window):
    """Scrolls to the lowest text or control of the window's page, which then shows whole on
    the screen, inside the window."""
    def lines():
        found = app.elements(re.compile("^(label|push button|check box)$"), within=window)
        return sorted(((e.extents[1] + e.extents[3], e.role, e.name) for e in found), reverse=True)

    _, role, name = app.still("the page at rest", lines)[0]
    lowest = app.find(role, name, within=window)
    assert on_screen(lowest.reveal()).inside(window), f"{lowest} is cut off"


def step(app, tour, number, press):
    app.find("filler", f"Step {number} of 6", within=tour)
    for name in ("Close the tour", press):
        assert on_screen(app.find("push button", name, within=tour)).inside(tour)
    last_line(app, tour)
    app.find("push button", press, within=tour).click()


def journey(app):
    tour = on_screen(app.tour())
    item = app.item()
    assert tour.extents[1] >= item.extents[1] + item.extents[3], f"the tour {tour} covers the item {item}"
    for number, press in enumerate(("Start", "Continue", "Continue", "Not now", "Not now", "Open Norvane"), 1):
        step(app, tour, number, press)
    app.closed("Welcome to Norvane")

    panel = on_screen(app.panel())
    last_line(app, panel)
    app.find("check box", "STATS", within=panel).click()
    app.find("label", "History", within=panel)
    on_screen(panel)
    last_line(app, panel)
    app.find("check box", "Settings", within=panel).click()
    on_screen(panel)
    on_screen(app.find("push button", "Quit Norvane", within=panel).reveal()).inside(panel)


run(journey, defaults={}, screen=f"{WIDTH}x{HEIGHT}")
