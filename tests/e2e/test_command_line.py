"""The command line of the real binary. Printing and failing: exit codes, one line on
standard error, no window (there is no display to open one on). Under Xvfb: several files
(the first one's folder listed, the first one heard), a folder (listed, first track
selected, nothing heard until play), a station address of a real Icecast server (heard, the
address shown as the title), a named station file read instead of the current folder's."""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, wait_until
from icecast_server import IcecastServer
from imaging import count_foreground, count_pixels, region
from sound import disk_env, dominant_frequency, loudness, make_tone, recent_samples

ROW_HEIGHT = 14


def heard(out, frequency, timeout=10):
    return wait_until(lambda: abs(dominant_frequency(recent_samples(out)) - frequency) < 8,
                      timeout=timeout, step=0.2)


def listed_rows(s, x0, y0):
    shot = s.screenshot()
    rows = [count_foreground(region(shot, x0 + 105, y0 + 240 + i * ROW_HEIGHT, 390, ROW_HEIGHT))
            for i in range(10)]
    return sum(n > 10 for n in rows), rows


def printing_and_failing(r, binary, work):
    # No display of any kind: a window could not open, so answers come before any would.
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}

    def run(*args):
        return subprocess.run([binary, *args], cwd=work, env=env, capture_output=True,
                              text=True, timeout=30)

    for args in (["--help"], ["-h"], ["--version"], ["-V"], ["missing.mp3", "--help"]):
        out = run(*args)
        r.check(out.returncode == 0 and out.stdout and not out.stderr,
                f"{args}: exit {out.returncode}, printed {len(out.stdout)} bytes")
    r.check(run("--version").stdout.startswith("volnar "), "version line")
    r.check("--version" in run("--help").stdout, "help names the options")

    for args in (["missing.mp3"], ["--bogus"], ["ftp://127.0.0.1/a.mp3"],
                 ["rtsp://127.0.0.1/x"], ["tracks", "nothing/here.wav"]):
        out = run(*args)
        lines = out.stderr.splitlines()
        r.check(out.returncode == 2 and len(lines) == 1 and lines[0].startswith("volnar: ")
                and not out.stdout,
                f"{args}: exit {out.returncode}, stderr {out.stderr!r}")


def main(binary):
    r = Results()
    binary = os.path.abspath(binary)
    with tempfile.TemporaryDirectory(prefix="volnar-cmdline-") as work, \
            IcecastServer(title="Command line", frequency=880) as radio:
        tracks = os.path.join(work, "tracks")
        os.makedirs(tracks)
        for name, freq in (("a.mp3", 330), ("b.wav", 550), ("c.mp3", 770)):
            make_tone(os.path.join(tracks, name), freq, 30)
        # The current folder's list has one station; the named one has three.
        with open(os.path.join(work, "radio.pls"), "wb") as f:
            f.write("[Всё подряд]\nFile1=http://127.0.0.1:9/one\nTitle1=Одна\n".encode())
        named = os.path.join(work, "other.pls")
        with open(named, "wb") as f:
            f.write("[Всё подряд]\r\n".encode("cp1251") + b"".join(
                f"File{n}=http://127.0.0.1:9/{n}\r\nTitle{n}=Станция {n}\r\n".encode("cp1251")
                for n in (1, 2, 3)))

        printing_and_failing(r, binary, work)

        sound = os.path.join(work, "sound.raw")

        # Several files: the first one's folder, the first one plays; a named station file.
        with PlayerSession(binary, cwd=work, extra_env=disk_env(sound),
                           args=["tracks/b.wav", "tracks/c.mp3", "other.pls"]) as s:
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)
            r.check(heard(sound, 550), "first file of several heard (550 Hz)")
            s.click_panel_button(x0, y0, 476, 216)  # PL: the track panel
            count, rows = listed_rows(s, x0, y0)
            r.check(count == 3, f"its folder's three tracks listed: {rows}")
            s.click_panel_button(x0, y0, 116, 220)  # FM: the station panel
            count, rows = listed_rows(s, x0, y0)
            r.check(count == 3, f"the named station file's three stations listed: {rows}")

        # A folder: listed, its first track selected, nothing plays until the play button.
        os.remove(sound)
        with PlayerSession(binary, cwd=work, extra_env=disk_env(sound), args=[tracks]) as s:
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)
            time.sleep(2.0)
            r.check(loudness(recent_samples(sound, 1.0)) < 1e-3, "folder: nothing heard")
            s.click_panel_button(x0, y0, 476, 216)
            count, rows = listed_rows(s, x0, y0)
            r.check(count == 3, f"folder's three tracks listed: {rows}")
            s.click(x0 + 306, y0 + 222)  # play: the selected first track
            r.check(heard(sound, 330), "play button plays the selected first track (330 Hz)")

        # A station address: heard; the address stands where the station's title would.
        os.remove(sound)
        with PlayerSession(binary, cwd=work, extra_env=disk_env(sound), args=[radio.url]) as s:
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)
            r.check(heard(sound, 880, timeout=15), "station address heard (880 Hz)")
            info = region(s.screenshot(), x0 + 230, y0 + 115, 250, 10)
            r.check(count_pixels(info, (204, 205, 211), 50) > 15,
                    "address shown in the information line")
            r.check(s.alive(), "player still running")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
