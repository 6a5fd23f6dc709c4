#!/usr/bin/python3
"""The whole player process under Xvfb: CPU while playing a 192 kbit/s MP3 with the main window
shown, CPU with nothing playing, and resident memory while playing (after one minute and,
with --long, after ten).

Usage: bench/process_bench.py BUILD/volnar [--seconds 30] [--long]
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from harness import PlayerSession  # noqa: E402
from sound import make_tone  # noqa: E402

def cpu_seconds(pid):
    """CPU time of every thread of the process, from the scheduler's nanosecond counts (the
    clock-tick counts of /proc/PID/stat are too coarse for a process that uses 1 %)."""
    total = 0
    task_dir = f"/proc/{pid}/task"
    for task in os.listdir(task_dir):
        try:
            with open(f"{task_dir}/{task}/schedstat") as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that ended meanwhile
    return total / 1e9


def resident_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return -1.0


def cpu_share(pid, seconds):
    """Percent of one core used over `seconds` of wall time."""
    start_cpu, start = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    return 100.0 * (cpu_seconds(pid) - start_cpu) / (time.monotonic() - start)


def open_track(s, path):
    x0, y0, _, _ = s.geometry(s.wait_window("Плеер"))
    s.click(x0 + 373, y0 + 221)
    time.sleep(1.5)
    s.type_text(path)
    s.key("Return")
    time.sleep(1.0)
    s.move(x0 + 40, y0 + 40)  # off the buttons, as a listening user leaves it


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--long", action="store_true", help="also measure memory at 10 minutes")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="volnar-bench-")
    track = os.path.join(work, "music.mp3")
    minutes = 11 if args.long else 2
    make_tone(track, 220, minutes * 60, extra=("-b:a", "192k"))

    with PlayerSession(args.binary, cwd=work) as s:
        pid = s.player.pid
        time.sleep(2.0)
        idle = cpu_share(pid, args.seconds)
        print(f"idle, main window shown: {idle:.2f} % of one core over {args.seconds:.0f} s")
        print(f"resident memory idle: {resident_mb(pid):.1f} MB")

        open_track(s, track)
        started = time.monotonic()
        time.sleep(2.0)
        playing = cpu_share(pid, args.seconds)
        print(f"playing a 192 kbit/s MP3: {playing:.2f} % of one core over {args.seconds:.0f} s")
        print(f"resident memory playing: {resident_mb(pid):.1f} MB")
        time.sleep(max(0.0, 60 - (time.monotonic() - started)))
        at_one = resident_mb(pid)
        print(f"resident memory after 1 minute of playing: {at_one:.1f} MB")
        if args.long:
            time.sleep(9 * 60)
            at_ten = resident_mb(pid)
            print(f"resident memory after 10 minutes of playing: {at_ten:.1f} MB "
                  f"(growth {at_ten - at_one:+.1f} MB)")
        if not s.alive():
            print("player died")
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
