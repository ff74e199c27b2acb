"""Names of 70 characters wherever a name from outside shows: two apps (their bundles, their
processes, the running apps and so the holders of sleep assertions) and the processor. On
the Now page with the heavy app's tip opened, the keep-awake list of apps and the app
chosen there, the quit line after the app quit, and on the Stats page (with a sleep of ten
hours and a half, its time never cut), no element leaves the panel, and a name on one line
is cut with "…" (its accessible name whole): on a 1280 × 720 screen, and on a 3840 × 2160 one
at scale factor 2."""

import re
import sys

from journey import run

LONG = "Northwind Cartography and Tidal Survey Instruments Professional Editor"  # 70 characters
SCREENS = {"720": ("1280x720", {}), "2160": ("3840x2160", {"QT_SCALE_FACTOR": "2"})}


def prepare(app):
    sysctl = app.machine / "sysctl.txt"
    sysctl.write_text(re.sub(r"(?m)^machdep\.cpu\.brand_string: .*$",
                             f"machdep.cpu.brand_string: Apple M3 Pro Max with {LONG}", sysctl.read_text()))
    for name in ("top/processes.json", "workspace/running.json"):
        file = app.machine / name
        file.write_text(file.read_text().replace("/Applications/Firefox.app", f"/Applications/{LONG}.app")
                        .replace('"name": "Firefox"', f'"name": "{LONG}"')
                        .replace("/Applications/Slack.app", f"/Applications/{LONG} 2.app")
                        .replace('"name": "Slack"', f'"name": "{LONG} 2"'))
    (app.machine / "Applications/Firefox.app").rename(app.machine / f"Applications/{LONG}.app")
    (app.machine / "Applications/Slack.app").rename(app.machine / f"Applications/{LONG} 2.app")
    # One sleep on wall power, nothing to tell of (so the heavy app's tip shows), but long: ten
    # and a half hours from a day ago, a start of two-digit hours where the clock allows.
    (app.machine / "pmset/log.txt").write_text(
        "{now-87000} Sleep               \tEntering Sleep state due to 'Clamshell Sleep': Using AC (Charge:88%) 3600 secs\n"
        "{now-49200} Wake                \tWake from Deep Idle [CDNVA] : due to EC.LidOpen/Lid Open Using AC (Charge:88%)\n")


def journey(app):
    panel = app.panel()
    app.find("label", f"Kept awake by {LONG} and {LONG} 2", within=panel)
    app.find("label", LONG, within=panel).cut()  # a top app's name, on one line
    app.find("push button", re.compile(f"^{LONG} takes \\d+% of the energy$"), within=panel).click()
    app.find("push button", f"Quit {LONG}", within=panel)
    app.fits(panel)

    app.find("check box", "App", within=panel).click()
    app.find("push button", f"{LONG} 2", within=panel).click()
    app.find("label", f"While {LONG} 2 is running", within=panel)
    app.fits(panel)

    # Once the draw is known, quitting the app shows what it changed.
    app.find("label", "First estimates, from under two minutes of readings. They settle as Norvane measures.",
             within=panel, timeout=60)
    quit = next(e for e in app.elements("push button", f"Quit {LONG}", within=panel) if e.extents[2] < 100)
    quit.click()
    app.find("label", f"Measuring what quitting {LONG} changed: about 15 seconds.", within=panel)
    app.fits(panel)

    app.find("check box", "STATS", within=panel).click()
    app.find("label", f"Apple M3 Pro Max with {LONG}", within=panel).cut()
    app.find("label", re.compile(r" · 10h 30m$"), within=panel).reveal().whole()
    app.find("label", f"{LONG} 2", within=panel).reveal()
    app.fits(panel)


screen, environment = SCREENS[sys.argv[1]]
run(journey, "--open", prepare=prepare, screen=screen, environment=environment)
