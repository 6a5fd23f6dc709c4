"""Runs the real player under a private Xvfb server and drives it as a user would.

Each session starts its own X server (on a display number the server picks itself), starts
the player binary in a folder of the test's choice, and offers pointer actions through
xdotool, window queries and screenshots read with PIL.
"""

import ctypes
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

from PIL import Image

SCREEN_W, SCREEN_H = 1024, 768
PRIVATE_BUS_MARK = "VOLNAR_E2E_PRIVATE_BUS"


def run_inside_private_bus():
    """Runs this test script again inside a session bus of its own (dbus-run-session), as a
    desktop session gives the player one; returns when already inside."""
    if os.environ.get(PRIVATE_BUS_MARK) == "1":
        return
    import sys
    env = dict(os.environ)
    env[PRIVATE_BUS_MARK] = "1"
    os.execvpe("dbus-run-session",
               ["dbus-run-session", "--", sys.executable] + sys.argv, env)


def _run(args, env, check=True):
    out = subprocess.run(args, env=env, capture_output=True, text=True, timeout=30)
    if check and out.returncode != 0:
        raise RuntimeError(f"{args} failed: {out.stderr.strip()}")
    return out.stdout


class PlayerSession:
    """A context manager: Xvfb + the player. `extra_env` adds variables for the player, `args`
    are its command line, `wrapper` a command the player is started through."""

    def __init__(self, binary, cwd=None, extra_env=None, args=(), wrapper=(),
                 state_home=None, screen=(SCREEN_W, SCREEN_H)):
        self.binary = os.path.abspath(binary)
        self.cwd = cwd
        self.extra_env = extra_env or {}
        self.args = list(args)
        self.wrapper = list(wrapper)
        self.state_home = state_home
        self.screen = screen
        self.xvfb = None
        self.player = None
        self.env = None
        self.tmp = tempfile.mkdtemp(prefix="volnar-e2e-")

    def __enter__(self):
        self.start_xvfb()
        self.start_player()
        return self

    def __exit__(self, *exc):
        self.stop()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def start_xvfb(self):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
             f"{self.screen[0]}x{self.screen[1]}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        deadline = time.time() + 20
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        if not number.strip():
            raise RuntimeError("Xvfb did not start")
        self.env = dict(os.environ)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env.setdefault("SDL_AUDIODRIVER", "dummy")
        # The station list of the user running the tests stays out of them.
        self.env["XDG_CONFIG_HOME"] = os.path.join(self.tmp, "config")
        # The player remembers its state per user and is one per session bus: a test's
        # player keeps both to itself (a bus only when the test runs inside its own, see
        # run_inside_private_bus), never the desktop's of the person running the tests.
        self.env["XDG_STATE_HOME"] = self.state_home or os.path.join(self.tmp, "state")
        # Covers the player writes for the desktop stay in the test's folder too.
        self.env["XDG_CACHE_HOME"] = os.path.join(self.tmp, "cache")
        runtime = os.path.join(self.tmp, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        self.env["XDG_RUNTIME_DIR"] = runtime
        if os.environ.get(PRIVATE_BUS_MARK) != "1":
            self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)

    def start_player(self, wait_title="Плеер"):
        env = dict(self.env)
        env.update(self.extra_env)
        self.started_at = time.monotonic()
        self.player = subprocess.Popen(self.wrapper + [self.binary] + self.args,
                                       cwd=self.cwd or self.tmp, env=env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if wait_title:
            self.wait_window(wait_title)

    def stop(self):
        if self.player and self.player.poll() is None:
            self.player.send_signal(signal.SIGTERM)
            try:
                self.player.wait(5)
            except subprocess.TimeoutExpired:
                self.player.kill()
                self.player.wait()
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()

    # --- windows ----------------------------------------------------------------------

    def find_windows(self, title, visible=True):
        args = ["xdotool", "search"] + (["--onlyvisible"] if visible else [])
        args += ["--name", "^" + re.escape(title) + "$"]
        out = _run(args, self.env, check=False)
        return [int(w) for w in out.split()]

    def wait_window(self, title, visible=True, timeout=15):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.player and self.player.poll() is not None:
                raise RuntimeError("player exited with %s: %s" %
                                   (self.player.returncode, self.player.stderr.read()))
            found = self.find_windows(title, visible)
            if found:
                return found[0]
            time.sleep(0.05)
        raise RuntimeError(f"no {'visible ' if visible else ''}window {title!r}")

    def wait_hidden(self, title, timeout=10):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if not self.find_windows(title, visible=True):
                return
            time.sleep(0.05)
        raise RuntimeError(f"window {title!r} still visible")

    def geometry(self, window):
        """(x, y, width, height) of a window's client area on the screen."""
        out = _run(["xwininfo", "-id", str(window)], self.env)
        values = {}
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            values[key] = int(re.search(re.escape(key) + r":\s+(-?\d+)", out).group(1))
        return (values["Absolute upper-left X"], values["Absolute upper-left Y"],
                values["Width"], values["Height"])

    def close_request(self, window):
        """Sends the window the close request a window manager sends for Alt+F4 or its close
        button: a WM_PROTOCOLS client message with WM_DELETE_WINDOW."""
        x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.c_void_p]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        display = x11.XOpenDisplay(self.env["DISPLAY"].encode())
        if not display:
            raise RuntimeError("cannot open the X display")
        try:
            event = _XClientMessageEvent()
            event.type = 33  # ClientMessage
            event.window = window
            event.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
            event.format = 32
            event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
            event.data[1] = 0  # CurrentTime
            padded = _XEvent()
            padded.message = event
            x11.XSendEvent(display, window, 0, 0, ctypes.byref(padded))
            x11.XFlush(display)
        finally:
            x11.XCloseDisplay(display)

    def window_property(self, window, name):
        return _run(["xprop", "-id", str(window), name], self.env, check=False)

    # --- pointer ----------------------------------------------------------------------

    def pointer(self):
        """(x, y) of the pointer on the screen."""
        out = _run(["xdotool", "getmouselocation", "--shell"], self.env)
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"])

    def move(self, x, y):
        # Debian 12's xdotool (3.20160805) waits 15 s in a synchronous move to where the
        # pointer already is, for a motion that never comes (mended upstream in 2024).
        if self.pointer() == (x, y):
            return
        _run(["xdotool", "mousemove", "--sync", str(x), str(y)], self.env)

    def click(self, x, y, button=1, repeat=1):
        self.move(x, y)
        args = ["xdotool", "click"]
        if repeat > 1:
            args += ["--repeat", str(repeat), "--delay", "60"]
        _run(args + [str(button)], self.env)

    # Both list panels, relative to the main window's corner.
    PANEL = (105, 240, 390, 150)

    def click_panel_button(self, x0, y0, x, y, timeout=10):
        """Clicks FM or PL (at x, y of the main window whose corner is x0, y0) and returns
        once the panels have stopped sliding: input made during a slide is dropped, and a
        loaded machine slides slower than any fixed pause allows for."""
        def panels():
            px, py, pw, ph = self.PANEL
            return self.screenshot().crop((x0 + px, y0 + py, x0 + px + pw, y0 + py + ph))
        before = panels().tobytes()
        self.click(x0 + x, y0 + y)
        deadline = time.time() + timeout
        last = None
        still = 0
        while time.time() < deadline:
            now = panels().tobytes()
            # Three equal looks a tenth of a second apart, unlike the one before the click.
            still = still + 1 if now == last and now != before else 0
            if still == 2:
                return True
            last = now
            time.sleep(0.1)
        return False

    def press(self, button=1):
        _run(["xdotool", "mousedown", str(button)], self.env)

    def release(self, button=1):
        _run(["xdotool", "mouseup", str(button)], self.env)

    def key(self, *keys):
        _run(["xdotool", "key"] + list(keys), self.env)

    def type_text(self, text):
        _run(["xdotool", "type", "--delay", "20", text], self.env)

    # --- screen -----------------------------------------------------------------------

    def screenshot(self, path=None):
        path = path or os.path.join(self.tmp, "shot.png")
        _run(["import", "-window", "root", path], self.env)
        return Image.open(path).convert("RGB")

    def shown_windows(self):
        """How many windows of the player are shown (a dialog of its own counts)."""
        out = _run(["xdotool", "search", "--onlyvisible", "--class", "volnar"], self.env,
                   check=False)
        return len(out.split())

    def answers(self, x0, y0, timeout=3):
        """A right click on the main window (corner x0, y0) brings the mini window and one
        on the mini window the main window back, each within `timeout` seconds."""
        self.click(x0 + 300, y0 + 60, button=3)
        if not wait_until(lambda: self.find_windows("мини"), timeout=timeout):
            return False
        mx, my, _, _ = self.geometry(self.find_windows("мини")[0])
        self.click(mx + 100, my + 10, button=3)
        return wait_until(lambda: self.find_windows("Плеер"), timeout=timeout)

    def alive(self):
        return self.player.poll() is None


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("message", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def state_text(state_home):
    """The player's state file under that XDG_STATE_HOME; empty when there is none."""
    try:
        with open(os.path.join(state_home, "volnar", "state.ini"), encoding="utf-8") as f:
            return f.read()
    except OSError:
        return ""


def wait_until(condition, timeout=10, step=0.05):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(step)
    return condition()


class Results:
    """Counts checks and prints the closing line CTest logs show."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what):
        if ok:
            self.passed += 1
            print("ok:", what)
        else:
            self.failed += 1
            print("FAILED:", what)

    def finish(self):
        print(f"{self.passed} passed, {self.failed} failed")
        raise SystemExit(1 if self.failed else 0)
