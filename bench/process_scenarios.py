#!/usr/bin/python3
"""The whole player process under Xvfb in each everyday situation, against the targets:

  idle, main window shown ............ at most 0.40 % of one core
  playing a 192 kbit/s MP3 ........... at most 0.75 %
  playing a local Icecast MP3 station  at most 0.75 %
  the X server while the MP3 plays ... at most 0.20 %
  both windows minimised, MP3 playing  nothing drawn: the X server gets no requests

CPU is the sum of the scheduler's nanosecond counts of every thread (schedstat) over a
window of --seconds, after the situation settled. Wake-ups are the context switches per
second of each thread (/proc/PID/task/*/status). The MP3 is heard through SDL's dummy
driver (the same null output for every player).

Several binaries are measured interleaved, round after round, so that whatever else the
machine does falls on each alike; the table gives the median of the rounds:

    bench/process_scenarios.py OLD/volnar NEW/volnar --rounds 3 --seconds 20

A binary written PATH@2 runs at Qt's scale factor 2 (QT_SCALE_FACTOR) on a screen large
enough for its windows, clicked at its places there.

A window is minimised the way a window manager does it on a desktop: by unmapping it
(Xvfb runs none).
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))

from harness import PlayerSession, _run  # noqa: E402
from icecast_server import IcecastServer  # noqa: E402
from sound import make_tone  # noqa: E402

TARGETS = {
    "idle": 0.40,
    "mp3": 0.75,
    "station": 0.75,
    "xserver_mp3": 0.20,
}
LABELS = {
    "idle": "idle, main window shown",
    "mp3": "playing a 192 kbit/s MP3",
    "station": "playing a local Icecast station",
    "xserver_mp3": "X server while the MP3 plays",
    "hidden": "MP3 playing, both windows minimised",
    "xserver_hidden": "X server, both windows minimised",
}


def thread_stats(pid):
    """{tid: (name, cpu ns, voluntary + involuntary context switches)}."""
    stats = {}
    task_dir = f"/proc/{pid}/task"
    for task in os.listdir(task_dir):
        try:
            with open(f"{task_dir}/{task}/schedstat") as f:
                ns = int(f.read().split()[0])
            name, switches = "?", 0
            with open(f"{task_dir}/{task}/status") as f:
                for line in f:
                    if line.startswith("Name:"):
                        name = line.split(None, 1)[1].strip()
                    elif "ctxt_switches" in line:
                        switches += int(line.split()[1])
            stats[task] = (name, ns, switches)
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that ended meanwhile
    return stats


def measure(pids, seconds):
    """Percent of one core of each pid over `seconds`, and the wake-ups per second of the
    first pid's threads by name."""
    before = [thread_stats(p) for p in pids]
    start = time.monotonic()
    time.sleep(seconds)
    after = [thread_stats(p) for p in pids]
    wall = time.monotonic() - start
    shares = []
    for b, a in zip(before, after):
        used = sum(a[t][1] - b[t][1] for t in a if t in b) + sum(
            a[t][1] for t in a if t not in b)
        shares.append(100.0 * used / 1e9 / wall)
    wakeups = {}
    for t, (name, _, switches) in after[0].items():
        was = before[0].get(t, (name, 0, 0))[2]
        wakeups[name] = wakeups.get(name, 0.0) + (switches - was) / wall
    return shares, wakeups


def open_track(s, path, k=1):
    x0, y0, _, _ = s.geometry(s.wait_window("Плеер"))
    s.click(x0 + 373 * k, y0 + 221 * k)
    time.sleep(1.5)
    s.type_text(path)
    s.key("Return")
    time.sleep(1.0)
    s.move(x0 + 40 * k, y0 + 40 * k)  # off the buttons, as a listening user leaves it
    return x0, y0


def play_station(s, x0, y0, k=1):
    s.click(x0 + 116 * k, y0 + 220 * k)  # the FM button opens the station panel
    time.sleep(1.5)
    s.click(x0 + (105 + 40) * k, y0 + (240 + 7) * k, repeat=2)
    time.sleep(1.0)
    s.click(x0 + 116 * k, y0 + 220 * k)  # and closes it again: the panel is not measured
    s.move(x0 + 40 * k, y0 + 40 * k)


def binary_and_scale(arg):
    path, _, scale = arg.rpartition("@")
    if path and scale.isdigit():
        return path, int(scale)
    return arg, 1


def one_round(arg, track, radio_url, seconds):
    binary, k = binary_and_scale(arg)
    scaled = {"extra_env": {"QT_SCALE_FACTOR": str(k)}, "screen": (1024 * k, 768 * k)}
    work = tempfile.mkdtemp(prefix="volnar-scenarios-")
    with open(os.path.join(work, "radio.pls"), "wb") as f:
        f.write("[Всё подряд]\r\nFile1={}\r\nTitle1=Тест\r\n".format(radio_url).encode("cp1251"))
    result = {}
    with PlayerSession(binary, cwd=work, **(scaled if k != 1 else {})) as s:
        pid, xpid = s.player.pid, s.xvfb.pid
        time.sleep(3.0)
        (result["idle"],), _ = measure([pid], seconds)

        x0, y0 = open_track(s, track, k)
        time.sleep(3.0)
        (result["mp3"], result["xserver_mp3"]), wake = measure([pid, xpid], seconds)
        result["wakeups_mp3"] = wake

        main = s.wait_window("Плеер")
        _run(["xdotool", "windowunmap", "--sync", str(main)], s.env)
        time.sleep(3.0)
        (result["hidden"], result["xserver_hidden"]), wake = measure([pid, xpid], seconds)
        result["wakeups_hidden"] = wake
        _run(["xdotool", "windowmap", "--sync", str(main)], s.env)
        time.sleep(1.0)

        play_station(s, x0, y0, k)
        time.sleep(4.0)
        (result["station"],), wake = measure([pid], seconds)
        result["wakeups_station"] = wake
        if not s.alive():
            raise RuntimeError(f"{binary}: player died")
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binaries", nargs="+")
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="volnar-scenarios-")
    track = os.path.join(work, "music.mp3")
    make_tone(track, 220, 10 * 60, extra=("-b:a", "192k"))

    rounds = {b: [] for b in args.binaries}
    with IcecastServer(title="Станция", frequency=220) as radio:
        for n in range(args.rounds):
            for binary in args.binaries:
                r = one_round(binary, track, radio.url, args.seconds)
                rounds[binary].append(r)
                print(f"round {n + 1} {binary}: " +
                      ", ".join(f"{k} {r[k]:.2f} %" for k in LABELS), flush=True)

    print()
    print(f"medians of {args.rounds} rounds, {args.seconds:.0f} s windows, % of one core")
    names = [f"[{i + 1}]" for i in range(len(args.binaries))]
    for i, b in enumerate(args.binaries):
        print(f"{names[i]} {b}")
    print(f"{'':40s}" + "".join(f"{n:>10s}" for n in names) + "    target")
    for key, label in LABELS.items():
        cells = [statistics.median(r[key] for r in rounds[b]) for b in args.binaries]
        target = TARGETS.get(key)
        verdict = ""
        if target is not None:
            verdict = f"  <= {target:.2f}: " + ("met" if cells[-1] <= target else "MISSED")
        print(f"{label:40s}" + "".join(f"{c:10.2f}" for c in cells) + verdict)
    for scenario in ("mp3", "station", "hidden"):
        print(f"\nwake-ups per second by thread, {scenario} (median)")
        threads = sorted({t for b in args.binaries for r in rounds[b]
                          for t in r["wakeups_" + scenario]})
        for t in threads:
            cells = [statistics.median(r["wakeups_" + scenario].get(t, 0.0) for r in rounds[b])
                     for b in args.binaries]
            print(f"  {t:38s}" + "".join(f"{c:10.1f}" for c in cells))
    return 0


if __name__ == "__main__":
    sys.exit(main())
