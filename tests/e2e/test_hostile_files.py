"""Files that look like music and are not, end to end: a terabyte of zeros named .mp3 (a
preallocated download) given on the command line, and a track whose sound ends while its
file goes on as gigabytes of zeros. The window comes at once and stays responsive, the
player ends on SIGTERM, and once the sound has ended the player idles. The big files are
sparse: they take no disk space."""

import os
import signal
import sys
import time

from harness import PlayerSession, Results, wait_until
from sound import make_tone

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def main(binary):
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-hostile-files"))
    zeros = os.path.join(work, "zeros")
    music = os.path.join(work, "music")
    os.makedirs(zeros, exist_ok=True)
    os.makedirs(music, exist_ok=True)
    terabyte = os.path.join(zeros, "download.mp3")
    with open(terabyte, "wb") as f:
        f.truncate(1 << 40)
    tone = os.path.join(music, "a tone.mp3")
    if not os.path.exists(tone):
        make_tone(tone, 440, 2)
    endless = os.path.join(music, "b endless.mp3")
    with open(tone, "rb") as src, open(endless, "wb") as f:
        f.write(src.read())
        f.truncate(5 << 30)

    with PlayerSession(binary, cwd=work, args=[terabyte]) as s:
        win = s.wait_window("Плеер")
        x0, y0, _, _ = s.geometry(win)
        r.check(s.answers(x0, y0), "a terabyte of zeros given: the window answers at once")
        s.player.send_signal(signal.SIGTERM)
        r.check(wait_until(lambda: not s.alive(), timeout=5) and s.player.returncode == 0,
                "SIGTERM ends it with 0")

    # The first track plays 2 s, then auto-advance takes the endless one: its sound ends
    # after 2 s more, and the player idles although the file goes on for 5 GB.
    with PlayerSession(binary, cwd=work, args=[tone]) as s:
        time.sleep(6)
        before = cpu_seconds(s.player.pid)
        time.sleep(2)
        used = cpu_seconds(s.player.pid) - before
        r.check(used < 0.5, f"after the sound of a 5 GB file, the player idles ({used:.2f} s "
                            "of CPU in 2 s)")
        with open(f"/proc/{s.player.pid}/status") as f:
            resident = next(int(l.split()[1]) for l in f if l.startswith("VmRSS")) // 1024
        r.check(resident < 250, f"and holds {resident} MB")
        r.check(s.alive(), "the player runs on")
    os.remove(terabyte)
    os.remove(endless)
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
