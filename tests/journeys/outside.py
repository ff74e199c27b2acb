"""What a journey hands the running application from outside it, as the rest of a Mac would:
a second start of its program, a web server on 127.0.0.1, a process named like a coding
agent. Each is the journey's own: started by it, in its world, and ended by it."""

import http.server
import os
import shutil
import signal
import subprocess
import threading
from pathlib import Path

from journey import DEADLINE, deadline, proc_stat


def second_start(app, *arguments):
    """Starts the application's program again in the same session, as the system does for a
    URL opened while it runs: (status, output). It hands its arguments to the running one."""
    done = subprocess.run([os.environ["NORVANE_APP"], *arguments], env=app.env, capture_output=True,
                          timeout=deadline())
    return done.returncode, (done.stdout + done.stderr).decode(errors="replace")


class Server:
    """A web server on a free port of 127.0.0.1, in a thread of the journey, answering GET
    with the bytes stored for a path (404 otherwise). A held path sends the first half of its
    bytes and waits until the journey lets it go on, so the journey sees a transfer midway."""

    def __init__(self):
        self.routes = {}
        self.asked = []  # the paths asked for, in order
        self._held = {}
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                outer.asked.append(self.path)
                body = outer.routes.get(self.path)
                if body is None:
                    self.send_error(404)
                    return
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                gate = outer._held.get(self.path)
                if gate is None:
                    self.wfile.write(body)
                    return
                half = len(body) // 2
                self.wfile.write(body[:half])
                self.wfile.flush()
                gate.wait(DEADLINE)  # never longer: a journey that failed meanwhile ends
                gate.clear()  # the next request is held again
                self.wfile.write(body[half:])

            def log_message(self, *arguments):
                pass

        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self._server.daemon_threads = True
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()

    def url(self, path):
        return f"http://127.0.0.1:{self._server.server_address[1]}{path}"

    def hold(self, path):
        """From now on each request of `path` stops halfway until `release(path)`."""
        self._held[path] = threading.Event()

    def release(self, path):
        self._held[path].set()

    def count(self, path):
        return self.asked.count(path)

    def close(self):
        for gate in self._held.values():
            gate.set()
        self._server.shutdown()
        self._server.server_close()


class Agent:
    """A process named like a catalogued coding agent (the system's shell, copied under that
    name), with one child, in a process group of its own. `work()` gives it one more child,
    as an agent does when it starts a tool; `end()` ends it with its children."""

    def __init__(self, app, name):
        folder = app.work / "agents"
        folder.mkdir(exist_ok=True)
        program = folder / name
        shutil.copy2("/bin/sh", program)
        # The shell's wait returns on a caught signal: each USR1 adds a child.
        script = "trap 'sleep 600 &' USR1; sleep 600 & while :; do wait; done"
        self.process = subprocess.Popen([str(program), "-c", script], start_new_session=True,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

    def children(self):
        parent = str(self.process.pid)
        stats = (proc_stat(entry.name) for entry in Path("/proc").glob("[0-9]*"))
        return sum(1 for stat in stats if stat and stat[1] == parent)  # None: one that ended meanwhile

    def work(self, app):
        before = self.children()
        self.process.send_signal(signal.SIGUSR1)
        app.wait("the agent's new child", lambda: self.children() > before)

    def end(self):
        try:
            os.killpg(self.process.pid, signal.SIGTERM)  # its group: the process and its children
        except ProcessLookupError:
            pass
        self.process.wait(timeout=deadline())
