"""The two borderless windows: title, size, centring, switching with a right click, and
moving the window by dragging its background."""

import sys
import time

from harness import SCREEN_H, SCREEN_W, PlayerSession, Results, wait_until
from responsiveness import BACKGROUND_SPOT, drag_follows


def main(binary):
    r = Results()
    with PlayerSession(binary) as s:
        main_win = s.wait_window("Плеер")
        x, y, w, h = s.geometry(main_win)
        r.check((w, h) == (600, 400), f"main window client area 600 x 400, got {w} x {h}")
        r.check((x, y) == ((SCREEN_W - 600) // 2, (SCREEN_H - 400) // 2),
                f"main window centred, got ({x}, {y})")
        hints = s.window_property(main_win, "_MOTIF_WM_HINTS")
        fields = [int(v, 16) for v in hints.split("=")[-1].split(",")] if "=" in hints else []
        r.check(len(fields) >= 3 and fields[0] & 2 and fields[2] == 0,
                f"main window asks for no frame or caption: {hints.strip()}")
        r.check(not s.find_windows("мини"), "mini window hidden at start")

        # Right click on the backdrop: mini window shown, main hidden; and back.
        s.click(x + BACKGROUND_SPOT[0], y + BACKGROUND_SPOT[1], button=3)
        mini = s.wait_window("мини")
        s.wait_hidden("Плеер")
        mx, my, mw, mh = s.geometry(mini)
        r.check((mw, mh) == (225, 52), f"mini window 225 x 52, got {mw} x {mh}")
        r.check((mx, my) == ((SCREEN_W - 225) // 2, (SCREEN_H - 52) // 2),
                f"mini window centred, got ({mx}, {my})")
        s.click(mx + 60, my + 45, button=3)
        s.wait_window("Плеер")
        s.wait_hidden("мини")
        r.check(s.geometry(main_win)[:2] == (x, y), "main window back where it was")

        # Drag on the background moves the window by the pointer's distance.
        moved = drag_follows(s, main_win, timeout=5, by=(60, 40))
        r.check(moved, f"drag moved the window by (60, 40): now {s.geometry(main_win)[:2]}")

        # A click without movement leaves it in place.
        nx, ny = s.geometry(main_win)[:2]
        s.click(nx + BACKGROUND_SPOT[0], ny + BACKGROUND_SPOT[1])
        time.sleep(0.3)
        r.check(s.geometry(main_win)[:2] == (nx, ny), "a click does not move the window")
        r.check(s.alive(), "player still running")

        # The cross ends the player, with exit code 0.
        nx, ny = s.geometry(main_win)[:2]
        s.click(nx + 470, ny + 93)
        ended = wait_until(lambda: not s.alive(), timeout=5)
        r.check(ended and s.player.returncode == 0,
                f"the cross ends the player with code 0 (code {s.player.returncode})")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
