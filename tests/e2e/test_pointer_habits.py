"""The habits of a desktop player's pointer, through the real player under Xvfb, read as a
desktop panel reads it (playerctl): the wheel over the volume dots and the seek bar, the seek
bar's knob dragged and let go, the clock switched to the track's elapsed and remaining time,
blinking while paused."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, run_inside_private_bus, wait_until
from imaging import mean_difference
from sound import make_tone

SEEK_BAR = (225, 174, 259, 12)
DOTS = (139, 98)             # the first of the ten volume dots, 8 px apart
CLOCK = (107, 114, 111, 50)
LENGTH = 60


def playerctl(s, *args):
    return subprocess.run(["playerctl", "-p", "volnar"] + list(args), env=s.env,
                          capture_output=True, text=True, timeout=10).stdout.strip()


def position(s):
    try:
        return float(playerctl(s, "position"))
    except ValueError:
        return -1.0


def volume(s):
    try:
        return round(float(playerctl(s, "volume")), 2)
    except ValueError:
        return -1.0


def clock(s, x0, y0):
    x, y, w, h = CLOCK
    return s.screenshot().crop((x0 + x, y0 + y, x0 + x + w, y0 + y + h))


def main(binary):
    run_inside_private_bus()
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-pointer"))
    os.makedirs(work, exist_ok=True)
    track = os.path.join(work, "tone.mp3")
    make_tone(track, 440, LENGTH)
    with PlayerSession(binary, cwd=work, args=[track]) as s:
        x0, y0, _, _ = s.geometry(s.wait_window("Плеер"))
        r.check(wait_until(lambda: playerctl(s, "status") == "Playing", timeout=10), "plays")

        # The wheel over the dots: a step a notch, up and down, bounded at full volume.
        start = volume(s)
        s.click(x0 + DOTS[0] + 8 * 4 + 2, y0 + DOTS[1] + 2, button=4, repeat=2)
        r.check(wait_until(lambda: volume(s) == round(start + 0.2, 2), timeout=3),
                f"two notches up: {start} -> {volume(s)}")
        s.click(x0 + DOTS[0] + 2, y0 + DOTS[1] + 2, button=5)
        r.check(wait_until(lambda: volume(s) == round(start + 0.1, 2), timeout=3),
                f"one notch down: {volume(s)}")
        s.click(x0 + DOTS[0] + 2, y0 + DOTS[1] + 2, button=4, repeat=12)
        r.check(wait_until(lambda: volume(s) == 1.0, timeout=3) and volume(s) == 1.0,
                f"more notches than steps stop at full volume: {volume(s)}")

        # The wheel over the seek bar: five seconds a notch.
        bx, by, bw, bh = SEEK_BAR
        before = position(s)
        s.click(x0 + bx + 30, y0 + by + bh // 2, button=4, repeat=2)
        r.check(wait_until(lambda: position(s) >= before + 9.5, timeout=3) and
                position(s) < before + 12,
                f"two notches forward on the seek bar: {before:.1f} -> {position(s):.1f} s")
        before = position(s)
        s.click(x0 + bx + 40, y0 + by + bh // 2, button=5)
        r.check(wait_until(lambda: position(s) <= before - 4, timeout=3),
                f"one notch back: {before:.1f} -> {position(s):.1f} s")

        # The knob dragged to three quarters: nothing is sought while it is held.
        at = position(s)
        since = time.monotonic()
        knob = int(at / LENGTH * bw)
        s.move(x0 + bx + knob + 2, y0 + by + bh // 2)
        s.press()
        for step in range(1, 11):
            s.move(x0 + bx + knob + 2 + (bw * 3 // 4 - knob) * step // 10, y0 + by + bh // 2)
        time.sleep(0.5)
        held = position(s)
        played = time.monotonic() - since  # the moves take longer on a busy machine
        r.check(abs(held - (at + played)) < 1.0,
                f"held: still playing on ({at:.1f} -> {held:.1f} s in {played:.1f} s)")
        s.release()
        target = LENGTH * 0.75
        r.check(wait_until(lambda: abs(position(s) - target) < 1.5, timeout=3),
                f"let go at three quarters: {position(s):.1f} s (want {target:.1f})")

        # The clock: time of day, then the track's elapsed time, then its remaining time.
        day = clock(s, x0, y0)
        s.click(x0 + CLOCK[0] + 50, y0 + CLOCK[1] + 25)
        time.sleep(0.3)
        elapsed = clock(s, x0, y0)
        r.check(mean_difference(day, elapsed) > 1.0, "a click shows the elapsed time")
        s.click(x0 + CLOCK[0] + 60, y0 + CLOCK[1] + 25)
        time.sleep(1.2)  # not a double click
        remaining = clock(s, x0, y0)
        r.check(mean_difference(elapsed, remaining) > 1.0, "a second click the remaining time")
        s.screenshot(os.path.join(work, "remaining.png"))
        playerctl(s, "pause")
        frames = []
        for _ in range(8):
            frames.append(clock(s, x0, y0))
            time.sleep(0.13)
        shown = [mean_difference(frames[0], f) > 1.0 for f in frames]
        r.check(any(shown) and not all(shown), "paused, the digits blink")
        playerctl(s, "play")
        s.click(x0 + CLOCK[0] + 40, y0 + CLOCK[1] + 25)
        time.sleep(1.2)
        r.check(mean_difference(clock(s, x0, y0), day) < 8.0,
                "a third click the time of day again")
        r.check(s.alive(), "the player still runs")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
