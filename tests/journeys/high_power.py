"""A Mac that offers High Power: the energy card's segments instead of the Low Power switch,
and each of its captions readable whole, not cut to an ellipsis, as the mode is chosen with
the pointer, the charger plugged in, and the battery falls under the level at which Low Power
comes on by itself."""

from journey import TOUR_DONE, run


def prepare(app):
    (app.machine / "pmset/capabilities.txt").write_text("Capabilities for Battery Power:\n sleep\n highpowermode\n")


def journey(app):
    panel = app.panel()
    energy = app.find("filler", "Energy mode", within=panel)

    def caption(text, timeout=None):
        app.find("label", text, within=panel, **({"timeout": timeout} if timeout else {})).whole()

    caption("Automatic · on battery")  # the helper is not set up yet: no rule to tell of
    app.find("check box", "HIGH", within=energy).click()
    app.find("push button", "Continue", within=panel).click()  # the helper's one-time setup
    caption("High Power · on battery")
    app.find("check box", "LOW", within=energy).click()
    caption("Low Power · on battery")
    app.find("check box", "AUTO", within=energy).click()
    caption("Automatic · low under 20%")
    app.battery(ExternalConnected=True, AppleRawExternalConnected=True, IsCharging=True)
    app.find("check box", "HIGH", within=energy).click()
    caption("High Power · plugged in")
    app.find("check box", "AUTO", within=energy).click()
    app.battery(ExternalConnected=False, AppleRawExternalConnected=False, IsCharging=False, CurrentCapacity=15,
                AppleRawCurrentCapacity=713)
    caption("Low by itself · off after charging", timeout=30)
    app.fits(panel)


run(journey, "--open", defaults={**TOUR_DONE, "autoLowPower": 20}, prepare=prepare)
