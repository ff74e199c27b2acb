"""The de_DE.UTF-8 locale: the times of day read as German users read them (24 hours, German
weekdays) where they follow the locale, the figures keep the point they are written with, and
the Now page, the Stats page and the settings fit the panel."""

import re
import subprocess
import sys

from journey import SKIPPED, run

GERMAN = {"LANG": "de_DE.UTF-8", "LC_ALL": "de_DE.UTF-8"}


def journey(app):
    panel = app.panel()
    app.find("check box", "Timer", within=panel).click()
    app.find("push button", "15 minutes", within=panel).click()
    app.find("label", re.compile(r"^left · until \d\d:\d\d$"), within=panel)
    app.fits(panel)

    app.find("check box", "STATS", within=panel).click()
    app.find("label", "0.5% an hour on battery", within=panel).reveal()
    rows = app.elements("label", re.compile(r"^(Mo|Di|Mi|Do|Fr|Sa|So)\., \d\d:\d\d · \d+h \d\dm$"), within=panel)
    assert len(rows) == 3, rows
    for row in rows:
        row.whole()
    app.find("label", "Apps", within=panel).reveal()
    app.fits(panel)

    app.find("check box", "Settings", within=panel).click()
    app.find("push button", "Quit Norvane", within=panel)
    app.fits(panel)


if "de_DE.utf8" not in subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout:
    print("skipped: the de_DE.UTF-8 locale is not generated: run scripts/install-deps.sh")
    sys.exit(SKIPPED)
run(journey, "--demo", "--open", environment=GERMAN)
