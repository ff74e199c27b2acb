"""The update card against a feed served on 127.0.0.1, offering a signed copy of this very
build with a higher build number. `install`: the offer, the download with its progress
(held halfway), the check (held while the machine's ditto waits), "Install and relaunch",
the new copy in place of the old and started again through the machine's `open`.
`wrong_hash`: the archive is not the one the feed announced; the message and its two
buttons: the download page opened by hand, and "Try again", which downloads again."""

import hashlib
import json
import os
import plistlib
import re
import shutil
import signal
import subprocess
import sys
import zipfile
from pathlib import Path

from journey import DEADLINE, proc_stat, run
from outside import Server

VARIANT = sys.argv[1]
VERSION = "9.9"
NOTE = "Charts that keep up with the battery."
WRONG = "The download is not the file the website announced. Try again later."
BUILT = Path(os.environ.get("NORVANE_APP", "/")).parent.parent.parent  # <build>/Norvane.app
COMMANDS = BUILT.parent / "sim-commands"


def signature():
    """The built bundle's signature record (the harness refuses a bundle signed by no team)."""
    file = BUILT / "Contents/_CodeSignature/CodeResources"
    return plistlib.loads(file.read_bytes()) if file.is_file() else {}


RECORDED = signature()
TEAM = RECORDED.get("team")


def release(app, build):
    """A copy of the build with a higher build number, signed for the same team with a key
    of the journey's own, which the machine trusts beside the build's."""
    bundle = app.work / "release/Norvane.app"
    shutil.copytree(BUILT, bundle, symlinks=True)
    info = plistlib.loads((bundle / "Contents/Info.plist").read_bytes())
    info.update(CFBundleVersion=str(build), CFBundleShortVersionString=VERSION)
    (bundle / "Contents/Info.plist").write_bytes(plistlib.dumps(info, fmt=plistlib.FMT_XML))
    keys = app.work / "keys"
    keys.mkdir(mode=0o700)
    code = [argument for path, identifier in RECORDED.get("code", {}).items() if path != "Contents/MacOS/Norvane"
            for argument in ("--code", f"{path}={identifier}")]
    subprocess.run([str(COMMANDS / "usr/bin/codesign"), "--sign", TEAM, *code, "--keychain", str(keys),
                    "--anchor", str(keys / "anchor.pub"), str(bundle)], check=True, capture_output=True)
    anchors = app.machine / "security/anchors"
    anchors.mkdir(parents=True, exist_ok=True)
    (anchors / f"{TEAM}.pub").write_text((COMMANDS / f"security/anchors/{TEAM}.pub").read_text()
                                         + (keys / "anchor.pub").read_text())
    archive = app.work / "release/Norvane.zip"
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_STORED) as out:
        for path in sorted(bundle.rglob("*")):
            out.write(path, str(path.relative_to(bundle.parent)))
    return archive.read_bytes()


def command(app, name, text):
    """A command of the machine folder of the journey's own."""
    file = app.machine / "usr/bin" / name
    file.parent.mkdir(parents=True, exist_ok=True)
    file.write_text(text)
    file.chmod(0o755)


def prepare(app):
    # The application runs from a copy, which the install replaces.
    running = app.work / "Applications/Norvane.app"
    shutil.copytree(BUILT, running, symlinks=True)
    os.environ["NORVANE_APP"] = str(running / "Contents/MacOS/Norvane")
    app.running = running
    build = int(plistlib.loads((BUILT / "Contents/Info.plist").read_bytes())["CFBundleVersion"]) + 1
    archive = release(app, build)
    digest = hashlib.sha256(archive if VARIANT == "install" else b"another archive").hexdigest()
    feed = {"version": VERSION, "build": build, "notes": [NOTE], "sha256": digest}
    app.server = server = Server()
    server.routes.update({"/version.json": json.dumps(feed).encode(), "/Norvane.zip": archive})
    server.hold("/Norvane.zip")
    app.build = build
    # The check waits until the journey saw it begin: ditto waits for a line on a pipe.
    app.gate = app.work / "ditto.gate"
    os.mkfifo(app.gate)
    command(app, "ditto", f'#!/bin/sh\nread go < "{app.gate}"\nexec "{COMMANDS}/usr/bin/ditto" "$@"\n')
    command(app, "xdg-open", '#!/bin/sh\nprintf "%s\\n" "$1" >> "$NORVANE_MACHINE/browsed.txt"\n')
    app.arguments += ["--update-source", server.url("/version.json"), "--update-zip", server.url("/Norvane.zip")]
    app.env.update(no_proxy="127.0.0.1", NO_PROXY="127.0.0.1")


def downloading(app, panel):
    """Waits for the download held halfway, its text and its bar at 50 %, then lets it on."""
    app.find("label", "Downloading · 50%", within=panel)
    bar = app.find("progress bar", "Progress", within=panel)
    app.wait("the bar at 50 %", lambda: bar.accessible.description == "50 percent")
    app.server.release("/Norvane.zip")


def open_gate(app):
    def opened():
        try:
            return os.open(app.gate, os.O_WRONLY | os.O_NONBLOCK)
        except OSError:  # no reader yet: ditto has not started
            return None
    gate = app.wait("ditto started", opened)
    os.write(gate, b"go\n")
    os.close(gate)


def relaunched(app):
    """The copy started again through `open`: its process, running the new bundle."""
    def opened():
        return next((line for line in app.lines("workspace/opened.jsonl") if line.get("path") == str(app.running)), None)
    pid = app.wait("the relaunch through open", opened)["pid"]
    try:
        program = os.readlink(f"/proc/{pid}/exe")
        assert program == str(app.running / "Contents/MacOS/Norvane"), program
        app.wait("the new copy in the accessibility tree", lambda: in_tree(pid))
    finally:
        if not ended(pid):
            os.kill(pid, signal.SIGTERM)
            app.wait("the new copy ended", lambda: ended(pid), DEADLINE * 2)


def ended(pid):
    """Whether the process is gone or only waits to be reaped."""
    stat = proc_stat(pid)
    return stat is None or stat[0] == "Z"


def in_tree(pid):
    import pyatspi
    for application in pyatspi.Registry.getDesktop(0):
        try:
            if application is not None and application.get_process_id() == pid and application.childCount:
                return True
        except Exception:
            continue
    return False


def install(app, panel):
    downloading(app, panel)
    app.find("label", "Checking that the download is a genuine copy of Norvane", within=panel)
    open_gate(app)
    app.find("label", f"Downloaded and checked. Norvane closes for a moment and opens again as {VERSION}.", within=panel)
    app.find("push button", "Install and relaunch", within=panel).click()
    app.wait("Norvane quit to be replaced", lambda: app.app.poll() is not None)
    info = plistlib.loads((app.running / "Contents/Info.plist").read_bytes())
    assert info["CFBundleVersion"] == str(app.build), info
    assert not (app.running.parent / ".Norvane-previous.app").exists()
    assert not (app.work / "cache/Norvane-update").exists()
    relaunched(app)


def wrong_hash(app, panel):
    downloading(app, panel)
    app.find("label", WRONG, within=panel)
    app.find("push button", "Download by hand", within=panel).click()
    browsed = app.machine / "browsed.txt"
    app.wait("the download page opened", lambda: browsed.exists() and browsed.read_text() == "https://norvane.app/download/\n")
    app.find("push button", "Try again", within=panel).click()
    downloading(app, panel)
    app.find("label", WRONG, within=panel)
    assert app.server.count("/Norvane.zip") == 2, app.server.asked


def journey(app):
    try:
        panel = app.panel()
        app.find("label", f"Norvane {VERSION} is available", within=panel)
        app.find("label", NOTE, within=panel)
        app.find("push button", "Update", within=panel).click()
        {"install": install, "wrong_hash": wrong_hash}[VARIANT](app, panel)
    finally:
        app.server.close()


run(journey, "--open", prepare=prepare)
