#!/usr/bin/python3
"""A virtual desktop for the program: Xvfb with the openbox window manager (and, on
request, a D-Bus session bus for assistive technology), the program started on it,
and what a user does there: look at windows, type, click, take a screenshot.

`make run` uses it on machines without a display; the end-to-end tests use it too.
Every wait polls a condition until a time-out; nothing sleeps for a fixed time.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TOOLS = ("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import")


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def accessibility_missing():
    """Why no screen reader's view can be had here, or nothing."""
    missing = [p for p in ("/usr/libexec/at-spi-bus-launcher", "/usr/bin/dbus-daemon")
               if not os.path.exists(p)]
    if missing or subprocess.run(["/usr/bin/python3", "-c", "import pyatspi"]).returncode:
        return "at-spi2-core or python3-pyatspi is not installed (run make deps)"
    return None


# Put before a script run with Session.atspi: `app` is the program as assistive technology
# sees it, `find(node, test)` the first element under `node` that passes `test`; the
# script exits with status 3 while the program is not registered (yet).
ATSPI = r"""
import pyatspi, sys
def find(node, test, depth=0):
    if test(node):
        return node
    for i in range(node.childCount if depth < 12 else 0):
        found = find(node.getChildAtIndex(i), test, depth + 1)
        if found:
            return found
apps = [a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "Plenwick"]
if not apps:
    sys.exit(3)
app = apps[0]
"""


class Session:
    def __init__(self, screen="1280x1024x24", bus=False):
        self._prepare(TOOLS, "plenwick-x-", ("QT_", "WAYLAND", "DBUS_", "DISPLAY"))
        read, write = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write), "-screen", "0", screen, "-dpi", "96",
                     "-nolisten", "tcp", "-noreset"], "xvfb", pass_fds=(write,))
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise Failure("Xvfb gave no display number")
            number += chunk
        os.close(read)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.env["XDG_RUNTIME_DIR"] = os.path.join(self.tmp, "runtime")
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        self._bus(bus)
        self.spawn(["openbox", "--sm-disable"], "openbox",
                    env=dict(self.env, XDG_CONFIG_HOME=self.tmp + "/wm"))
        self.wait(lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK",
                                                   check=False), "openbox to come up")

    def _prepare(self, tools, prefix, hidden):
        """Checks the session's tools, makes its folder and settings folder, and takes
        the environment less the variables (by prefix) that would reach the real desktop."""
        missing = [t for t in tools if not shutil.which(t)]
        if missing:
            raise Failure("not installed: " + " ".join(missing) + " (run make deps)")
        self.tmp = tempfile.mkdtemp(prefix=prefix)
        self.config = os.path.join(self.tmp, "config")
        os.makedirs(self.config)
        self.procs = []
        self.program = None
        self.env = {k: v for k, v in os.environ.items() if not k.startswith(hidden)}

    def _bus(self, bus):
        if bus:
            out = self.run("dbus-daemon", "--session", "--fork", "--print-address=1",
                           "--print-pid=1")
            self.env["DBUS_SESSION_BUS_ADDRESS"], pid = out.split("\n")[:2]
            self.procs.append(int(pid))
        else:
            self.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + self.tmp + "/no-bus"

    def spawn(self, argv, log, env=None, **kw):
        with open(os.path.join(self.tmp, log + ".log"), "ab") as out:
            proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                                    env=env or self.env, **kw)
        self.procs.append(proc)
        return proc

    def run(self, *argv, check=True):
        done = subprocess.run(argv, env=self.env, capture_output=True, text=True)
        if check and done.returncode:
            raise Failure(" ".join(argv) + ": " + done.stderr.strip())
        return done.stdout.strip()

    def wait(self, condition, what, timeout=30):
        deadline = time.monotonic() + timeout
        while True:
            result = condition()
            if result:
                return result
            if self.program and self.program.poll() is not None and what != "the program to end":
                raise Failure("the program ended (status %s) while waiting for %s"
                              % (self.program.returncode, what))
            if time.monotonic() > deadline:
                raise Failure("timed out after %ss waiting for %s" % (timeout, what))
            time.sleep(0.05)

    def start(self, program, **env):
        """Starts the program with the session's settings folder and extra environment."""
        env = dict(self.env, XDG_CONFIG_HOME=self.config, QT_QPA_PLATFORM="xcb", **env)
        self.program = self.spawn([program], "program", env=env)
        return self.program

    def start_main(self, program, **env):
        """Starts the program and waits for its main window, the splash gone."""
        self.start(program, **env)
        main = self.window("^Plenwick$", 60)
        # The splash is the program's one other window at start-up.
        self.wait(lambda: self.program_windows() == [main], "the splash to go")
        return main

    def quit(self, main):
        """File > Exit from the main window (Ctrl+X); the program's exit status."""
        self.activate(main)
        self.type_keys("ctrl+x")
        return self.end()

    def ini(self, text=None):
        """The settings file's text; with `text`, writes it first."""
        path = os.path.join(self.config, "Plenwick", "Plenwick.ini")
        if text is not None:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            open(path, "w").write(text)
        return open(path).read() if os.path.isfile(path) else ""

    def enable_accessibility(self):
        """Turns assistive technology on; with the reply awaited, the bus launcher has
        taken the setting before a program started afterwards asks for it."""
        self.run("dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                 "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set",
                 "string:org.a11y.Status", "string:IsEnabled", "variant:boolean:true")

    def atspi(self, script, *args):
        """Runs `script` after ATSPI as a screen reader's client of the session."""
        return subprocess.run(["/usr/bin/python3", "-c", ATSPI + script, *args], env=self.env,
                              capture_output=True, text=True)

    def end(self, timeout=20):
        """Waits for the program to end by itself; its exit status."""
        self.wait(lambda: self.program.poll() is not None, "the program to end", timeout)
        return self.program.returncode

    def windows(self, name):
        out = self.run("xdotool", "search", "--onlyvisible", "--name", name, check=False)
        return [int(w) for w in out.split()]

    def window(self, name, timeout=30):
        return self.wait(lambda: (self.windows(name) or [None])[0], "a window " + name, timeout)

    def program_windows(self):
        out = self.run("xdotool", "search", "--onlyvisible", "--pid", str(self.program.pid),
                       check=False)
        return [int(w) for w in out.split()]

    def gone(self, wid, timeout=30):
        self.wait(lambda: "IsViewable" not in self.run("xwininfo", "-id", str(wid), check=False),
                  "window %s to close" % wid, timeout)

    def active(self):
        return int(self.run("xdotool", "getactivewindow", check=False) or 0)

    def frame(self, wid):
        """Left, right, top, bottom frame extents that the window manager added."""
        m = re.search(r"= (\d+), (\d+), (\d+), (\d+)",
                      self.run("xprop", "-id", str(wid), "_NET_FRAME_EXTENTS", check=False))
        return tuple(int(v) for v in m.groups()) if m else (0, 0, 0, 0)

    def outer(self, wid):
        """The window's outer rectangle, frame included: x, y, width, height; nothing
        when the window has gone meanwhile."""
        info = self.run("xwininfo", "-id", str(wid), check=False)
        if "Width" not in info:
            return None
        value = lambda key: int(re.search(key + r":\s+(-?\d+)", info).group(1))
        left, right, top, bottom = self.frame(wid)
        return (value("Absolute upper-left X") - left, value("Absolute upper-left Y") - top,
                value("Width") + left + right, value("Height") + top + bottom)

    def stacking(self):
        """The managed windows from bottom to top."""
        out = self.run("xprop", "-root", "_NET_CLIENT_LIST_STACKING")
        return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", out)]

    def type_keys(self, *keys):
        """Types into whatever window has the keyboard, as a user would."""
        self.run("xdotool", "key", "--delay", "30", *keys)

    def click(self, wid, x, y):
        self.run("xdotool", "mousemove", "--window", str(wid), str(x), str(y), "click", "1")

    def activate(self, wid):
        self.run("xdotool", "windowactivate", "--sync", str(wid))

    def screenshot(self, path):
        self.run("import", "-window", "root", path)
        return path

    def close(self):
        for proc in reversed(self.procs):
            if isinstance(proc, int):
                try:
                    os.kill(proc, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                continue
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def log(self, name="program"):
        with open(os.path.join(self.tmp, name + ".log"), errors="replace") as f:
            return f.read()


class WaylandSession(Session):
    """A Wayland session as GNOME and KDE Plasma start them: weston's headless compositor
    with XWayland for X clients (weston acting as their window manager) and
    XDG_SESSION_TYPE=wayland. The program starts with the platform that it chooses
    itself unless the test names one. X tools (xdotool, xprop) see its X clients."""

    def __init__(self, bus=False):
        self._prepare(("weston", "Xwayland") + TOOLS[2:], "plenwick-wl-",
                      ("QT_", "WAYLAND", "DBUS_", "DISPLAY", "XDG_SESSION"))
        self.env["XDG_RUNTIME_DIR"] = os.path.join(self.tmp, "runtime")
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        try:
            self._compositor(bus)
        except BaseException:
            self.close()
            raise

    def _compositor(self, bus):
        self._bus(bus)
        socket = "plenwick-%d" % os.getpid()
        self.spawn(["weston", "--backend=headless-backend.so", "--xwayland", "--idle-time=0",
                     "--socket=" + socket, "--width=1280", "--height=1024"], "weston",
                    env=dict(self.env, XDG_CONFIG_HOME=self.tmp + "/wm"))
        # weston picks a free X display for XWayland and says which in its log.
        display = self.wait(lambda: re.search(r"xserver listening on display (:\d+)",
                                              self.log("weston")), "weston and XWayland")
        self.env.update(WAYLAND_DISPLAY=socket, XDG_SESSION_TYPE="wayland",
                        DISPLAY=display.group(1))
        # XWayland itself starts on the first X client.
        self.wait(lambda: self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False),
                  "XWayland's window manager", 60)

    def start(self, program, **env):
        env = dict(self.env, XDG_CONFIG_HOME=self.config, **env)
        self.program = self.spawn([program], "program", env=env)
        return self.program


def run_headless(program, screenshot):
    """What `make run` does without a display: the program on a virtual screen with the
    user's own settings, a screenshot once the chart is up, then Ctrl+X (File > Exit)."""
    session = Session()
    try:
        if os.environ.get("PLENWICK_RUN_FRESH_CONFIG") != "1":
            session.config = os.environ.get("XDG_CONFIG_HOME",
                                            os.path.expanduser("~/.config"))
        print("run-program: settings in %s/Plenwick/Plenwick.ini" % session.config,
              file=sys.stderr)
        main = session.start_main(program)
        session.screenshot(screenshot)
        status = session.quit(main)
        if status:
            raise Failure("the program ended with status %d" % status)
        print(screenshot)
    finally:
        session.close()


def run_case(cases, make_session):
    """What an end-to-end test script does: runs its function case_<argv[1]> on the
    program argv[2] in the session that make_session(case) makes, and says PASS, or FAIL
    with a screenshot and the end of the program's output."""
    case, program = sys.argv[1], os.path.abspath(sys.argv[2])
    session = make_session(case)
    try:
        cases["case_" + case](session, program)
        print("PASS: " + case)
    except Failure as failure:
        shot = os.path.join(os.getcwd(), "e2e-failure-%s.png" % case)
        subprocess.run(["import", "-window", "root", shot], env=session.env)
        print("FAIL: %s (screen: %s)\n%s" % (failure, shot, session.log()[-3000:]))
        sys.exit(1)
    finally:
        session.close()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: xsession.py <program> <screenshot.png>")
    try:
        run_headless(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    except Failure as failure:
        sys.exit("run-program: %s" % failure)
