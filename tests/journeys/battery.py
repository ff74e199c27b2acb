"""Three Macs, each shown as it is on the Now and the Stats page, with no element wider than
the panel: one without a battery (the menu bar and the summary say so, no charge, limit or
tip, and a script asking for the level is told there is none), one at 3 % on battery (the charge in red, a notification at the level chosen), and one
full on the charger (what the Mac draws from the wall, the charger's facts)."""

import re
import sys

from journey import TOUR_DONE, run

STATE = sys.argv[1]


def prepare(app):
    if STATE == "none":
        app.battery()
    elif STATE == "low":
        # 3 % of 4752 mAh at the template's 1302 mA is 6.6 minutes: the system's estimate says
        # the same, so the forecast reads 6m before the app has draws to average and after.
        app.battery(CurrentCapacity=3, AppleRawCurrentCapacity=142, AvgTimeToEmpty=6, TimeRemaining=6)
        app.json_write("notifications/center.json", {"authorization": "authorized"})
    else:
        app.battery(CurrentCapacity=100, AppleRawCurrentCapacity=4752, ExternalConnected=True,
                    AppleRawExternalConnected=True, IsCharging=False, FullyCharged=True, Amperage=0,
                    InstantAmperage=0)


def red(pixel):
    return pixel[0] > 200 and pixel[1] < 100 and pixel[2] < 100


def journey(app):
    panel = app.panel()
    if STATE == "none":
        app.wait("the item without a charge", lambda: app.item().name == "Norvane, no battery")
        app.find("label", "No battery", within=panel)  # the summary, and the ring without a charge
        assert len(app.elements("label", "No battery", within=panel)) == 2
        assert not app.elements("push button", re.compile("^Charge limit|^Charging"), within=panel)
        assert not app.elements("label", "Tip", within=panel)
        level = app.shortcut("Get Battery Level")
        assert level == (1, "Error: This Mac has no battery.\n"), level
    elif STATE == "low":
        app.wait("the item at 3 %", lambda: app.item().name.startswith("Norvane, battery 3%"))
        ring = app.find("label", "Battery 3 percent", within=panel)
        x, y, w, h = ring.extents
        assert any(red(p) for row in app.pixels(x, y, w, h) for p in row), "the charge is not drawn in red"
        app.wait("a notification at 10 %", lambda: app.lines("notifications/requests.jsonl"))
    else:
        app.wait("the item at 100 %", lambda: app.item().name == "Norvane, battery 100%")
        app.find("label", "Battery 100 percent", within=panel)
        app.find("label", "Fully charged", within=panel)
        app.find("label", re.compile(r"^The Mac is using \d+ watts$"), within=panel)
        app.find("label", "now · 70 W charger", within=panel)
    app.fits(panel)

    app.find("check box", "STATS", within=panel).click()
    app.find("label", "System", within=panel)
    app.find("label", "Sleep", within=panel).reveal()
    app.find("label", "Apps", within=panel).reveal()
    if STATE == "none":
        assert not app.elements("chart", re.compile("^Battery level"), within=panel)
        assert not app.elements("push button", "Save a battery report", within=panel)
    elif STATE == "low":
        app.find("label", "Remaining 6m", within=panel).reveal()
    else:
        app.find("label", "Charger 70 W", within=panel).reveal()
        app.find("label", "Into battery —", within=panel)
        app.find("label", "70W USB-C Power Adapter · Running on wall power", within=panel)
    app.fits(panel)


run(journey, "--open", defaults={**TOUR_DONE, "alertLow": 10}, prepare=prepare)
