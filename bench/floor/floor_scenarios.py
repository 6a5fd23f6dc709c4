#!/usr/bin/python3
"""The CPU floor under the player's figures: a program with nothing of the player, showing a
600 x 400 window and ticking every 35 ms, measured under Xvfb exactly as
bench/process_scenarios.py measures the player (the scheduler's nanosecond counts of every
thread, after the program settled; medians of interleaved rounds):

    bench/floor/floor_scenarios.py build/bench/floor/timer_floor --rounds 3 --seconds 20

  timer       the timer alone, in Qt's event loop as the player runs it
  x-scroll    and on each tick the two X11 requests that move the scrolling line, sent
              straight to the X server
  bare        the timer with no toolkit (xcb, a timerfd and poll): the kernel's share
  bare-scroll and the two requests, with no toolkit

What the player spends above these is its own; what they cost, no program with a 35 ms
refresh pays less for on this machine.
"""

import argparse
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))

from harness import PlayerSession  # noqa: E402
from process_scenarios import measure  # noqa: E402

MODES = ("timer", "x-scroll", "bare", "bare-scroll")


class FloorSession(PlayerSession):
    def start_player(self, wait_title="floor"):
        super().start_player(wait_title=wait_title)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()

    rounds = {m: [] for m in MODES}
    for n in range(args.rounds):
        for mode in MODES:
            with FloorSession(args.binary, args=[mode]) as s:
                time.sleep(3.0)
                (program, xserver), wake = measure([s.player.pid, s.xvfb.pid], args.seconds)
                if not s.alive():
                    raise RuntimeError(f"{mode}: the program died")
            rounds[mode].append((program, xserver, sum(wake.values())))
            print(f"round {n + 1} {mode}: program {program:.2f} %, X server {xserver:.2f} %",
                  flush=True)

    print()
    print(f"medians of {args.rounds} rounds, {args.seconds:.0f} s windows, % of one core")
    print(f"{'':12s}{'program':>10s}{'X server':>10s}{'wake-ups/s':>12s}")
    for mode in MODES:
        cells = [statistics.median(r[i] for r in rounds[mode]) for i in range(3)]
        print(f"{mode:12s}{cells[0]:10.2f}{cells[1]:10.2f}{cells[2]:12.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
