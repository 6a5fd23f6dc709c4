"""The player as a native Wayland client (Qt's wayland platform) of a headless Weston: the
main window maps, a right click brings the mini window and a second one the main window
back, dragging the background moves the window through the compositor, the open-file
dialog opens and picks a track, and a track given on the command line plays (heard through
SDL's disk driver); when the compositor goes away the player ends by itself and keeps
what was changed.

Weston's headless back-end has no input devices; the test's own Weston module
(tests/support/weston_input) adds a seat that this test drives through a socket, the way a
real pointer and keyboard drive the compositor.

Arguments: the player binary, the module."""

import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

from harness import Results, state_text, wait_until
from sound import disk_env, dominant_frequency, make_tone, recent_samples

BTN_LEFT, BTN_RIGHT = 272, 273
# Evdev key codes for typing a path.
KEYS = {**{c: code for c, code in zip("1234567890", range(2, 12))},
        **{c: code for c, code in zip("qwertyuiop", range(16, 26))},
        **{c: code for c, code in zip("asdfghjkl", range(30, 39))},
        **{c: code for c, code in zip("zxcvbnm", range(44, 51))},
        "-": 12, "=": 13, "`": 41, ".": 52, "/": 53, " ": 57, "\n": 28}
KEY_LEFTSHIFT = 42
# Characters typed with shift held (temporary folder names may hold them).
SHIFTED = {"_": "-", "~": "`", "+": "=", "!": "1", "@": "2", "#": "3", "%": "5"}


class Weston:
    def __init__(self, module, runtime, scale=1):
        self.runtime = runtime
        self.control = os.path.join(runtime, "input")
        self.socket_name = "volnar-test"
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, VOLNAR_WESTON_INPUT=self.control)
        self.log = open(os.path.join(runtime, "weston.log"), "w")
        self.process = subprocess.Popen(
            ["weston", "--backend=headless-backend.so", "--use-pixman", "--width=1024",
             "--height=768", "--scale=%d" % scale, "--idle-time=0",
             "--socket=" + self.socket_name,
             "--modules=" + os.path.abspath(module)],
            env=env, stdout=self.log, stderr=subprocess.STDOUT)
        if not wait_until(lambda: os.path.exists(self.control) and os.path.exists(
                os.path.join(runtime, self.socket_name)), timeout=20):
            raise RuntimeError("weston did not start: " + self.read_log())

    def read_log(self):
        with open(os.path.join(self.runtime, "weston.log")) as f:
            return f.read()[-2000:]

    def command(self, line):
        with socket.socket(socket.AF_UNIX) as s:
            s.settimeout(10)
            s.connect(self.control)
            s.sendall(line.encode() + b"\n")
            reply = b""
            while True:
                chunk = s.recv(4096)
                if not chunk:
                    break
                reply += chunk
        return reply.decode()

    def views(self):
        """[(title, x, y, width, height)] of the shown windows, top first."""
        shown = []
        for line in self.command("views").splitlines():
            if line == "ok":
                continue
            x, y, w, h, title = line.split(" ", 4)
            shown.append((title, int(x), int(y), int(w), int(h)))
        return shown

    def window(self, title):
        return next((v for v in self.views() if v[0] == title), None)

    def move(self, x, y):
        self.command(f"move {x} {y}")
        time.sleep(0.05)

    def click(self, x, y, button=BTN_LEFT):
        self.move(x, y)
        self.command(f"button {button} 1")
        time.sleep(0.05)
        self.command(f"button {button} 0")

    def type_text(self, text):
        for c in text:
            shifted = c.isupper() or c in SHIFTED
            code = KEYS[SHIFTED.get(c, c.lower())]
            if shifted:
                self.command(f"key {KEY_LEFTSHIFT} 1")
            self.command(f"key {code} 1")
            self.command(f"key {code} 0")
            if shifted:
                self.command(f"key {KEY_LEFTSHIFT} 0")
            time.sleep(0.02)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()


def heard(out, frequency, timeout=10):
    return wait_until(lambda: abs(dominant_frequency(recent_samples(out)) - frequency) < 8,
                      timeout=timeout, step=0.2)

def split_blocks(image):
    """Of the 2 x 2 blocks on the device grid that are not one colour, how many there are: none
    where a picture was enlarged from 1x."""
    px = image.load()
    n = 0
    for y in range(0, image.height - 1, 2):
        for x in range(0, image.width - 1, 2):
            a = px[x, y]
            n += px[x + 1, y] != a or px[x, y + 1] != a or px[x + 1, y + 1] != a
    return n


def check_output_scale_two(binary, module, r):
    """On an output of scale 2 the window is drawn at the output's resolution: the 2x art
    where nothing moves, the clock and the scrolling line at device pixels."""
    from PIL import Image
    from imaging import mean_difference, region, skin
    top = tempfile.mkdtemp(prefix="volnar-wayland2-")
    runtime = os.path.join(top, "runtime")
    os.makedirs(runtime, mode=0o700)
    weston = player = None
    try:
        weston = Weston(module, runtime, scale=2)
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY=weston.socket_name,
                   QT_QPA_PLATFORM="wayland", XDG_CONFIG_HOME=os.path.join(top, "config"),
                   XDG_STATE_HOME=os.path.join(top, "state"), SDL_AUDIODRIVER="dummy")
        env.pop("DISPLAY", None)
        player = subprocess.Popen([os.path.abspath(binary)], cwd=top, env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        r.check(wait_until(lambda: weston.window("Плеер") is not None, timeout=20),
                f"scale 2: main window mapped: {weston.views()}")
        view = weston.window("Плеер")
        if view is None:
            return
        _, x, y, w, h = view
        r.check((w, h) == (600, 400), f"scale 2: the window is 600 x 400 of the output: {view}")
        time.sleep(1.0)
        path = os.path.join(top, "shot.ppm")
        r.check(weston.command("shot " + path).strip() == "ok", "scale 2: output read")
        shot = Image.open(path).convert("RGB")
        shot.save("wayland-scale2.png")
        x, y = 2 * x, 2 * y  # the output's pixels
        art = skin("main_skin@2x.png").convert("RGB")
        for ax, ay, aw, ah in [(280, 424, 24, 40), (300, 400, 600, 80)]:
            d = mean_difference(region(shot, x + ax, y + ay, aw, ah), region(art, ax, ay, aw, ah))
            r.check(d < 1.0, f"scale 2: the 2x skin shown at ({ax}, {ay}): difference {d:.2f}")
        # The compositor always blends: the desktop shows through the backdrop.
        for ax, ay, aw, ah in [(0, 0, 200, 120), (1000, 0, 200, 120)]:
            d = mean_difference(region(shot, x + ax, y + ay, aw, ah), region(art, ax, ay, aw, ah))
            r.check(d > 20, f"scale 2: the desktop through the backdrop at ({ax}, {ay}): {d:.2f}")
        clock = region(shot, x + 240, y + 244, 188, 68)
        strip = region(shot, x + 442, y + 252, 534, 50)
        for name, part in (("clock", clock), ("scrolling line", strip)):
            n = split_blocks(part)
            r.check(n > 100, f"scale 2: {name} at device pixels: {n} split blocks")
    except Exception as error:
        r.check(False, f"scale 2: {type(error).__name__}: {error}")
    finally:
        if player and player.poll() is None:
            player.send_signal(signal.SIGTERM)
            try:
                player.wait(5)
            except subprocess.TimeoutExpired:
                player.kill()
                player.wait()
        if weston:
            weston.stop()
            if r.failed:
                print(weston.read_log())
        shutil.rmtree(top, ignore_errors=True)


def main(binary, module):
    r = Results()
    check_output_scale_two(binary, module, r)
    top = tempfile.mkdtemp(prefix="volnar-wayland-")
    runtime = os.path.join(top, "runtime")
    os.makedirs(runtime, mode=0o700)
    music = os.path.join(top, "music")
    os.makedirs(music)
    make_tone(os.path.join(music, "a tone.mp3"), 440, 30)
    make_tone(os.path.join(music, "b tone.wav"), 990, 30)
    sound = os.path.join(top, "sound.raw")
    state = os.path.join(top, "state")
    weston = player = None
    try:
        weston = Weston(module, runtime)
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY=weston.socket_name,
                   QT_QPA_PLATFORM="wayland", XDG_CONFIG_HOME=os.path.join(top, "config"),
                   XDG_STATE_HOME=state,
                   **disk_env(sound))
        env.pop("DISPLAY", None)  # nothing to fall back to: Wayland or nothing
        player = subprocess.Popen([os.path.abspath(binary), os.path.join(music, "a tone.mp3")],
                                  cwd=top, env=env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE)

        r.check(wait_until(lambda: weston.window("Плеер") is not None, timeout=20),
                f"main window mapped: {weston.views()}")
        main_view = weston.window("Плеер")
        r.check(main_view is not None and main_view[3:] == (600, 400),
                f"main window 600 x 400: {main_view}")
        r.check(heard(sound, 440), "track from the command line heard")
        if main_view is None:
            raise RuntimeError("no main window")

        # Right click on the main window: the mini window alone.
        _, x, y, _, _ = main_view
        weston.click(x + 80, y + 150, BTN_RIGHT)  # on the panel: the backdrop lets it through
        r.check(wait_until(lambda: [v[0] for v in weston.views()] == ["мини"], timeout=10),
                f"right click: the mini window alone: {weston.views()}")
        mini = weston.window("мини")
        r.check(mini is not None and mini[3:] == (225, 52), f"mini window 225 x 52: {mini}")

        # Right click on the mini window: the main window back.
        if mini:
            weston.click(mini[1] + 100, mini[2] + 10, BTN_RIGHT)
        r.check(wait_until(lambda: [v[0] for v in weston.views()] == ["Плеер"], timeout=10),
                f"second right click: the main window back: {weston.views()}")

        # Dragging the panel's background: the compositor moves the window with the pointer.
        main_view = weston.window("Плеер")
        if main_view:
            _, x, y, _, _ = main_view
            weston.move(x + 80, y + 150)  # the panel
            weston.command(f"button {BTN_LEFT} 1")
            for step in range(1, 11):
                weston.move(x + 80 + 4 * step, y + 150 + 3 * step)
            time.sleep(0.3)
            weston.command(f"button {BTN_LEFT} 0")
            wait_until(lambda: weston.window("Плеер")[1:3] != (x, y), timeout=5)
            moved = weston.window("Плеер")
            r.check(moved is not None and (moved[1] - x, moved[2] - y) == (40, 30),
                    f"dragged by (40, 30): from {(x, y)} to {moved[1:3] if moved else None}")

            # The open-file dialog: a window of its own; typing a path picks the track.
            _, x, y, _, _ = moved
            weston.click(x + 373, y + 221)
            dialog = wait_until(lambda: len(weston.views()) > 1, timeout=10)
            r.check(dialog, f"open-file dialog shown: {weston.views()}")
            if dialog:
                time.sleep(1.0)
                weston.type_text(os.path.join(music, "b tone.wav") + "\n")
                r.check(heard(sound, 990), "track picked in the dialog heard")
                r.check(wait_until(lambda: [v[0] for v in weston.views()] == ["Плеер"],
                                   timeout=10), f"dialog closed: {weston.views()}")
        r.check(player.poll() is None, "player still running")

        # The compositor goes away (the session ends): the player ends by itself with a
        # status below 128, not by a signal, and what was changed just before is in the
        # state file. (Qt's Wayland plugin ends the process with _exit(1), so no handler can
        # save at the end: under Wayland every change is saved at once.)
        main_view = weston.window("Плеер")
        if main_view:
            _, x, y, _, _ = main_view
            weston.move(x + 139 + 8 * 5 + 2, y + 100)
            time.sleep(0.3)
            weston.click(x + 139 + 8 * 5 + 2, y + 100)  # volume 60
            time.sleep(0.3)
            weston.click(x + 139 + 8 * 7 + 2, y + 100)  # volume 80
            time.sleep(0.3)
        weston.process.kill()
        weston.process.wait(5)
        ended = wait_until(lambda: player.poll() is not None, timeout=10)
        status = player.returncode if ended else None
        r.check(status is not None and 0 <= status < 128,
                f"the compositor gone, the player ends with a status below 128 ({status})")
        r.check("volume=80" in state_text(state),
                f"the volume clicked before the end is kept: {state_text(state)!r}")
    except Exception as error:  # reported as a failed check, with Weston's view of it
        r.check(False, f"{type(error).__name__}: {error}")
    finally:
        if player and player.poll() is None:
            player.send_signal(signal.SIGTERM)
            try:
                player.wait(5)
            except subprocess.TimeoutExpired:
                player.kill()
                player.wait()
        if weston:
            weston.stop()
            if r.failed:
                print(weston.read_log())
        if player and r.failed:
            print(player.stderr.read().decode(errors="replace")[-2000:])
        shutil.rmtree(top, ignore_errors=True)
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
