"""What every journey shares: the built application started as a person starts it, on an X
display, a session bus and an accessibility bus of its own, with a fresh copy of the
template machine, in a world of its own (home, user folders and view of the processes); elements found by role and accessible name in
its accessibility tree (AT-SPI), pressed with real pointer and key events (xdotool) at their
place on the screen; and what the machine folder holds afterwards.

A journey is a short script:

    from journey import run

    def journey(app):
        app.find("check box", "Settings").click()
        app.find("push button", "Quit Norvane")

    run(journey, "--demo", "--open")

`run` starts the application, runs the journey, quits the application and fails (status 1)
when the journey raised, when the application did not end normally, or when its standard
error shows a QPainter warning or one of Qt's layout warnings, and at once when the bundle
cannot run its helper. It exits with 77 (skipped) when what the journeys need is not installed
or the machine allows no world of its own. Waits have a deadline that grows with the machine's
load: `find`, `absent` and `wait` poll the tree or the folder until it shows what they expect.
"""

import importlib.util
import json
import os
import plistlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback
from pathlib import Path

SKIPPED = 77
DOMAIN = "app.norvane.Norvane"
# Every wait ends after this many seconds on a quiet machine; `slowness()` stretches it.
DEADLINE = 15.0
# How much slower the sanitizers' build runs.
SLOW = float(os.environ.get("NORVANE_JOURNEY_SLOW", "1"))
# Seconds between two presses of the pointer or the keyboard at least.
PACE = 0.3
# Qt's warnings that mean a fault of drawing or of layout.
FORBIDDEN = re.compile(r"QPainter|Q[A-Za-z]*Layout|setLayout")
# Stored before each start unless a journey says otherwise: the tour was shown and finished,
# so it neither opens at launch nor leaves its notice over the page.
TOUR_DONE = {"onboardingShown": True, "onboardingDone": True}
# The session bus starts it when the application or the journey first asks for the
# accessibility bus, and ends it with the session.
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


class Skip(Exception):
    pass


def slowness():
    """How much longer everything takes now: the sanitizers' factor, times the load of the
    last minute per processor where that is above 1 (a busy machine is no fault of the
    application)."""
    load = os.getloadavg()[0] / len(os.sched_getaffinity(0))
    return SLOW * max(1.0, load)


def deadline(seconds=DEADLINE):
    """Seconds on a quiet machine, stretched as the machine is now."""
    return seconds * slowness()


def proc_stat(pid):
    """The fields of /proc/<pid>/stat after the program's name (its state first, then its
    parent's pid), or None when the process is gone."""
    try:
        return Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    except (OSError, IndexError):
        return None


def _needed(programs):
    app = os.environ.get("NORVANE_APP")
    if not app or not os.access(app, os.X_OK):
        raise Skip("NORVANE_APP names no built application")
    world = os.environ.get("NORVANE_OWN_WORLD")
    if not os.environ.get("NORVANE_TEST_WORLD") and not (world and os.access(world, os.X_OK)):
        raise Skip("NORVANE_OWN_WORLD names no built norvane_own_world")
    for program in ("Xvfb", "xdotool", "xclip", "dbus-run-session", *programs):
        if not shutil.which(program):
            raise Skip(f"{program} is missing: run scripts/install-deps.sh")
    if not os.access(LAUNCHER, os.X_OK):
        raise Skip("at-spi2-core is missing: run scripts/install-deps.sh")
    if importlib.util.find_spec("pyatspi") is None:  # not imported here: no bus of our own yet
        raise Skip("python3-pyatspi is missing: run scripts/install-deps.sh")


def _unfit_bundle():
    """What keeps the built bundle from running as shipped, or None: its helper beside the
    application and a signature record with a developer team, without which the helper refuses
    to run and a journey would wait in vain for what it does."""
    app = Path(os.environ["NORVANE_APP"])
    helper = app.with_name("NorvaneHelper")
    if not os.access(helper, os.X_OK):
        return f"the bundle has no helper: {helper} is missing"
    record = app.parents[1] / "_CodeSignature/CodeResources"
    try:
        signature = plistlib.loads(record.read_bytes())
    except OSError as error:
        return f"the bundle is not signed: no signature record at {record} ({error.strerror})"
    except (plistlib.InvalidFileException, ValueError):
        return f"the bundle is not signed: {record} is no signature record"
    if not isinstance(signature, dict) or not signature.get("team"):
        return (f"the bundle is signed ad hoc ({record} names no developer team), so its helper refuses to "
                "run: configure with NORVANE_SIGNING_TEAM set")
    return None


def _own_world():
    """Runs this script again in a world of its own (tests/support/OwnWorld.h), once: a home
    and user folders of its own, and a view of the processes of its own, so that an agent
    installed in the user's home or running on the machine never shows in the application.
    Where the machine allows no view of its own the journey is skipped, never failed."""
    if not os.environ.get("NORVANE_TEST_WORLD"):
        world = os.environ["NORVANE_OWN_WORLD"]
        os.execv(world, [world, sys.executable, *sys.argv])
    if os.environ.get("NORVANE_TEST_SHARED_PROCESSES"):
        raise Skip(os.environ["NORVANE_TEST_SHARED_PROCESSES"])


def _own_session_bus():
    """Runs this script again inside a session bus of its own, once, with a runtime folder of
    its own: the accessibility bus puts its socket there, so journeys side by side never meet."""
    if os.environ.get("NORVANE_JOURNEY_BUS"):
        return
    runtime = tempfile.mkdtemp(prefix="norvane-journey-bus-")
    os.environ["NORVANE_JOURNEY_BUS"] = os.environ["XDG_RUNTIME_DIR"] = runtime
    os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable, *sys.argv])


class Element:
    """One element of the tree: its role, name, states and extents, read when asked."""

    def __init__(self, app, accessible):
        self.app = app
        self.accessible = accessible

    @property
    def name(self):
        return self.accessible.name

    @property
    def role(self):
        return self.accessible.getRoleName()

    def states(self):
        import pyatspi
        return {pyatspi.stateToString(s) for s in self.accessible.getState().getStates()}

    def has(self, state):
        return state in self.states()

    @property
    def extents(self):
        """(x, y, width, height) on the screen."""
        import pyatspi
        e = self.accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return (e.x, e.y, e.width, e.height)

    @property
    def shown(self):
        """What a text shows at its width: its name as its style writes it, or cut with "…"."""
        return self.accessible.queryText().getText(0, -1)

    def whole(self, timeout=DEADLINE):
        """Waits until the text shows whole, not cut short to an ellipsis."""
        self.app.wait(f"{self} shown whole", lambda: self.shown.casefold() == self.name.casefold(), timeout)
        return self

    def cut(self, timeout=DEADLINE):
        """Waits until the text shows cut to its width: the start of its name, then "…"."""
        def cut():
            shown = self.shown
            return len(shown) > 1 and shown.endswith("…") and self.name.casefold().startswith(shown[:-1].casefold())
        self.app.wait(f"{self} cut with an ellipsis", cut, timeout)
        return self

    @property
    def value(self):
        return self.accessible.queryValue().currentValue

    def center(self):
        x, y, w, h = self.extents
        return (x + w // 2, y + h // 2)

    def placed(self):
        """Whether the element has a place on the screen: showing, with a size."""
        try:
            _, _, w, h = self.extents
            return w > 0 and h > 0 and self.has("showing")
        except Exception:  # gone while it was read
            return False

    def steady(self):
        """Waits until the element is showing, enabled and still (the same place at two reads a
        moment apart), as a person waits for a control to settle before pressing it."""
        self.app.still(f"{self} showing, enabled and still",
                       lambda: self.extents if self.placed() and self.has("enabled") else None)
        return self

    def click(self, button=1):
        """A real press of the pointer in the middle of the element, once it is steady and
        scrolled into view."""
        # The pause between presses comes before the element is placed, not between placing
        # it and pressing, where a page that reflows would move it from under the pointer.
        self.app._pace()
        x, y, w, h = self.steady().reveal().extents
        self.app.click(x + w // 2, y + h // 2, button, paced=True)
        return self

    def reveal(self):
        """Turns the mouse wheel over the scroll area that cuts the element off until all of
        its height shows, as a person scrolls to a control, each turn seen to move it before
        the next."""
        for _ in range(100):
            area = self._clipped_by()
            if area is None:
                return self
            place = self.extents
            ax, ay, aw, ah = area.extents
            self.app.wheel(ax + aw // 2, ay + ah // 2, up=place[1] < ay)
            try:
                self.app.wait("the wheel's turn", lambda: self.extents != place, timeout=1)
            except AssertionError:
                pass  # the area's end: the next look decides
            self.steady()
        raise AssertionError(f"{self} cannot be scrolled into view")

    def _clipped_by(self):
        # The nearest enclosing element whose height does not hold the element's: a scroll
        # area's viewport, with the element above or below what it shows.
        _, y, _, h = self.extents
        parent = self.accessible.parent
        while parent is not None and parent.getRoleName() != "application":
            e = parent.queryComponent().getExtents(0)
            if y < e.y or y + h > e.y + e.height:
                return Element(self.app, parent)
            parent = parent.parent
        return None

    def inside(self, other):
        x, y, w, h = self.extents
        ox, oy, ow, oh = other.extents
        return ox <= x and oy <= y and x + w <= ox + ow and y + h <= oy + oh

    @property
    def parent(self):
        return Element(self.app, self.accessible.parent)

    def children(self):
        return [Element(self.app, c) for c in self.accessible if c is not None]

    def __repr__(self):
        try:
            return f"<{self.role} {self.name!r} at {self.extents}>"
        except Exception:
            return "<element gone>"


def _matches(value, wanted):
    if wanted is None:
        return True
    if isinstance(wanted, re.Pattern):
        return wanted.search(value or "") is not None
    if callable(wanted):
        return wanted(value)
    return value == wanted


class App:
    """The running application, its display, buses and folders."""

    def __init__(self, arguments, defaults=None, prepare=None, screen="1440x900", environment=None):
        self.arguments = list(arguments)
        self.work = Path(tempfile.mkdtemp(prefix="norvane-journey-"))
        self.machine = self.work / "machine"
        self.config = self.work / "config"
        self.stderr_path = self.work / "stderr.txt"
        self.stderr = None
        self.xvfb = None
        self.app = None
        self._root = None
        self._pressed = 0.0
        self._defaults = TOUR_DONE if defaults is None else defaults
        self._prepare = prepare
        self._screen = screen
        self._environment = environment or {}
        # The tree gives Qt's device-independent pixels; xdotool moves over the screen's own.
        self.scale = float(self._environment.get("QT_SCALE_FACTOR", 1))

    # ---- start and end ----

    def start(self):
        source = Path(os.environ["NORVANE_SOURCE"])
        for folder in ("config", "data", "cache", "run"):
            (self.work / folder).mkdir(mode=0o700)
        shutil.copytree(source / "platform/sim/template", self.machine, symlinks=True)
        env = dict(os.environ)
        env.update(
            XDG_CONFIG_HOME=str(self.config), XDG_DATA_HOME=str(self.work / "data"),
            XDG_CACHE_HOME=str(self.work / "cache"), XDG_RUNTIME_DIR=str(self.work / "run"),
            NORVANE_MACHINE=str(self.machine), TZ="UTC", LANG="C.UTF-8", LC_ALL="C.UTF-8",
            QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("QT_SCALE_FACTOR", None)
        env.update(self._environment)
        env["DISPLAY"] = self._start_display()
        os.environ["DISPLAY"] = env["DISPLAY"]
        self.env = env
        if self._defaults:
            self.write_defaults(self._defaults)
        if self._prepare:
            self._prepare(self)
        self.stderr = open(self.stderr_path, "wb")
        self.app = subprocess.Popen([os.environ["NORVANE_APP"], *self.arguments], env=env,
                                    stdout=subprocess.DEVNULL, stderr=self.stderr)
        # The tree's calls wait as long as a wait does: a busy machine can hold the application's
        # answer past the library's 0.8 s, which is no fault of it.
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi
        Atspi.set_timeout(int(deadline() * 1000), int(deadline(60) * 1000))
        self._root = self.root()  # waits until the application is in the tree
        return self

    def _start_display(self):
        """Xvfb on the first free display, which it names on a pipe (so runs side by side never
        take the same one)."""
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", f"{self._screen}x24",
                                      "-nolisten", "tcp", "-noreset"], pass_fds=(write,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        until = time.monotonic() + deadline()
        while not number.endswith(b"\n") and time.monotonic() < until:
            chunk = os.read(read, 16)
            if not chunk:
                break
            number += chunk
        os.close(read)
        if not number.strip():
            raise AssertionError(f"Xvfb did not start (status {self.xvfb.poll()})")
        return ":" + number.decode().strip()

    def quit(self):
        """Ends the application as a logout does (SIGTERM) and gives its exit status."""
        if not self.app:
            return None
        if self.app.poll() is None:
            self.app.send_signal(signal.SIGTERM)
        try:
            return self.app.wait(timeout=deadline(DEADLINE * 2))
        except subprocess.TimeoutExpired:
            raise AssertionError("Norvane did not quit on SIGTERM")

    def stop(self):
        for process in (self.app, self.xvfb):
            if process and process.poll() is None:
                process.kill()
                process.wait()
        if self.stderr:
            self.stderr.close()
        shutil.rmtree(self.work, ignore_errors=True)

    def keep_screen(self):
        """What the screen shows when a journey fails, kept beside the build's screenshots
        (screenshots/failed/<journey>.png), and where."""
        if not self.xvfb or self.xvfb.poll() is not None:
            return "no screen to keep"
        folder = Path(os.environ["NORVANE_APP"]).parents[3] / "screenshots/failed"
        file = folder / f"{Path(sys.argv[0]).stem}{''.join('_' + a for a in sys.argv[1:])}.png"
        try:
            folder.mkdir(parents=True, exist_ok=True)
            subprocess.run([os.environ["NORVANE_SCREENSHOT"], str(file)], env=self.env, check=True,
                           timeout=deadline(), capture_output=True)
            return f"the screen then: {file}"
        except (OSError, subprocess.SubprocessError) as error:
            return f"the screen could not be kept: {error}"

    def errors(self):
        """The application's standard error so far."""
        return self.stderr_path.read_text(errors="replace") if self.stderr_path.exists() else ""

    def system_log(self):
        """The machine's system log ("" while nothing has been written to it)."""
        file = self.machine / "log/system.log"
        return file.read_text(errors="replace") if file.exists() else ""

    def helper_reports(self):
        """The reports of a sanitizer that ended the helper, which its build writes into the
        machine's log folder (the helper's standard error goes nowhere)."""
        return [report.read_text(errors="replace") for report in sorted((self.machine / "log").glob("NorvaneHelper.*"))]

    # ---- the tree ----

    def root(self, timeout=DEADLINE):
        """The application's element, whose children are its windows."""
        if self._root:
            return self._root
        import pyatspi
        pid = self.app.pid

        def found():
            desktop = pyatspi.Registry.getDesktop(0)
            for application in desktop:
                try:
                    if application is not None and application.get_process_id() == pid and application.childCount:
                        return application
                except Exception:
                    continue
            if self.app.poll() is not None:
                raise AssertionError(f"Norvane ended (status {self.app.returncode}):\n{self.errors()}")
            return None

        return Element(self, self.wait("Norvane in the accessibility tree", found, timeout))

    def elements(self, role=None, name=None, within=None, showing=True, state=None):
        """Every element of that role and name (a text, a pattern or a test), shown on the
        screen unless `showing` is False, in that state (pyatspi's, as STATE_FOCUSED) when one
        is given; what is not shown is not searched below."""
        import pyatspi
        out = []
        start = within.accessible if within else self.root().accessible

        def walk(accessible):
            try:
                states = accessible.getState()
                if showing and not states.contains(pyatspi.STATE_SHOWING):
                    return
                if (_matches(accessible.getRoleName(), role) and _matches(accessible.name, name)
                        and (state is None or states.contains(state))):
                    out.append(Element(self, accessible))
                for child in accessible:
                    if child is not None:
                        walk(child)
            except Exception:  # an element that went while it was read
                return

        for child in start:
            if child is not None:
                walk(child)
        return out

    def find(self, role, name, within=None, timeout=DEADLINE):
        """The first shown element of that role and name, waited for."""
        return self.wait(f"{role} {name!r} on the screen",
                         lambda: next(iter(self.elements(role, name, within)), None), timeout)

    def absent(self, role, name, within=None, timeout=DEADLINE):
        """Waits until no element of that role and name is shown."""
        self.wait(f"{role} {name!r} gone from the screen", lambda: not self.elements(role, name, within), timeout)

    def wait(self, what, condition, timeout=DEADLINE):
        """Polls `condition` until it gives something true; fails after `timeout` seconds of a
        quiet machine, stretched by the machine's `slowness()` as it is while it waits."""
        start = time.monotonic()
        while True:
            result = condition()
            if result:
                return result
            waited = time.monotonic() - start
            if waited > timeout * slowness():
                raise AssertionError(f"waited {waited:.0f} s for {what}")
            time.sleep(0.1)

    def still(self, what, read, timeout=DEADLINE):
        """What `read()` gives once it gives the same twice in a row (a page that slid in, a
        window that moved, has come to rest); None, or an element that went while it was read,
        counts as a change."""
        last = [None]

        def same():
            try:
                value = read()
            except Exception:
                value = None
            if value is not None and value == last[0]:
                return value
            last[0] = value
            return None

        return self.wait(what, same, timeout)

    # The application's windows (the tree's top level): the menu-bar item, the panel, the tour.
    def window(self, name, timeout=DEADLINE):
        return self.wait(f"the window {name!r}", lambda: self._window(name), timeout)

    def closed(self, name, timeout=DEADLINE):
        self.wait(f"the window {name!r} closed", lambda: not self._window(name), timeout)
        self._pressed = time.monotonic()  # a person's next press comes after they saw it go

    def _window(self, name):
        for window in self.root().children():
            try:
                if _matches(window.name, name) and window.has("showing"):
                    return window
            except Exception:
                continue
        return None

    def item(self):
        return self.window(re.compile(r"^Norvane, "))  # "Norvane, battery 72%", "Norvane, no battery"

    def panel(self, timeout=DEADLINE):
        """The open panel, once the Now page shows its first measurement of the apps: as it
        comes the headline can take a second line and move every control below it, under a
        press that aimed at one a moment before."""
        panel = self.window("Norvane", timeout)
        self.absent("label", "Measuring…", within=panel)
        return panel

    def tour(self, timeout=DEADLINE):
        return self.window("Welcome to Norvane", timeout)

    # ---- input ----

    def xdotool(self, *arguments):
        subprocess.run(["xdotool", *arguments], env=self.env, check=True)

    def _pace(self):
        # A person's presses come apart: the panel ignores a click on its item within 0.25 s
        # of closing (the click that took its focus), and so do its hot keys.
        wait = self._pressed + PACE - time.monotonic()
        if wait > 0:
            time.sleep(wait)
        self._pressed = time.monotonic()

    def click(self, x, y, button=1, paced=False):
        if not paced:
            self._pace()
        self.xdotool("mousemove", *self._on_screen(x, y), "click", str(button))

    def _on_screen(self, x, y):
        return str(round(x * self.scale)), str(round(y * self.scale))

    def drag(self, start, end, steps=10, between=None):
        """A press at `start`, the pointer moved to `end` in steps, and its release; `between`,
        when given, is called with the button still down."""
        self._pace()
        (x, y), (tx, ty) = start, end
        self.xdotool("mousemove", *self._on_screen(x, y), "mousedown", "1")
        for step in range(1, steps + 1):
            time.sleep(0.03)
            self.xdotool("mousemove", *self._on_screen(x + (tx - x) * step / steps, y + (ty - y) * step / steps))
        if between:
            between()
        self.xdotool("mouseup", "1")

    def focused(self):
        """Where the keyboard focus is: (role, name, extents) of the element that has it."""
        import pyatspi
        for element in self.elements(state=pyatspi.STATE_FOCUSED):
            try:
                return (element.role, element.name, element.extents)
            except Exception:
                continue
        return None

    def tab_to(self, element, presses=20):
        """Presses Tab until the element has the keyboard focus, as a keyboard user moves: each
        press seen to move the focus before the next."""
        for _ in range(presses):
            if element.has("focused"):
                return element
            before = self.focused()
            self.key("Tab")
            try:
                self.wait("the focus moved by Tab", lambda: element.has("focused") or self.focused() != before,
                          timeout=2)
            except AssertionError:
                pass  # one control alone takes the focus: it stays
        raise AssertionError(f"Tab never reached {element}")

    def wheel(self, x, y, up=False):
        """One step of the mouse wheel (not paced: a wheel turns quickly)."""
        self.xdotool("mousemove", *self._on_screen(x, y), "click", "4" if up else "5")

    def key(self, *keys):
        """Key presses as xdotool names them: "Tab", "Return", "ctrl+super+space"."""
        for key in keys:
            self._pace()
            self.xdotool("key", key)

    def shortcut(self, *arguments):
        """Runs the machine's Shortcuts command against the application: (status, output)."""
        done = subprocess.run([str(self.machine / "usr/bin/shortcuts"), "run", *arguments], env=self.env,
                              capture_output=True, timeout=deadline())
        return done.returncode, (done.stdout + done.stderr).decode()

    def clipboard(self):
        """What the clipboard holds as text (xclip reads it)."""
        return subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env, capture_output=True,
                              timeout=deadline()).stdout.decode()

    def set_clipboard(self, text):
        """Puts the text on the clipboard (xclip holds it until another program takes it)."""
        subprocess.run(["xclip", "-i", "-selection", "clipboard"], env=self.env, input=text.encode(),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=deadline(), check=True)
        self.wait(f"{text!r} on the clipboard", lambda: self.clipboard() == text)

    # ---- what the screen shows ----

    def pixels(self, x, y, width, height):
        """The screen's pixels in that rectangle, as rows of (red, green, blue)."""
        file = self.work / "grab.ppm"
        subprocess.run([os.environ["NORVANE_SCREENSHOT"], str(file), str(x), str(y), str(width), str(height)],
                       env=self.env, check=True, timeout=deadline())
        data = file.read_bytes()
        fields, at = [], 0
        while len(fields) < 4:  # "P6", width, height, maximum, each after white space
            match = re.compile(rb"\s*(\S+)").match(data, at)
            fields.append(match.group(1))
            at = match.end()
        w, h = int(fields[1]), int(fields[2])
        body = data[at + 1:]
        return [[tuple(body[(row * w + column) * 3:(row * w + column) * 3 + 3]) for column in range(w)]
                for row in range(h)]

    def fits(self, panel):
        """Fails when an element with a place on the screen reaches past the panel's left or
        right edge (one without a place, as a text not laid out yet, is nowhere)."""
        left, _, width, _ = panel.extents
        wider = [e for e in self.elements(within=panel)
                 if e.placed() and (e.extents[0] < left or e.extents[0] + e.extents[2] > left + width)]
        assert not wider, f"wider than the panel {panel.extents}: {wider}"

    def ring_shown(self, element):
        """Whether the focus ring's blue runs round the element, just outside its edges."""
        x, y, w, h = element.extents
        grid = self.pixels(x - 4, y - 4, w + 8, h + 8)
        blue = lambda pixel: pixel[2] > 180 and pixel[2] - pixel[0] > 100
        middle, centre = (h + 8) // 2, (w + 8) // 2
        sides = [grid[middle][:4], grid[middle][-4:], [row[centre] for row in grid[:4]],
                 [row[centre] for row in grid[-4:]]]
        return all(any(blue(pixel) for pixel in side) for side in sides)

    def ring_around(self, element):
        """Waits until the element has the keyboard focus and the ring marks it."""
        self.wait(f"the focus ring around {element}", lambda: element.has("focused") and self.ring_shown(element))

    # ---- the machine folder and the user's folders ----

    def defaults(self):
        path = self.config / f"{DOMAIN}.plist"
        return plistlib.loads(path.read_bytes()) if path.exists() else {}

    def hotkeys(self):
        """The stored hot keys: {"panel": "⌃⌘Space"}, each action's label."""
        pairs = json.loads(self.defaults().get("hotkeys", b"[]"))
        return {action: key["label"] for action, key in zip(pairs[::2], pairs[1::2]) if isinstance(key, dict)}

    def write_defaults(self, entries):
        (self.config / f"{DOMAIN}.plist").write_bytes(plistlib.dumps(entries, fmt=plistlib.FMT_XML))

    def json(self, path):
        """A JSON file of the machine folder (None while it is missing)."""
        file = self.machine / path
        return json.loads(file.read_text()) if file.exists() else None

    def battery(self, **properties):
        """Changes the battery's registry entry: battery(CurrentCapacity=3), or battery() with
        nothing to take the battery away."""
        file = self.machine / "ioreg/AppleSmartBattery.plist"
        if not properties:
            file.unlink()
            return
        entries = plistlib.loads(file.read_bytes())
        entries[0].update(properties)
        file.write_bytes(plistlib.dumps(entries, fmt=plistlib.FMT_XML))

    def holds_sleep(self):
        """Whether the application holds a sleep assertion of its own (keep-awake is on)."""
        return bool((self.json("power/assertions.json") or {}).get(str(self.app.pid)))

    def json_write(self, path, value):
        """Writes a JSON file of the machine folder."""
        file = self.machine / path
        file.parent.mkdir(parents=True, exist_ok=True)
        file.write_text(json.dumps(value))

    def lines(self, path):
        """A JSON-lines file of the machine folder, one value a line."""
        file = self.machine / path
        return [json.loads(line) for line in file.read_text().splitlines() if line.strip()] if file.exists() else []


def hotkeys_entry(table):
    """The stored form of the hot keys: {"panel": (49, 0x1100, "⌃⌘Space")} as the "hotkeys" data."""
    pairs = []
    for action, (code, modifiers, label) in table.items():
        pairs += [action, {"keyCode": code, "modifiers": modifiers, "label": label}]
    return json.dumps(pairs, ensure_ascii=False).encode()


def _skipped(reason):
    """Ends the journey as skipped, noting why for the line that ends the test run."""
    print(f"skipped: {reason}")
    if os.environ.get("NORVANE_TEST_SKIPS"):
        with open(os.environ["NORVANE_TEST_SKIPS"], "a") as records:
            records.write(" ".join(str(reason).splitlines()) + "\n")
    sys.exit(SKIPPED)


def run(journey, *arguments, needs=(), **options):
    """Runs one journey on a fresh application started with `arguments`; exits the script,
    skipped when one of the programs it `needs` besides the usual ("xrandr") is missing."""
    try:
        _needed(needs)
        _own_world()
    except Skip as reason:
        _skipped(reason)
    unfit = _unfit_bundle()
    if unfit:
        print(f"{Path(sys.argv[0]).stem} cannot run: {unfit}")
        sys.exit(1)
    _own_session_bus()
    app = App(arguments, **options)
    problems = []
    started = time.monotonic()
    try:
        app.start()
        journey(app)
        status = app.quit()
        if status != 0:
            problems.append(f"Norvane ended with status {status}")
    except Skip as reason:  # what the journey needs of the machine, found missing as it starts
        app.stop()
        _skipped(reason)
    except Exception:
        problems.append(traceback.format_exc())
        problems.append(app.keep_screen())
    finally:
        errors = app.errors()
        problems += [f"the helper ended on a sanitizer's report:\n{report}" for report in app.helper_reports()]
        log = app.system_log()
        app.stop()
        shutil.rmtree(os.environ["NORVANE_JOURNEY_BUS"], ignore_errors=True)
    warnings = [line for line in errors.splitlines() if FORBIDDEN.search(line)]
    if warnings:
        problems.append("Qt warned:\n  " + "\n  ".join(warnings))
    print(f"{Path(sys.argv[0]).stem}: {time.monotonic() - started:.1f} s")
    if problems:
        print("\n".join(problems))
        print("--- Norvane's standard error ---\n" + errors)
        if log:
            print("--- the machine's system log ---\n" + log[-20000:])
        sys.exit(1)
    sys.exit(0)
