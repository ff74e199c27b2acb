"""Commands from outside the panel: URLs handed over by a second start of the program (keep
awake for 30 minutes, a charge limit of 85, the panel on its Stats page) and two actions of
the Shortcuts command (a charge limit of 92, which falls to 90, and letting the Mac sleep
again), each seen in the machine folder and on the panel."""

from journey import run
from outside import second_start

SERVICE = "PowerUI/SmartChargeClient.json"


def handed(app, url):
    status, output = second_start(app, url)
    assert status == 0, f"the second start with {url} ended with {status}: {output}"


def limit_held(app, percent):
    app.wait(f"the limit held at {percent}", lambda: (app.json(SERVICE) or {}).get("limit") == percent
             and app.json(SERVICE).get("enabled"))


def journey(app):
    assert not app.holds_sleep()
    handed(app, "norvane://awake?minutes=30")
    app.wait("keep-awake on", app.holds_sleep)
    handed(app, "norvane://limit/85")
    limit_held(app, 85)
    assert not app.elements("check box", "STATS"), "the panel opened before it was asked to"

    handed(app, "norvane://open/stats")
    panel = app.panel()
    app.wait("the Stats page", lambda: app.find("check box", "STATS", within=panel).has("checked"))
    slider = app.find("slider", "Charge limit", within=panel)
    app.wait("the slider at 85", lambda: slider.value == 85)
    app.find("check box", "NOW", within=panel).click()
    app.wait("the switch on", lambda: app.find("check box", "Stay awake", within=panel).has("checked"))
    app.wait("the timer chosen", lambda: app.find("check box", "30 min", within=panel).has("checked"))

    status, output = app.shortcut("Set Charge Limit", "--input", '{"percent": 92}')
    assert status == 0 and output == "", (status, output)
    limit_held(app, 90)
    app.find("push button", "Charge limit 90 percent", within=panel)
    status, output = app.shortcut("Let Mac Sleep Again")
    assert status == 0 and output == "", (status, output)
    app.wait("keep-awake off", lambda: not app.holds_sleep())
    app.wait("the switch off", lambda: not app.find("check box", "Stay awake", within=panel).has("checked"))


run(journey, "--demo")
