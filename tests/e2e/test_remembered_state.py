"""The player remembers: volume 80, a picked track, the station panel open and the window
moved, then closed with the cross (or killed with SIGKILL ten seconds after the changes, or
ended by the desktop session with SIGTERM); the next start shows all of it again and plays
nothing."""

import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, run_inside_private_bus, wait_until
from imaging import mean_difference, region
from sound import make_tone

TRACKS = ["a tone.mp3", "b tone.mp3", "c tone.mp3"]
DOTS = (139, 98, 8 * 9 + 5, 5)
PANEL = (105, 240, 390, 150)
MOVE_BY = (-160, -110)


def playerctl(s, *args):
    out = subprocess.run(["playerctl", "-p", "volnar"] + list(args), env=s.env,
                         capture_output=True, text=True, timeout=10)
    return out.stdout.strip()


def part(s, x0, y0, box):
    return region(s.screenshot(), x0 + box[0], y0 + box[1], box[2], box[3])


def same(a, b):
    return mean_difference(a, b) < 1.0


def make_changes(s, r, folder):
    """Volume 80, a track picked in the dialog, the station panel open, the window moved.
    Returns what the screen showed, to be compared after the next start."""
    win = s.wait_window("Плеер")
    x0, y0, _, _ = s.geometry(win)
    seen = {}
    s.click(x0 + 139 + 8 * 7 + 2, y0 + 100)      # dot 408
    time.sleep(0.3)
    seen["dots"] = part(s, x0, y0, DOTS)

    s.click(x0 + 373, y0 + 221)                   # open-folder button
    time.sleep(1.5)
    s.type_text(os.path.join(folder, "b tone.mp3"))
    s.key("Return")
    r.check(wait_until(lambda: playerctl(s, "metadata", "title") == "b tone.mp3", timeout=10),
            "the picked track plays")

    s.click_panel_button(x0, y0, 476, 216)  # PL: the track list, b selected
    seen["tracks"] = part(s, x0, y0, PANEL)
    s.click_panel_button(x0, y0, 116, 220)  # FM: track panel closes, stations open
    s.move(x0 + 560, y0 + 380)                    # no hover over the list
    seen["stations"] = part(s, x0, y0, PANEL)

    s.move(x0 + 300, y0 + 60)                     # drag the background
    s.press()
    for i in range(1, 11):
        s.move(x0 + 300 + MOVE_BY[0] * i // 10, y0 + 60 + MOVE_BY[1] * i // 10)
        time.sleep(0.03)
    s.release()
    time.sleep(0.5)
    x1, y1, _, _ = s.geometry(win)
    r.check((x1, y1) == (x0 + MOVE_BY[0], y0 + MOVE_BY[1]),
            f"window moved from {(x0, y0)} to {(x1, y1)}")
    seen["place"] = (x1, y1)
    return seen


def check_restored(s, r, seen, how):
    win = s.wait_window("Плеер")
    time.sleep(0.8)
    x0, y0, _, _ = s.geometry(win)
    r.check((x0, y0) == seen["place"], f"{how}: window where it was ({(x0, y0)})")
    s.move(x0 + 560, y0 + 380)
    time.sleep(0.3)
    r.check(same(part(s, x0, y0, DOTS), seen["dots"]), f"{how}: volume dots show 80")
    r.check(playerctl(s, "volume") == "0.800000", f"{how}: volume 0.8 on the bus")
    r.check(same(part(s, x0, y0, PANEL), seen["stations"]), f"{how}: station panel open")
    r.check(playerctl(s, "status") == "Stopped", f"{how}: nothing plays")
    s.click_panel_button(x0, y0, 476, 216)  # PL
    s.move(x0 + 560, y0 + 380)
    r.check(same(part(s, x0, y0, PANEL), seen["tracks"]),
            f"{how}: track list with the picked track selected")


def main(binary):
    run_inside_private_bus()
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-remembered"))
    folder = os.path.join(work, "music")
    os.makedirs(folder, exist_ok=True)
    for i, name in enumerate(TRACKS):
        make_tone(os.path.join(folder, name), 330 + 110 * i, 40)
    with open(os.path.join(work, "radio.pls"), "wb") as f:
        f.write("[Всё подряд]\nFile1=http://127.0.0.1:9/one\nTitle1=Первая\n"
                "File2=http://127.0.0.1:9/two\nTitle2=Вторая\n".encode())

    for how in ("closed with the cross", "killed 10 s after the changes",
                "ended by the session (SIGTERM)"):
        state = os.path.join(work, "state-" + how.split()[0])
        print("---", how)
        subprocess.run(["rm", "-rf", state], check=True)
        with PlayerSession(binary, cwd=work, state_home=state) as s:
            seen = make_changes(s, r, folder)
            if how.startswith("closed"):
                s.click(seen["place"][0] + 476, seen["place"][1] + 94)    # the cross
                r.check(wait_until(lambda: not s.alive(), timeout=10) and
                        s.player.returncode == 0, "the cross ends the player with 0")
            elif how.startswith("killed"):
                time.sleep(10)
                s.player.send_signal(signal.SIGKILL)
                s.player.wait(10)
            else:
                s.player.send_signal(signal.SIGTERM)
                r.check(wait_until(lambda: not s.alive(), timeout=10) and
                        s.player.returncode == 0, "SIGTERM ends the player with 0")
            r.check(os.path.isfile(os.path.join(state, "volnar", "state.ini")),
                    f"{how}: state file written")
            leftovers = [n for n in os.listdir(os.path.join(state, "volnar"))
                         if n != "state.ini"]
            r.check(not leftovers, f"{how}: nothing else in the state folder ({leftovers})")
            s.start_player()
            check_restored(s, r, seen, how)
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
