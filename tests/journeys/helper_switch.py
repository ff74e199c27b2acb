"""Low Power switched through the helper by the application as a user starts it, within 3
seconds of Continue: from a shell that sets the loader's variables (`shell`: a CUDA library path,
a terminal's GTK and GIO module paths), which the application drops before anything else, as a
Mac's loader ignores them for a hardened app; or while a tracing tool's probe sits on libc
(`uprobe`), whose breakpoint the kernel writes into every process that maps libc."""

import ctypes
import os
import subprocess
import sys
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
    world's own mount namespace where they are not yet) and removed when the journey ends."""

    EVENT = f"norvane_journey_{os.getpid()}/getpid"

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
        if not (TRACING / "uprobe_events").exists() and subprocess.run(
                ["mount", "-t", "tracefs", "nodev", str(TRACING)], capture_output=True).returncode != 0:
            raise Skip("the kernel's tracing files are not there and cannot be mounted")
        try:
            write(TRACING / "uprobe_events", f"p:{self.EVENT} {self.target}\n")
            self.placed = True
            write(TRACING / "events" / self.EVENT / "enable", "1")
        except OSError as error:
            self.remove()
            raise Skip(f"the kernel's tracing files cannot be written: {error.strerror}")

    def remove(self):
        for path, text in ((TRACING / "events" / self.EVENT / "enable", "0"), (TRACING / "uprobe_events", f"-:{self.EVENT}\n")):
            try:
                write(path, text)
            except OSError:
                pass


def prepare(app):
    if VARIANT == "uprobe":
        app.probe = Probe()


def journey(app):
    try:
        panel = app.panel()
        app.find("check box", "Low Power Mode", within=panel).click()
        app.find("push button", "Continue", within=panel).click()  # the helper's one-time setup
        app.wait("Low Power on through the helper",
                 lambda: app.json("pmset/settings.json")["Battery Power"]["lowpowermode"] == 1, timeout=3)
        app.wait("the switch on", lambda: app.find("check box", "Low Power Mode", within=panel).has("checked"))
        if VARIANT == "shell":
            names = {entry.split(b"=")[0].decode() for entry in Path(f"/proc/{app.app.pid}/environ").read_bytes().split(b"\0")}
            assert not names & SHELL.keys(), f"Norvane kept {names & SHELL.keys()}"
    finally:
        if hasattr(app, "probe"):
            app.probe.remove()


run(journey, "--open", environment=SHELL if VARIANT == "shell" else None, prepare=prepare)
