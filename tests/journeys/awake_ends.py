"""Keep-awake ending by itself, the sleep assertion given back each time and the card saying
why: `timer`, a one-minute timer from the Shortcuts command runs out; `watched`, the app it
waits for quits, and then, in agent mode, the coding agent stops working when its process
ends (a process named claude, started by the journey in its own world)."""

import json
import re
import os
import sys
import time

from journey import DEADLINE, run
from outside import Agent


def on(app, panel):
    app.wait("keep-awake on", lambda: app.holds_sleep()
             and app.find("check box", "Stay awake", within=panel).has("checked"))


def off(app, panel, note, timeout=DEADLINE):
    app.find("label", note, within=panel, timeout=timeout)
    app.wait("the assertion given back", lambda: not app.holds_sleep())
    assert not app.find("check box", "Stay awake", within=panel).has("checked")


def timer(app):
    panel = app.panel()
    asked = time.monotonic()
    status, output = app.shortcut("Keep Mac Awake", "--input", '{"mode": "minutes", "minutes": 1}')
    assert status == 0, output
    on(app, panel)
    app.find("check box", "1 min", within=panel)
    app.find("filler", "Timer, 1m left", within=panel)  # the countdown's dots
    app.find("label", re.compile(r"^left · until \d{1,2}:\d\d"), within=panel)
    off(app, panel, "Ended: the timer ran out.", timeout=60 + DEADLINE)
    assert time.monotonic() - asked >= 60, "the timer ended before its minute"


def quit_app(app, bundle):
    """The app quits as a person quits it elsewhere: gone from the running list, announced."""
    running = [entry for entry in app.json("workspace/running.json") if entry.get("bundle") != bundle]
    file = app.machine / "workspace/running.json"
    file.with_suffix(".new").write_text(json.dumps(running))
    os.replace(file.with_suffix(".new"), file)
    with open(app.machine / "workspace/events.jsonl", "a") as events:
        events.write(json.dumps({"event": "terminated", "bundle": bundle}) + "\n")


def watched(app):
    panel = app.panel()
    app.find("check box", "App", within=panel).click()
    app.find("push button", "Slack", within=panel).click()
    app.find("label", "While Slack is running", within=panel)
    on(app, panel)
    quit_app(app, "/Applications/Slack.app")
    off(app, panel, "Ended: Slack is not running.")

    agent = Agent(app, "claude")
    try:
        app.find("check box", "Agents", within=panel).click()
        app.find("push button", "Claude Code, waiting", within=panel)
        app.find("label", "No agent is working · the Mac may sleep", within=panel)
        assert not app.holds_sleep()
        agent.work(app)
        app.find("label", "Claude Code is working", within=panel)
        on(app, panel)
        app.find("push button", "Claude Code, working", within=panel)
    finally:
        agent.end()
    app.find("label", "No agent is working · the Mac may sleep", within=panel)
    app.wait("the assertion given back", lambda: not app.holds_sleep())
    assert app.find("check box", "Stay awake", within=panel).has("checked"), "the session should go on"


run({"timer": timer, "watched": watched}[sys.argv[1]], "--demo", "--open")
