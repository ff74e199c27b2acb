"""A battery report saved from the Stats page: the save dialog offers the day's name, a path
typed into it and confirmed, and the HTML page of this Mac's battery is written there and
shown in the file viewer."""

import re

from journey import run

CYCLES = 417  # not the template's: the page must be of this Mac


def prepare(app):
    app.battery(CycleCount=CYCLES)
    (app.work / "Documents").mkdir()


def journey(app):
    panel = app.panel()
    app.find("push button", "Save a battery report", within=panel).click()
    dialog = app.window("Save Battery Report")
    name = app.find("text", "File name:", within=dialog)
    offered = name.shown
    assert re.fullmatch(r"Norvane battery report \d{4}-\d\d-\d\d\.html", offered), offered
    chosen = app.work / "Documents" / "For the buyer.html"
    app.wait("the file name field focused", lambda: name.has("focused"))
    app.key("ctrl+a")
    app.xdotool("type", "--delay", "10", str(chosen))
    app.wait("the path typed", lambda: name.shown == str(chosen))
    app.key("Return")
    app.closed("Save Battery Report")

    app.wait("the report written", chosen.exists)
    page = chosen.read_text()
    assert page.startswith("<!doctype html>") and "<h1>Battery report</h1>" in page, page[:200]
    assert f"<tr><th>Charge cycles</th><td>{CYCLES}</td></tr>" in page, page
    assert [entry["path"] for entry in app.lines("workspace/selected.jsonl")] == [str(chosen)]


run(journey, "--open", "--stats", prepare=prepare)
