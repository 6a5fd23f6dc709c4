"""Where a compositing manager runs, the main window is only the player: the desktop shows
through the backdrop around the panel, and a press there reaches what lies beneath (here the
root window). When the compositing manager stops, the window turns opaque and takes every
press again; a player started without one is opaque from the start."""

import shutil
import signal
import subprocess
import sys
import time

from Xlib import X, Xatom, display as xdisplay

from harness import PlayerSession, Results, wait_until
from imaging import mean_difference, region, skin
from responsiveness import BACKGROUND_SPOT, PANEL_SPOT, drag_follows

WALLPAPER = (32, 160, 64)
BACKDROP_SPOTS = [BACKGROUND_SPOT, (560, 30), (20, 370), (580, 380)]
PANEL_AREA = (140, 212, 12, 20)  # of the panel, nothing drawn over it at run time
REFLECTION_SPOT = (150, 262)  # the faded reflection of the keys' well below the panel


class RootWatch:
    """A client of its own watching the root window for presses and for the compositing
    manager's selection."""

    def __init__(self, name):
        self.d = xdisplay.Display(name)
        self.root = self.d.screen().root
        self.root.change_attributes(event_mask=X.ButtonPressMask)
        self.cm = self.d.intern_atom("_NET_WM_CM_S0")
        self.d.sync()

    def set_wallpaper(self, colour):
        """A root pixmap of one colour, named where compositing managers look for the
        desktop's picture (_XROOTPMAP_ID); this client keeps it while it is connected."""
        screen = self.d.screen()
        pixmap = self.root.create_pixmap(64, 64, screen.root_depth)
        cmap = screen.default_colormap
        pixel = cmap.alloc_color(*(c * 257 for c in colour)).pixel
        gc = pixmap.create_gc(foreground=pixel)
        pixmap.fill_rectangle(gc, 0, 0, 64, 64)
        self.root.change_attributes(background_pixmap=pixmap)
        self.root.clear_area()
        atom = self.d.intern_atom("_XROOTPMAP_ID")
        self.root.change_property(atom, Xatom.PIXMAP, 32, [pixmap.id])
        self.d.sync()

    def composited(self):
        return self.d.get_selection_owner(self.cm) != X.NONE

    def presses(self):
        self.d.sync()
        seen = 0
        while self.d.pending_events():
            if self.d.next_event().type == X.ButtonPress:
                seen += 1
        return seen


def colour_near(image, x, y, colour, tolerance=6):
    pixel = image.getpixel((x, y))
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour)), pixel


def start_compositor(s):
    return subprocess.Popen(["picom", "--config", "/dev/null", "--backend", "xrender",
                             "--no-vsync"], env=s.env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def press_and_move(s, x, y):
    s.move(x, y)
    s.press()
    s.move(x + 40, y + 30)
    s.release()


def main(binary):
    r = Results()
    opaque = skin("main_skin.png").convert("RGB")
    s = PlayerSession(binary)
    s.start_xvfb()
    compositor = None
    try:
        watch = RootWatch(s.env["DISPLAY"])
        watch.set_wallpaper(WALLPAPER)
        compositor = start_compositor(s)
        r.check(wait_until(watch.composited, timeout=10), "the compositing manager runs")
        s.start_player()
        win = s.wait_window("Плеер")
        x0, y0, _, _ = s.geometry(win)
        time.sleep(0.5)
        shot = s.screenshot()
        shot.save("see-through.png")
        for (x, y) in BACKDROP_SPOTS:
            ok, pixel = colour_near(shot, x0 + x, y0 + y, WALLPAPER)
            r.check(ok, f"the desktop shows through the backdrop at ({x}, {y}): {pixel}")
        px, py, pw, ph = PANEL_AREA
        d = mean_difference(region(shot, x0 + px, y0 + py, pw, ph), region(opaque, px, py, pw, ph))
        r.check(d < 1.0, f"the panel as painted: difference {d:.2f}")
        rx, ry = REFLECTION_SPOT
        shown = shot.getpixel((x0 + rx, y0 + ry))
        r.check(shown != WALLPAPER and shown[1] > shown[0] + 20,
                f"the reflection fades into the desktop: {shown}")

        # A press on the backdrop reaches the root window and does not drag the player.
        watch.presses()
        press_and_move(s, x0 + BACKGROUND_SPOT[0], y0 + BACKGROUND_SPOT[1])
        time.sleep(0.3)
        r.check(watch.presses() == 1, "a press on the backdrop reaches the root window")
        r.check(s.geometry(win)[:2] == (x0, y0), "a press on the backdrop moves nothing")
        # The panel takes the pointer: dragged by it, the window follows.
        r.check(drag_follows(s, win, at=PANEL_SPOT), "the window follows a drag of its panel")
        r.check(watch.presses() == 0, "a press on the panel stays the player's")
        x0, y0, _, _ = s.geometry(win)

        # The compositing manager stops: the backdrop is opaque and takes presses again.
        compositor.terminate()
        compositor.wait(5)
        compositor = None
        r.check(wait_until(lambda: not watch.composited(), timeout=5), "the compositor stopped")
        def backdrop_opaque():
            image = s.screenshot()
            return all(colour_near(image, x0 + x, y0 + y, opaque.getpixel((x, y)), 2)[0]
                       for (x, y) in BACKDROP_SPOTS)
        r.check(wait_until(backdrop_opaque, timeout=5),
                "without a compositor the backdrop is the opaque skin")
        r.check(drag_follows(s, win), "the window follows a drag of its backdrop again")
        r.check(watch.presses() == 0, "a press on the backdrop is the player's again")

        # Started without a compositing manager: a window like before, opaque.
        s.player.send_signal(signal.SIGTERM)
        s.player.wait(10)
        s.start_player()
        win = s.wait_window("Плеер")
        x0, y0, _, _ = s.geometry(win)
        depth = subprocess.run(["xwininfo", "-id", str(win)], env=s.env, capture_output=True,
                               text=True).stdout
        r.check("Depth: 24" in depth, "started without a compositor, the window has no alpha")
        time.sleep(0.3)
        r.check(backdrop_opaque(), "started without a compositor, the backdrop is opaque")
        r.check(drag_follows(s, win), "and is dragged by its backdrop")
    finally:
        if compositor:
            compositor.terminate()
            compositor.wait(5)
        s.stop()
        shutil.rmtree(s.tmp, ignore_errors=True)
    return r.finish()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
