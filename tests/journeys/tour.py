"""The welcome tour at a first launch, walked with the pointer to its end, which shows the
panel: on the notification step macOS waits for the user (the permission is switched off),
and the restart link, whose restart cannot start, says so and leaves the tour as it was."""

import re

from journey import run


def step(app, number):
    app.find("filler", f"Step {number} of 6", within=app.tour())


def prepare(app):
    (app.machine / "notifications").mkdir(exist_ok=True)
    (app.machine / "notifications/center.json").write_text('{"authorization": "denied"}')
    # The system's `open`, through which the app starts itself again, refuses.
    refusing = app.machine / "usr/bin/open"
    refusing.parent.mkdir(parents=True, exist_ok=True)
    refusing.write_text("#!/bin/sh\necho 'LaunchServices cannot open it' >&2\nexit 1\n")
    refusing.chmod(0o755)


def journey(app):
    tour = app.tour()
    step(app, 1)
    app.find("push button", "Start", within=tour).click()
    step(app, 2)
    app.find("push button", "Continue", within=tour).click()
    step(app, 3)
    app.find("push button", "Continue", within=tour).click()
    step(app, 4)

    app.find("label", "Waiting for you", within=tour)
    app.find("push button", "Still not confirmed? Restart Norvane and check again", within=tour).click()
    app.find("label", "Norvane was not restarted: LaunchServices cannot open it.", within=tour)
    assert "onboardingResume" not in app.defaults()
    app.find("push button", "Open Notification settings", within=tour).click()
    app.wait("the notification settings opened", lambda: any(
        "Notifications-Settings" in str(entry) for entry in app.lines("workspace/opened-urls.jsonl")))
    app.find("push button", "Not now", within=tour).click()
    step(app, 5)

    app.find("push button", "Add the helper", within=tour).click()
    app.find("label", "Confirmed", within=tour)
    app.find("push button", "Continue", within=tour).click()
    step(app, 6)
    app.find("label", "Norvane is in your menu bar", within=tour)

    app.find("push button", "Open Norvane", within=tour).click()
    app.closed("Welcome to Norvane")
    app.find("check box", "NOW", within=app.panel())
    app.absent("push button", "Continue the tour")
    assert app.defaults().get("onboardingDone") is True


run(journey, defaults={}, prepare=prepare)
