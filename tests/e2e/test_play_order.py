"""Repeat and shuffle through the real player under Xvfb: the captions under the clock and the
RP key switch them and light up, the desktop's controls (playerctl) read and set them, a
repeated list starts again after its last track, a repeated track plays again, a shuffled
list plays every track once, and all of it comes back after a restart."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, run_inside_private_bus, state_text, wait_until
from imaging import mean_difference
from sound import make_tone

REPEAT_CAPTION = (110, 173, 34, 10)
SHUFFLE_CAPTION = (158, 173, 38, 10)
RP_KEY = (76, 211)
NAMES = ["a.mp3", "b.mp3", "c.mp3", "d.mp3"]


def playerctl(s, *args):
    return subprocess.run(["playerctl", "-p", "volnar"] + list(args), env=s.env,
                          capture_output=True, text=True, timeout=10).stdout.strip()


def crop(s, x0, y0, rect):
    x, y, w, h = rect
    return s.screenshot().crop((x0 + x, y0 + y, x0 + x + w, y0 + y + h))


def title(s):
    return playerctl(s, "metadata", "title")


def main(binary):
    run_inside_private_bus()
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-play-order"))
    folder = os.path.join(work, "music")
    os.makedirs(folder, exist_ok=True)
    for i, name in enumerate(NAMES):
        make_tone(os.path.join(folder, name), 300 + 100 * i, 2)
    state = os.path.join(work, "state")
    subprocess.run(["rm", "-rf", state], check=True)

    with PlayerSession(binary, cwd=work, args=[os.path.join(folder, "c.mp3")],
                       state_home=state) as s:
        x0, y0, _, _ = s.geometry(s.wait_window("Плеер"))
        r.check(wait_until(lambda: title(s) == "c.mp3", timeout=8), "c plays")
        r.check(playerctl(s, "loop") == "None" and playerctl(s, "shuffle") == "Off",
                "repeat and shuffle start off")
        unlit = crop(s, x0, y0, REPEAT_CAPTION)
        shuffle_unlit = crop(s, x0, y0, SHUFFLE_CAPTION)
        s.click(x0 + REPEAT_CAPTION[0] + 15, y0 + REPEAT_CAPTION[1] + 5)
        r.check(wait_until(lambda: playerctl(s, "loop") == "Playlist", timeout=3),
                "a click on REPEAT: the whole list, told to the desktop")
        lit = crop(s, x0, y0, REPEAT_CAPTION)
        r.check(mean_difference(unlit, lit) > 5, "the REPEAT caption lights")
        # After d, the last, the list starts again with a.
        r.check(wait_until(lambda: title(s) == "d.mp3", timeout=8), "d follows c")
        r.check(wait_until(lambda: title(s) == "a.mp3", timeout=8),
                "after the last track the first follows")
        s.click(x0 + RP_KEY[0] + 12, y0 + RP_KEY[1] + 6)
        r.check(wait_until(lambda: playerctl(s, "loop") == "Track", timeout=3),
                "the RP key: the one track")
        one = crop(s, x0, y0, REPEAT_CAPTION)
        r.check(mean_difference(one, lit) > 2, "the caption lights otherwise for the one track")
        serial = playerctl(s, "metadata", "mpris:trackid")
        r.check(wait_until(lambda: playerctl(s, "metadata", "mpris:trackid") != serial,
                           timeout=8) and title(s) == "a.mp3", "the one track plays again")
        playerctl(s, "loop", "None")
        r.check(wait_until(lambda: playerctl(s, "loop") == "None", timeout=3),
                "the desktop turns repeat off")
        r.check(mean_difference(crop(s, x0, y0, REPEAT_CAPTION), unlit) < 1,
                "the caption goes out")

        # Shuffle from the desktop: every track once, then the end.
        playerctl(s, "shuffle", "On")
        r.check(wait_until(lambda: playerctl(s, "shuffle") == "On", timeout=3), "shuffle on")
        r.check(mean_difference(crop(s, x0, y0, SHUFFLE_CAPTION), shuffle_unlit) > 5,
                "the SHUFFLE caption lights")
        heard = [title(s)]
        for _ in range(len(NAMES) - 1):
            playerctl(s, "next")
            wait_until(lambda: title(s) != heard[-1], timeout=5)
            heard.append(title(s))
        r.check(sorted(heard) == sorted(NAMES), f"shuffled, every track once: {heard}")
        playerctl(s, "previous")
        r.check(wait_until(lambda: title(s) == heard[-2], timeout=5),
                f"previous goes back through what played ({title(s)})")
        s.click(x0 + 511, y0 + 218)  # EQ: the first preset
        time.sleep(0.5)
    r.check("shuffle=1" in state_text(state), "shuffle remembered")
    r.check("equaliser=1" in state_text(state), "the equaliser's preset remembered")

    with PlayerSession(binary, cwd=work, state_home=state) as s:
        s.wait_window("Плеер")
        r.check(wait_until(lambda: playerctl(s, "shuffle") == "On", timeout=5),
                "after a restart shuffle is still on")
        r.check(playerctl(s, "loop") == "None", "and repeat still off")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
