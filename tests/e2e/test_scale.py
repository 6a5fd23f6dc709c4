"""Both windows at Qt's scale factor 2 on an X server: every picture at the screen's
resolution. The skin is the 2x art pixel for pixel where nothing moves, a lit button the 2x
lit image over it; the clock, the scrolling line and the list text are drawn at device pixels,
not enlarged from 1x (an enlarged picture is made of 2 x 2 blocks of one colour). A window's
place is remembered in the windows' own pixels and comes back the same at scales 2 and 1."""

import shutil
import sys
import tempfile
import time

from harness import PlayerSession, Results, state_text, wait_until
from imaging import mean_difference, over, region, skin

K = 2
STILL_AREAS = [(0, 0, 100, 80), (500, 0, 100, 80), (0, 300, 100, 100), (140, 212, 12, 20),
               (150, 200, 300, 40)]


def split_blocks(image):
    """Of the 2 x 2 blocks on the device grid that are not one colour, how many there are."""
    px = image.load()
    n = 0
    for y in range(0, image.height - 1, 2):
        for x in range(0, image.width - 1, 2):
            a = px[x, y]
            if px[x + 1, y] != a or px[x, y + 1] != a or px[x + 1, y + 1] != a:
                n += 1
    return n


def at(x, y, w, h):
    return x * K, y * K, w * K, h * K


def main(binary):
    r = Results()
    main_skin = skin("main_skin@2x.png").convert("RGB")
    with PlayerSession(binary, extra_env={"QT_SCALE_FACTOR": str(K)},
                       screen=(1024 * K, 768 * K)) as s:
        win = s.wait_window("Плеер")
        x0, y0, w, h = s.geometry(win)
        r.check((w, h) == (600 * K, 400 * K), f"main window {w}x{h} device pixels")
        time.sleep(0.5)
        shot = s.screenshot()
        shot.save("scale2-main.png")
        for area in STILL_AREAS:
            x, y, aw, ah = at(*area)
            d = mean_difference(region(shot, x0 + x, y0 + y, aw, ah),
                                region(main_skin, x, y, aw, ah))
            r.check(d < 1.0, f"2x skin shown at {area[:2]}: difference {d:.2f}")
        dot = skin("volume_dot_lit@2x.png")
        lit = over(main_skin, dot, 139 * K, 98 * K)
        d = mean_difference(region(shot, x0 + 139 * K, y0 + 98 * K, 5 * K, 5 * K), lit)
        r.check(d < 2.0, f"lit volume dot is the 2x one: difference {d:.2f}")

        # Text drawn at device pixels: many 2 x 2 blocks of the clock and the scrolling line
        # hold more than one colour.
        clock = region(shot, x0 + 120 * K, y0 + 122 * K, 94 * K, 34 * K)
        strip = region(shot, x0 + 221 * K, y0 + 126 * K, 267 * K, 25 * K)
        for name, part in (("clock", clock), ("scrolling line", strip)):
            r.check(split_blocks(part) > 100, f"{name} sharp: {split_blocks(part)} split blocks")

        # A hovered button shows the 2x lit image.
        play_lit = over(main_skin, skin("play_lit@2x.png"), 291 * K, 209 * K)
        s.move(x0 + 305 * K, y0 + 222 * K)
        lit_ok = wait_until(lambda: mean_difference(
            region(s.screenshot(), x0 + 291 * K, y0 + 209 * K, 30 * K, 27 * K), play_lit) < 2.0,
            timeout=3)
        r.check(lit_ok, "play button lit with the 2x art under the pointer")
        s.move(x0 + 40 * K, y0 + 40 * K)

        # The mini window at 2x.
        s.click(x0 + 40 * K, y0 + 40 * K, button=3)
        mini = s.wait_window("мини")
        mx, my, mw, mh = s.geometry(mini)
        r.check((mw, mh) == (225 * K, 52 * K), f"mini window {mw}x{mh} device pixels")
        time.sleep(0.4)
        shot = s.screenshot()
        shot.save("scale2-mini.png")
        mini_skin = skin("mini_skin@2x.png").convert("RGB")
        for area in [(0, 0, 90, 12), (0, 30, 95, 22)]:
            x, y, aw, ah = at(*area)
            d = mean_difference(region(shot, mx + x, my + y, aw, ah),
                                region(mini_skin, x, y, aw, ah))
            r.check(d < 1.0, f"2x mini skin shown at {area[:2]}: difference {d:.2f}")
        strip = region(shot, mx + 12 * K, my + 14 * K, 201 * K, 13 * K)
        r.check(split_blocks(strip) > 50, f"mini line sharp: {split_blocks(strip)} split blocks")
        r.check(s.alive(), "player still running")
    places_across_scales(binary, r)
    r.finish()


def drag_window(s, win, to, k):
    """Drags the main window's background until its corner is at `to` (device pixels)."""
    x0, y0, _, _ = s.geometry(win)
    grab = (x0 + 300 * k, y0 + 60 * k)
    s.move(*grab)
    s.press()
    for i in range(1, 11):
        s.move(grab[0] + (to[0] - x0) * i // 10, grab[1] + (to[1] - y0) * i // 10)
        time.sleep(0.03)
    s.release()
    wait_until(lambda: s.geometry(win)[:2] == to, timeout=3)


def places_across_scales(binary, r):
    """A window place is remembered in the windows' own pixels: moved at scale 2 to the
    screen's (400, 300), it comes back at (200, 150) of a screen at scale 1, the same place
    as the windows count, and at (400, 300) again at scale 2."""
    state = tempfile.mkdtemp(prefix="volnar-scale-state-")
    try:
        seen = []
        for k, move_to in ((2, (400, 300)), (1, None), (2, None)):
            env = {"QT_SCALE_FACTOR": str(k)} if k != 1 else {}
            with PlayerSession(binary, extra_env=env, state_home=state,
                               screen=(2048, 1536)) as s:
                win = s.wait_window("Плеер")
                time.sleep(0.5)
                if move_to:
                    drag_window(s, win, move_to, k)
                x0, y0, _, _ = s.geometry(win)
                seen.append((k, (x0, y0)))
                s.click(x0 + 476 * k, y0 + 94 * k)  # the cross
                wait_until(lambda: not s.alive(), timeout=5)
            if move_to:
                r.check("main_window=200,150" in state_text(state),
                        f"remembered in the windows' pixels: {state_text(state)!r}")
        r.check(seen == [(2, (400, 300)), (1, (200, 150)), (2, (400, 300))],
                f"the place comes back the same at scales 2, 1, 2: {seen}")
    finally:
        shutil.rmtree(state, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1])
