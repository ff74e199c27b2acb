"""The settings screen, opened by the gear: every switch and picker stores its setting, the
±30-minute steps move the full-by time, a link row copies its URL (by its gap too); a shortcut
recorded, one refused, Escape, and a key the other shortcut holds, which is refused rather than
run; a recorded shortcut works, and once cleared is stored no more and does nothing."""

import re

from journey import TOUR_DONE, hotkeys_entry, run

PANEL_KEY = (49, 0x1100, "⌃⌘Space")  # xdotool: ctrl+super+space

# Each picker by its accessible name: an option to choose, and the setting then stored.
PICKERS = [
    ("Plug in at", "20%", "alertLow", 20),
    ("Unplug at", "90%", "alertHigh", 90),
    ("Switch on by itself under", "30%", "autoLowPower", 30),
    ("Let go on battery at", "50%", "awakeFloor", 50),
    ("App icons", "DOTS EVERYWHERE", "iconStyle", "everywhere"),
    ("Full by a set time", "EVERY DAY", "fullByMode", "daily"),
]
# Each switch by its accessible name, and the setting it stores.
SWITCHES = [
    ("Under 30 minutes left", "notifyLow"),
    ("Charged to the limit", "notifyLimit"),
    ("An app drains unusually fast", "notifyDrain"),
    ("Only on wall power", "awakePowerOnly"),
    ("Time left in the menu bar", "showTime"),
    ("Word the summary with Apple Intelligence", "useAI"),
    ("Check for updates once a day", "checksForUpdates"),
]
REFUSAL = "That one is taken or cannot be a shortcut. Try another."


def picker(app, name):
    """The segments of that accessible name (the label beside them has the same name)."""
    return app.wait(f"the picker {name!r}",
                    lambda: next((e for e in app.elements("filler", name) if e.children()), None))


def stored(app, key, value):
    app.wait(f"{key} stored as {value!r}", lambda: app.defaults().get(key) == value)


def shortcut_row(app, title):
    return app.find("push button", re.compile("^" + re.escape(title) + ": "))


def journey(app):
    panel = app.panel()
    app.find("check box", "Settings", within=panel).click()
    app.find("push button", "Half an hour earlier")
    app.fits(panel)

    for name, option, key, value in PICKERS:
        segment = app.find("check box", option, within=picker(app, name))
        segment.click()
        app.wait(f"{option} chosen in {name!r}", lambda: segment.has("checked"))
        stored(app, key, value)

    for name, key in SWITCHES:
        switch = app.find("check box", name)
        on = switch.has("checked")
        switch.click()
        app.wait(f"{name!r} switched", lambda: switch.has("checked") != on)
        stored(app, key, not on)
    app.wait("the item without the time left", lambda: app.item().name == "Norvane, battery 72%")
    login = app.find("check box", "Open at login").click()
    app.wait("Norvane registered to open at login", lambda: login.has("checked") and any(
        path.endswith("Norvane.app") for path in (app.json("launchd/registrations.json") or {}).get("loginItems", {})))

    # The full-by time in half hours, shown as "Full by 8:00" and stored in minutes.
    time = app.find("filler", re.compile(r"^Full by \d+:\d\d$"))
    hours, minutes = map(int, time.name.removeprefix("Full by ").split(":"))
    start = hours * 60 + minutes
    app.find("push button", "Half an hour earlier").click()
    app.find("push button", "Half an hour earlier").click()
    app.find("push button", "Half an hour later").click()
    later = (start - 30) % 1440
    app.find("filler", f"Full by {later // 60}:{later % 60:02d}")
    stored(app, "fullByMinutes", later)

    link = app.find("push button", "Limit 80%: norvane://limit/80. Click to copy")
    link.click()
    app.wait("the link's URL on the clipboard", lambda: app.clipboard() == "norvane://limit/80")
    app.set_clipboard("")
    x, y, w, h = link.extents
    app.click(x + w * 3 // 4, y + h // 2)  # the gap between the URL and its label copies too
    app.wait("the link's URL on the clipboard by its gap", lambda: app.clipboard() == "norvane://limit/80")
    app.find("push button", "Agents: norvane://awake?mode=agents. Click to copy").click()
    app.wait("the other link's URL on the clipboard", lambda: app.clipboard() == "norvane://awake?mode=agents")

    # Shortcuts: the panel's is stored before the start, keep-awake has none.
    awake = shortcut_row(app, "Stay awake on or off")
    assert awake.name == "Stay awake on or off: no shortcut. Press to record one", awake.name
    awake.click()
    app.key("a")  # a plain letter cannot be one: refused, still recording
    app.find("label", REFUSAL)
    app.key("ctrl+super+space")  # the panel's keys: refused, and the panel stays open
    app.find("label", REFUSAL)
    app.panel()
    assert shortcut_row(app, "Stay awake on or off").name.startswith("Stay awake on or off: no shortcut")
    assert shortcut_row(app, "Open Norvane").name == "Open Norvane: ⌃⌘Space. Press to record one"

    shortcut_row(app, "Stay awake on or off").click()  # recording again: the message goes
    app.absent("label", REFUSAL)
    app.key("Escape")  # ends the recording as it was
    app.key("ctrl+alt+k")  # no longer recorded
    assert shortcut_row(app, "Stay awake on or off").name.startswith("Stay awake on or off: no shortcut")

    shortcut_row(app, "Stay awake on or off").click()
    app.key("ctrl+alt+k")
    app.find("push button", "Stay awake on or off: ⌃⌥K. Press to record one")
    app.wait("both shortcuts stored", lambda: app.hotkeys() == {"panel": "⌃⌘Space", "awake": "⌃⌥K"})
    power_only = app.find("check box", "Only on wall power")  # on battery now: off, so keep-awake holds
    power_only.click()
    app.wait("keep-awake allowed on battery", lambda: app.defaults().get("awakePowerOnly") is False)
    app.key("ctrl+alt+k")
    app.wait("keep-awake on by its shortcut", app.holds_sleep)
    app.key("ctrl+alt+k")
    app.wait("keep-awake off by its shortcut", lambda: not app.holds_sleep())

    app.find("push button", "Clear").click()
    app.find("push button", "Stay awake on or off: no shortcut. Press to record one")
    app.wait("the shortcut cleared from the stored ones", lambda: app.hotkeys() == {"panel": "⌃⌘Space"})
    # Its keys do nothing now: pressed before the panel's, which close the panel once they were seen.
    app.key("ctrl+alt+k")
    app.key("ctrl+super+space")
    app.closed("Norvane")
    assert not app.holds_sleep(), "the cleared shortcut still keeps the Mac awake"
    app.key("ctrl+super+space")
    panel = app.panel()
    if not app.elements("push button", "Quit Norvane", within=panel):
        app.find("check box", "Settings", within=panel).click()

    # The last row quits the application, normally.
    app.find("push button", "Quit Norvane").click()
    app.wait("Norvane quit", lambda: app.app.poll() is not None)


run(journey, "--demo", "--open", defaults={**TOUR_DONE, "hotkeys": hotkeys_entry({"panel": PANEL_KEY})})
