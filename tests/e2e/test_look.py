"""The look of both windows as a user sees it: the skin, the lit volume dots, the mini
window's volume number, the clock, a hovered button and the list panels."""

import datetime
import sys
import time

from harness import PlayerSession, Results, wait_until
from imaging import best_text_match, count_pixels, mean_difference, over, region, skin

# Parts of the main skin that nothing draws over at run time.
STILL_AREAS = [(0, 0, 100, 80), (500, 0, 100, 80), (0, 300, 100, 100), (140, 212, 12, 20)]


def main(binary):
    r = Results()
    main_skin = skin("main_skin.png").convert("RGB")
    with PlayerSession(binary) as s:
        win = s.wait_window("Плеер")
        x0, y0, _, _ = s.geometry(win)
        time.sleep(0.5)
        shot = s.screenshot()
        for (x, y, w, h) in STILL_AREAS:
            d = mean_difference(region(shot, x0 + x, y0 + y, w, h), region(main_skin, x, y, w, h))
            r.check(d < 1.0, f"skin shown at ({x}, {y}) {w}x{h}: difference {d:.2f}")

        dot = skin("volume_dot_lit.png")
        for n in range(401, 411):
            dx = 139 + 8 * (n - 401)
            lit = over(main_skin, dot, dx, 98)
            shown = region(shot, x0 + dx, y0 + 98, 5, 5)
            expected = lit if n <= 405 else region(main_skin, dx, 98, 5, 5)
            d = mean_difference(shown, expected)
            r.check(d < 2.0, f"volume dot {n} {'lit' if n <= 405 else 'dark'}: difference {d:.2f}")

        # The clock: the local time in the seven-segment face, and a new one a second later.
        box = skin("clock_box.png").convert("RGB")
        def clock_matches(image):
            shown = region(image, x0 + 107, y0 + 114, 111, 50)
            now = datetime.datetime.now()
            def score(moment):
                return best_text_match(shown, box, moment.strftime("%H:%M:%S"), "digital7.ttf",
                                       27, 21, 16, (204, 205, 211), bold=True)
            near = {delta: score(now + datetime.timedelta(seconds=delta)) for delta in (-2, -1, 0, 1)}
            best = min(near, key=near.get)
            wrong = score(now + datetime.timedelta(hours=5, minutes=22, seconds=33))
            return (now + datetime.timedelta(seconds=best)).strftime("%H:%M:%S"), near[best], wrong
        first = s.screenshot()
        best, score, wrong = clock_matches(first)
        r.check(score < wrong * 0.6, f"clock shows the local time {best}: {score:.2f} vs {wrong:.2f}")
        time.sleep(1.1)
        second = s.screenshot()
        changed = mean_difference(region(first, x0 + 107, y0 + 114, 111, 50),
                                  region(second, x0 + 107, y0 + 114, 111, 50))
        r.check(changed > 0.05, f"clock changed within a second ({changed:.2f})")

        # Hovering the play button lights it; moving away clears it.
        play_lit = over(main_skin, skin("play_lit.png"), 291, 209)
        play_dark = region(main_skin, 291, 209, 30, 27)
        s.move(x0 + 305, y0 + 222)
        lit_ok = wait_until(lambda: mean_difference(
            region(s.screenshot(), x0 + 291, y0 + 209, 30, 27), play_lit) < 2.0, timeout=3)
        r.check(lit_ok, "play button lit under the pointer")
        s.move(x0 + 40, y0 + 40)
        dark_ok = wait_until(lambda: mean_difference(
            region(s.screenshot(), x0 + 291, y0 + 209, 30, 27), play_dark) < 1.0, timeout=3)
        r.check(dark_ok, "play button unlit once the pointer left")

        # The panel buttons slide the dark list open and closed.
        panel = (105, 240, 390, 150)
        def panel_dark(image):
            return count_pixels(region(image, x0 + panel[0], y0 + panel[1], panel[2], panel[3]),
                                (21, 24, 29), 4) > 0.8 * panel[2] * panel[3]
        s.click(x0 + 476, y0 + 216)  # PL
        r.check(wait_until(lambda: panel_dark(s.screenshot()), timeout=4), "track panel opened")
        s.click(x0 + 476, y0 + 216)
        closed = wait_until(lambda: mean_difference(
            region(s.screenshot(), x0 + 105, y0 + 240, 390, 150),
            region(main_skin, 105, 240, 390, 150)) < 1.0, timeout=4)
        r.check(closed, "track panel closed again")
        s.click(x0 + 116, y0 + 220)  # FM
        r.check(wait_until(lambda: panel_dark(s.screenshot()), timeout=4), "station panel opened")
        time.sleep(0.5)  # input made during a slide is dropped

        # The mini window: its skin and the volume number "50".
        s.click(x0 + 40, y0 + 40, button=3)
        mini = s.wait_window("мини")
        mx, my, _, _ = s.geometry(mini)
        time.sleep(0.4)
        shot = s.screenshot()
        mini_skin = skin("mini_skin.png").convert("RGB")
        for (x, y, w, h) in [(0, 0, 90, 12), (0, 30, 95, 22)]:
            d = mean_difference(region(shot, mx + x, my + y, w, h), region(mini_skin, x, y, w, h))
            r.check(d < 1.0, f"mini skin shown at ({x}, {y}): difference {d:.2f}")
        label = region(shot, mx + 207, my + 35, 15, 10)
        r.check(count_pixels(label, (24, 24, 24), 3) > 40, "volume number on its dark field")
        r.check(count_pixels(label, (158, 157, 132), 40) >= 6, "volume number drawn")
        r.check(s.alive(), "player still running")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
