"""Station files with titles no screen can show stay harmless: after the station panel opens
the clock keeps running, the window can be dragged and the resident memory stays small, for a
title of 10 MB, fifty titles of 100 KB and one letter under 50,000 accents; a double click on
such a station puts its title in the information line without stopping the window."""

import os
import shutil
import sys
import time

from harness import PlayerSession, Results
from imaging import count_pixels, region
from responsiveness import clock_runs, drag_follows

ROW_HEIGHT = 14
MAX_RESIDENT_KB = 150 * 1024


def station_file(titles):
    lines = ["[Всё подряд]"]
    for n, title in enumerate(titles, 1):
        # Port 9 on loopback: nothing listens there, so the station fails at once.
        lines += [f"File{n}=http://127.0.0.1:9/{n}", f"Title{n}={title}"]
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


CASES = [
    ("a title of 10 MB", ["Длинное название " * 40 + "x" * (10 * 1024 * 1024)]),
    ("50 titles of 100 KB", [f"{n} " + "Станция " * 6400 for n in range(50)]),
    ("a letter with 50,000 accents", ["e" + "\u0301" * 50000, "Обычная"]),
]


def resident_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


def main(binary):
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-long-titles"))
    for name, titles in CASES:
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        with open(os.path.join(work, "radio.pls"), "wb") as f:
            f.write(station_file(titles))
        with PlayerSession(binary, cwd=work) as s:
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)
            time.sleep(0.5)
            s.click(x0 + 116, y0 + 220)  # FM
            r.check(clock_runs(s, win), f"{name}: clock runs right after the FM click")
            time.sleep(0.5)  # the slide ends; input made during it is dropped
            rss = resident_kb(s.player.pid)
            r.check(0 < rss < MAX_RESIDENT_KB, f"{name}: resident memory {rss // 1024} MB")
            shot = s.screenshot()
            first_row = region(shot, x0 + 105, y0 + 240, 390, ROW_HEIGHT)
            r.check(count_pixels(first_row, (21, 24, 29), 4) < 390 * ROW_HEIGHT - 20,
                    f"{name}: the first station's title shown in the list")
            r.check(drag_follows(s, win, timeout=1.5), f"{name}: window dragged with the panel open")

            x0, y0, _, _ = s.geometry(win)
            s.click(x0 + 105 + 40, y0 + 240 + ROW_HEIGHT // 2, repeat=2)
            r.check(clock_runs(s, win), f"{name}: clock runs after the double click")
            info = region(s.screenshot(), x0 + 230, y0 + 115, 250, 10)
            r.check(count_pixels(info, (204, 205, 211), 50) > 15,
                    f"{name}: the title shown in the information line")
            r.check(drag_follows(s, win, timeout=1.5), f"{name}: window dragged after the double click")
            r.check(s.alive(), f"{name}: player still running")
    shutil.rmtree(work, ignore_errors=True)
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
