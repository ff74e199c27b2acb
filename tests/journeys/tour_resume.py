"""The welcome tour closed midway, by its close button and by Escape: the panel then tells
that it was left before its end, "Continue the tour" opens it again at the step it was on,
and "Skip it" ends it for good."""

from journey import run

NOTE = "The tour was left before its end. It continues from the step you were on."


def step(app, number):
    app.find("filler", f"Step {number} of 6", within=app.tour())


def notice(app):
    """Opens the panel by its item and finds the notice in it."""
    app.item().click()
    panel = app.panel()
    app.find("label", NOTE, within=panel)
    return panel


def journey(app):
    tour = app.tour()
    app.find("push button", "Start", within=tour).click()
    app.find("push button", "Continue", within=tour).click()
    step(app, 3)
    app.find("push button", "Close the tour", within=tour).click()
    app.closed("Welcome to Norvane")
    assert app.defaults().get("onboardingStep") == "control", app.defaults()
    assert not app.defaults().get("onboardingDone")

    panel = notice(app)
    app.find("push button", "Continue the tour", within=panel).click()
    tour = app.tour()
    app.closed("Norvane")  # the panel gives way to the tour
    step(app, 3)
    app.find("push button", "Continue", within=tour).click()
    step(app, 4)
    app.key("Escape")
    app.closed("Welcome to Norvane")
    assert app.defaults().get("onboardingStep") == "notifications", app.defaults()

    panel = notice(app)  # still there: the tour is not done
    app.find("push button", "Continue the tour", within=panel).click()
    app.closed("Norvane")
    step(app, 4)
    app.key("Escape")
    app.closed("Welcome to Norvane")
    panel = notice(app)
    app.find("push button", "Skip it", within=panel).click()
    app.absent("label", NOTE, within=panel)
    app.wait("the tour ended for good", lambda: app.defaults().get("onboardingDone") is True
             and "onboardingStep" not in app.defaults())


run(journey, defaults={})
