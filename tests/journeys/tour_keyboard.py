"""The welcome tour at a first launch, walked with the keyboard alone: Return presses each
step's main button, Tab and Space the others, and the last Return shows the panel."""

from journey import run


def step(app, number):
    app.find("filler", f"Step {number} of 6", within=app.tour())


def journey(app):
    tour = app.tour()
    step(app, 1)
    for number in (2, 3, 4):
        app.key("Return")
        step(app, number)

    app.find("push button", "Allow notifications", within=tour)
    app.key("Return")  # macOS asks, and the machine answers yes
    app.find("label", "Confirmed", within=tour)
    app.key("Return")  # now "Continue"
    step(app, 5)

    app.tab_to(app.find("push button", "Not now", within=tour))
    app.key("space")  # the helper is left for later
    step(app, 6)
    app.find("label", "Not set up", within=tour)  # its summary: still to be set up

    app.key("Return")
    app.closed("Welcome to Norvane")
    app.find("check box", "NOW", within=app.panel())
    assert app.defaults().get("onboardingDone") is True
    assert (app.json("notifications/center.json") or {}).get("authorization") == "authorized"


run(journey, defaults={})
