"""The Stats page: each span of the history, each period and metric of the apps, and the
charge-limit slider dragged with the pointer: nothing is asked while it moves, the limit
is held once it is let go, the page stays where it was under the pointer, and a tick later
nothing is asked again."""

import os

from journey import run

SERVICE = "PowerUI/SmartChargeClient.json"


def journey(app):
    panel = app.panel()
    history = app.find("label", "History", within=panel).parent
    for span, spoken in (("24H", "24 hours"), ("7D", "7 days"), ("3H", "3 hours")):
        app.find("check box", span, within=history).click()
        app.find("chart", f"Battery level over the last {spoken}", within=panel)

    apps = app.find("label", "Apps", within=panel).parent.parent
    for period, description in (("TODAY", "Share of the energy measured today"),
                                ("7D", "Share of the energy over 7 days"),
                                ("NOW", "Share of the energy measured right now")):
        app.find("check box", period, within=apps).click()
        app.find("label", description, within=apps)
    app.find("check box", "≈%/H", within=apps).click()
    app.find("label", "The Mac uses 12.6 W: ≈9% of the battery an hour", within=apps)
    app.find("check box", "%", within=apps).click()
    app.find("label", "Share of the energy measured right now", within=apps)

    slider = app.find("slider", "Charge limit", within=panel)
    slider.reveal().steady()
    place = slider.extents
    written = os.stat(app.machine / SERVICE).st_ino  # the service rewrites its file on each change
    x, y, w, h = place

    def while_held():
        app.find("label", "90%", within=panel)  # the reading follows the pointer
        assert os.stat(app.machine / SERVICE).st_ino == written, "a limit was asked for while dragging"

    # From its right end (off) to the middle of its five steps: 90, which the template's
    # charge-limit service does not hold (80, off).
    app.drag((x + w - 6, y + h // 2), (x + w // 2, y + h // 2), between=while_held)
    app.wait("the limit held at 90", lambda: app.json(SERVICE).get("limit") == 90 and app.json(SERVICE).get("enabled"))
    held = os.stat(app.machine / SERVICE).st_ino
    app.wait("the slider at 90, usable again", lambda: slider.value == 90 and slider.has("enabled"))
    assert slider.extents == place, f"the page moved under the pointer: {place} → {slider.extents}"
    app.find("label", "90%", within=panel)
    # A tick later (the battery read anew, as the menu bar shows), with no request under way,
    # the model's own value asked nothing.
    app.battery(CurrentCapacity=71)
    app.wait("a tick: the item at 71 %", lambda: app.item().name.startswith("Norvane, battery 71%"))
    app.wait("no request under way", lambda: slider.has("enabled"))
    assert os.stat(app.machine / SERVICE).st_ino == held, "the limit was asked for again"


run(journey, "--demo", "--open", "--stats")
