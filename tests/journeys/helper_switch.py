"""Low Power switched through the helper by the application as a user starts it, within 3
seconds of Continue: from a shell that sets the loader's variables (`shell`: a CUDA library path,
a terminal's GTK and GIO module paths), which the application drops before anything else, as a
Mac's loader ignores them for a hardened app; or while a tracing tool's probe sits on libc
(`uprobe`), whose breakpoint the kernel writes into every process that maps libc, and then while
the probe is taken away and placed again and again, as a tracing tool started again and again
does: each switch is heard, and the application never repairs its helper."""

import ctypes
import fcntl
import os
import secrets
import stat
import sys
import threading
from pathlib import Path

from journey import Skip, run

VARIANT = sys.argv[1]
SHELL = {"LD_LIBRARY_PATH": "/usr/local/cuda/lib64", "GTK_PATH": "/usr/lib/x86_64-linux-gnu/gtk-3.0",
         "GIO_MODULE_DIR": "/usr/lib/x86_64-linux-gnu/gio/modules"}
TRACING = Path("/sys/kernel/tracing")


def write(path, text):
    fd = os.open(path, os.O_WRONLY | os.O_APPEND)
    try:
        os.write(fd, text.encode())
    finally:
        os.close(fd)


class Probe:
    """A uprobe on libc's getpid, placed through the kernel's tracing files (mounted in the
    world's own mount namespace where they are not yet) and removed when the journey ends. As in
    tests/support/Uprobe.cpp: named norvane_<random>/probe, its holder file in HOLDERS locked while
    the journey lives, and the probes of ours whose holder is gone (a run killed at its time-out)
    removed first."""

    HOLDERS = Path("/tmp/norvane-uprobes")

    def __init__(self):
        address = ctypes.cast(ctypes.CDLL("libc.so.6").getpid, ctypes.c_void_p).value
        for line in Path("/proc/self/maps").read_text().splitlines():
            fields = line.split()
            start, end = (int(part, 16) for part in fields[0].split("-"))
            if start <= address < end and len(fields) > 5:
                self.target = f"{fields[5]}:{address - start + int(fields[2], 16):#x}"
                break
        else:
            raise Skip("libc's getpid lies in no file")
        self.event = None
        events = TRACING / "uprobe_events"
        try:
            there = events.exists()
        except PermissionError as error:  # mounted, and the administrator's alone
            raise Skip(f"the kernel's tracing files cannot be written: {error.strerror}")
        if not there:
            libc = ctypes.CDLL(None, use_errno=True)
            if libc.mount(b"nodev", bytes(TRACING), b"tracefs", ctypes.c_ulong(0), None) != 0:
                raise Skip("the kernel's tracing files are not there and cannot be mounted: "
                           + os.strerror(ctypes.get_errno()))
        if not os.access(events, os.W_OK):
            raise Skip("the kernel's tracing files cannot be written: Permission denied")
        self.HOLDERS.mkdir(mode=0o700, exist_ok=True)
        status = self.HOLDERS.lstat()
        if not stat.S_ISDIR(status.st_mode) or status.st_uid != os.geteuid() or status.st_mode & 0o077:
            raise Skip(f"no folder of ours for the probes' holders at {self.HOLDERS}")
        self.sweep()
        name = secrets.token_hex(8)
        self.holder = self.HOLDERS / name
        self.lock = os.open(self.holder, os.O_RDONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW, 0o600)
        fcntl.flock(self.lock, fcntl.LOCK_SH)
        try:
            write(events, f"p:norvane_{name}/probe {self.target}\n")
            self.event = f"norvane_{name}/probe"
            write(TRACING / "events" / self.event / "enable", "1")
        except OSError as error:
            self.remove()
            raise Skip(f"the kernel's tracing files cannot be written: {error.strerror}")

    def sweep(self):
        for line in (TRACING / "uprobe_events").read_text().splitlines():
            event = line.split()[0].partition(":")[2] if line.strip() else ""
            group = event.partition("/")[0]
            if group.startswith("norvane_") and self.abandoned(group.partition("_")[2]):
                self.unplace(event)

    def abandoned(self, name):
        try:
            fd = os.open(self.HOLDERS / name, os.O_RDONLY | os.O_NOFOLLOW)
        except FileNotFoundError:
            return True
        except OSError:
            return False
        try:
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            return False
        finally:
            os.close(fd)
        (self.HOLDERS / name).unlink(missing_ok=True)
        return True

    @staticmethod
    def unplace(event):
        for path, text in ((TRACING / "events" / event / "enable", "0"), (TRACING / "uprobe_events", f"-:{event}\n")):
            try:
                write(path, text)
            except OSError:
                pass

    def remove(self):
        if self.event:
            self.unplace(self.event)
            self.event = None
        if hasattr(self, "lock"):
            self.holder.unlink(missing_ok=True)
            os.close(self.lock)
            del self.lock


def prepare(app):
    if VARIANT == "uprobe":
        app.probe = Probe()


def low_power(app):
    return app.json("pmset/settings.json")["Battery Power"]["lowpowermode"]


def flapping(app, stop, failed):
    """Takes the probe away and places it again until `stop` is set."""
    try:
        while not stop.wait(0.15):
            app.probe.remove()
            app.probe = Probe()
    except (OSError, Skip) as error:
        failed.append(error)


def journey(app):
    try:
        panel = app.panel()
        app.find("check box", "Low Power Mode", within=panel).click()
        app.find("push button", "Continue", within=panel).click()  # the helper's one-time setup
        app.wait("Low Power on through the helper", lambda: low_power(app) == 1, timeout=3)
        app.wait("the switch on", lambda: app.find("check box", "Low Power Mode", within=panel).has("checked"))
        if VARIANT == "shell":
            names = {entry.split(b"=")[0].decode() for entry in Path(f"/proc/{app.app.pid}/environ").read_bytes().split(b"\0")}
            assert not names & SHELL.keys(), f"Norvane kept {names & SHELL.keys()}"
        if VARIANT == "uprobe":
            stop, failed = threading.Event(), []
            flapper = threading.Thread(target=flapping, args=(app, stop, failed))
            flapper.start()
            try:
                for wanted in (0, 1, 0, 1):
                    app.find("check box", "Low Power Mode", within=panel).click()
                    app.wait(f"Low Power {wanted} through the helper", lambda: low_power(app) == wanted, timeout=3)
            finally:
                stop.set()
                flapper.join()
            assert not failed, f"the probe could not be placed again: {failed[0]}"
            log = app.system_log()
            assert "registering it again" not in log and "unanswered" not in log, log
    finally:
        if hasattr(app, "probe"):
            app.probe.remove()


run(journey, "--open", environment=SHELL if VARIANT == "shell" else None, prepare=prepare)
