"""Full by a set time, as a person sets it: the schedule turned on every day, "Half an hour
later" clicked again and again at one place while the hour gains a digit (9:30 to 10:00), the
time moving each time; the charge the schedule then starts cancelled on the Now page, and
still cancelled after the next reading of the battery.

The application's clock is the machine's, so its zone is chosen to make it about 10:05 there:
a schedule for 10:30 is then inside the charge's lead (at least 45 minutes) and starts at once."""

import re
import time

from journey import TOUR_DONE, run

CLIENT = "PowerUI/SmartChargeClient.json"


def zone_at(hours, minutes):
    """A zone of fixed offset in which it is now that time of day (ICU's custom "GMT+hh:mm")."""
    now = time.gmtime()
    offset = (hours * 60 + minutes - (now.tm_hour * 60 + now.tm_min)) % 1440
    if offset > 720:
        offset -= 1440
    sign = "+" if offset >= 0 else "-"
    return f"GMT{sign}{abs(offset) // 60:02d}:{abs(offset) % 60:02d}"


def on_the_charger_with_a_limit(app):
    app.battery(ExternalConnected=True, AppleRawExternalConnected=True)
    client = app.json(CLIENT)
    client["enabled"] = True  # held at 80 %
    app.json_write(CLIENT, client)


def lifted(app):
    """Whether the charge limit is lifted for a charge to 100 %."""
    return bool(app.json(CLIENT).get("limitSuspended"))


def journey(app):
    panel = app.panel()
    app.find("check box", "Settings", within=panel).click()
    modes = app.wait("the full-by modes",
                     lambda: next((e for e in app.elements("filler", "Full by a set time") if e.children()), None))
    app.find("check box", "EVERY DAY", within=modes).click()
    app.wait("the schedule stored", lambda: app.defaults().get("fullByMode") == "daily")
    app.find("filler", "Full by 9:00")

    # One place on the screen, clicked again and again: the button stays under it.
    later = app.find("push button", "Half an hour later").reveal()
    place = later.extents
    x, y, w, h = place
    for shown in ("9:30", "10:00", "10:30"):
        app.click(x + w // 2, y + h // 2)
        app.find("filler", f"Full by {shown}")
        assert later.extents == place, f"at {shown} the button moved from {place} to {later.extents}"

    # 10:30 is within the lead: the next tick lifts the limit. Cancel on the Now page.
    app.wait("the charge to 100% started", lambda: lifted(app))
    app.find("check box", "Settings", within=panel).click()
    app.find("push button", "Charging to full once", within=panel).click()
    app.find("push button", "Cancel", within=panel).click()
    app.wait("the limit held again", lambda: not lifted(app))

    # A new reading shows in the item only after a tick; the charge stays cancelled past it.
    app.battery(CurrentCapacity=73)
    app.wait("a tick with the new reading", lambda: app.item().name.startswith("Norvane, battery 73%"))
    app.absent("push button", "Cancel", within=panel)
    assert not lifted(app), "the schedule started the cancelled charge again"
    app.find("check box", "Settings", within=panel).click()
    app.find("label", re.compile(r"^Charging to 100% for .* today is cancelled\. It starts again for the next day\.$"))
    assert not lifted(app)


run(journey, "--open", defaults={**TOUR_DONE, "fullByMinutes": 540}, prepare=on_the_charger_with_a_limit,
    environment={"TZ": zone_at(10, 5)})
