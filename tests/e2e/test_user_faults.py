"""What a careful user meets first, with the real player under Xvfb: closing the mini window
ends the player; cancelling the file dialog changes nothing; a file picked far down a large
folder plays; both windows show the same volume; the window a right click shows gets the
keyboard and comes to the front."""

import os
import subprocess
import sys
import time
import wave

import numpy

from harness import PlayerSession, Results, wait_until, _run
from imaging import mean_difference, over, region, skin
from sound import disk_env, dominant_frequency, make_tone, recent_samples

BACKGROUND_SPOT = (40, 40)
OPEN_BUTTON = (373, 221)
TRACK_PANEL_BUTTON = (476, 216)
MINI_BACKGROUND_SPOT = (60, 45)
ROWS = (105, 240, 390, 5 * 14)


def heard(out, frequency, timeout=8):
    return wait_until(lambda: abs(dominant_frequency(recent_samples(out)) - frequency) < 8,
                      timeout=timeout, step=0.2)


def write_wav(path, frequency, seconds, rate=8000):
    t = numpy.arange(int(seconds * rate)) / rate
    samples = (0.5 * 32767 * numpy.sin(2 * numpy.pi * frequency * t)).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(samples.tobytes())


def pick_in_dialog(s, x0, y0, path):
    s.click(x0 + OPEN_BUTTON[0], y0 + OPEN_BUTTON[1])
    time.sleep(1.5)  # the dialog opens with the file name field focused
    s.type_text(path)
    s.key("Return")


def switch_windows(s, window):
    x, y, _, _ = s.geometry(window)
    spot = BACKGROUND_SPOT if s.geometry(window)[2] == 600 else MINI_BACKGROUND_SPOT
    s.click(x + spot[0], y + spot[1], button=3)


def focused_window(s):
    return int(_run(["xdotool", "getwindowfocus"], s.env).strip() or 0)


def stacking(s):
    """Top-level window ids from bottom to top (xwininfo lists them from the top down)."""
    out = _run(["xwininfo", "-root", "-children"], s.env)
    return [int(line.split()[0], 16) for line in out.splitlines()
            if line.strip().startswith("0x")][::-1]


def close_mini_window(r, binary):
    with PlayerSession(binary) as s:
        main_win = s.wait_window("Плеер")
        switch_windows(s, main_win)
        mini = s.wait_window("мини")
        s.wait_hidden("Плеер")
        s.close_request(mini)
        ended = wait_until(lambda: not s.alive(), timeout=5)
        r.check(ended and s.player.returncode == 0,
                f"a close request on the mini window ends the player with code 0 "
                f"(code {s.player.returncode})")


def cancel_keeps_playing(r, binary, work):
    folder = os.path.join(work, "music")
    os.makedirs(folder, exist_ok=True)
    for name, freq in (("a tone.wav", 330), ("b tone.wav", 550)):
        make_tone(os.path.join(folder, name), freq, 40)
    # A track in the folder the player runs in: a cancel that lists that folder would play it.
    make_tone(os.path.join(work, "z other.wav"), 770, 40)
    out = os.path.join(work, "sound.raw")
    with PlayerSession(binary, cwd=work, extra_env=disk_env(out)) as s:
        win = s.wait_window("Плеер")
        x0, y0, _, _ = s.geometry(win)
        pick_in_dialog(s, x0, y0, os.path.join(folder, "b tone.wav"))
        r.check(heard(out, 550), "picked track heard (550 Hz)")
        s.click(x0 + TRACK_PANEL_BUTTON[0], y0 + TRACK_PANEL_BUTTON[1])
        time.sleep(1.2)
        before = region(s.screenshot(), x0 + ROWS[0], y0 + ROWS[1], ROWS[2], ROWS[3])

        s.click(x0 + OPEN_BUTTON[0], y0 + OPEN_BUTTON[1])
        time.sleep(1.5)
        s.key("Escape")
        time.sleep(1.5)
        after = region(s.screenshot(), x0 + ROWS[0], y0 + ROWS[1], ROWS[2], ROWS[3])
        # The selected row's shade may follow the window's focus; another list or another
        # selection differs by far more.
        r.check(mean_difference(before, after) < 3.0,
                f"list and selection unchanged after a cancel "
                f"(difference {mean_difference(before, after):.2f})")
        kept = True
        for _ in range(3):
            time.sleep(0.8)
            kept &= abs(dominant_frequency(recent_samples(out)) - 550) < 8
        r.check(kept, "the same track keeps playing after a cancel (550 Hz)")
        r.check(s.alive(), "player still running")


def far_pick_plays(r, binary, work):
    folder = os.path.join(work, "many")
    os.makedirs(folder, exist_ok=True)
    for i in range(1200):
        name = os.path.join(folder, "t%04d.wav" % i)
        if i == 1099:
            write_wav(name, 660, 30)
        else:
            write_wav(name, 220, 0.05)
    out = os.path.join(work, "sound-many.raw")
    with PlayerSession(binary, cwd=work, extra_env=disk_env(out)) as s:
        win = s.wait_window("Плеер")
        x0, y0, _, _ = s.geometry(win)
        pick_in_dialog(s, x0, y0, os.path.join(folder, "t1099.wav"))
        r.check(heard(out, 660, timeout=10),
                "the 1,100th file of a folder of 1,200, picked, plays (660 Hz)")


def dots_shown(shot, x0, y0, last_lit):
    main_skin = skin("main_skin.png").convert("RGB")
    dot = skin("volume_dot_lit.png")
    for n in range(401, 411):
        dx = 139 + 8 * (n - 401)
        expected = over(main_skin, dot, dx, 98) if n <= last_lit else region(main_skin, dx, 98,
                                                                             5, 5)
        if mean_difference(region(shot, x0 + dx, y0 + 98, 5, 5), expected) >= 2.0:
            return False
    return True


def volume_and_activation(r, binary):
    with PlayerSession(binary) as s:
        main_win = s.wait_window("Плеер")
        x0, y0, _, _ = s.geometry(main_win)
        # A window of another program over the middle of the screen, where the mini window
        # appears, but not over the spot the right click uses.
        cover = subprocess.Popen(["xev", "-geometry", "400x200+312+284", "-name", "cover"],
                                 env=s.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            cover_win = s.wait_window("cover")
            time.sleep(0.3)
            switch_windows(s, main_win)
            mini = s.wait_window("мини")
            s.wait_hidden("Плеер")
            mx, my, _, _ = s.geometry(mini)
            r.check(wait_until(lambda: focused_window(s) == mini, timeout=3),
                    f"the mini window has the keyboard focus (focus {focused_window(s):#x})")
            order = stacking(s)
            r.check(mini in order and order.index(mini) > order.index(cover_win),
                    "the mini window is in front of the other program's window")
            time.sleep(0.3)
            label_at_50 = region(s.screenshot(), mx + 207, my + 35, 15, 10)

            # Back to the main window: it has the focus and is in front too.
            switch_windows(s, mini)
            s.wait_window("Плеер")
            s.wait_hidden("мини")
            r.check(wait_until(lambda: focused_window(s) == main_win, timeout=3),
                    "the main window has the keyboard focus again")
            order = stacking(s)
            r.check(order.index(main_win) > order.index(cover_win),
                    "the main window is in front of the other program's window")
        finally:
            cover.terminate()
            cover.wait(5)

        # A volume dot of the main window (80 %): the mini window's number says 80, as a
        # click at 80 % of its own bar would make it.
        s.click(x0 + 139 + 8 * 7 + 2, y0 + 100)
        time.sleep(0.3)
        switch_windows(s, main_win)
        s.wait_window("мини")
        time.sleep(0.5)
        after_dot = region(s.screenshot(), mx + 207, my + 35, 15, 10)
        s.click(mx + 100 + 80, my + 41)
        time.sleep(0.5)
        after_bar = region(s.screenshot(), mx + 207, my + 35, 15, 10)
        r.check(mean_difference(after_dot, label_at_50) > 1.0,
                "the mini window's number changed with the volume dot")
        r.check(mean_difference(after_dot, after_bar) < 0.5,
                f"after the dot it shows what 80 % on its own bar shows "
                f"(difference {mean_difference(after_dot, after_bar):.2f})")

        # The mini bar at 30 %: back in the main window three dots are lit.
        s.click(mx + 100 + 30, my + 41)
        time.sleep(0.3)
        switch_windows(s, s.wait_window("мини"))
        s.wait_window("Плеер")
        time.sleep(0.5)
        r.check(dots_shown(s.screenshot(), x0, y0, 403),
                "after 30 % on the mini bar the main window lights three dots")


def main(binary):
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-user-faults"))
    os.makedirs(work, exist_ok=True)
    close_mini_window(r, binary)
    volume_and_activation(r, binary)
    cancel_keeps_playing(r, binary, work)
    far_pick_plays(r, binary, work)
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
