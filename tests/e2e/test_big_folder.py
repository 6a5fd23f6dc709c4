"""A folder of 100,000 tracks, end to end: with the last of them given on the command line
the folder is listed and the track found, and the window shows and answers at once; the
next start, which lists the remembered folder again, does the same. The files are empty
but the picked one (a real tone): only their names are listed."""

import os
import shutil
import sys
import time

from harness import PlayerSession, Results, wait_until
from sound import make_tone

TRACKS = 100000

def main(binary):
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-big-folder"))
    folder = os.path.join(work, "music")
    state = os.path.join(work, "state")
    shutil.rmtree(state, ignore_errors=True)
    os.makedirs(folder, exist_ok=True)
    if len(os.listdir(folder)) < TRACKS:
        for i in range(TRACKS - 1):
            open(os.path.join(folder, f"Track {i:06d}.mp3"), "wb").close()
    last = os.path.join(folder, f"Track {TRACKS - 1:06d}.mp3")
    if not os.path.exists(last) or os.path.getsize(last) == 0:
        make_tone(last, 440, 30)

    for how in ("the last track given", "the remembered folder"):
        started = time.monotonic()
        args = [last] if how.startswith("the last") else []
        with PlayerSession(binary, cwd=work, args=args, state_home=state) as s:
            win = s.wait_window("Плеер")
            shown = time.monotonic() - started
            r.check(shown < 5, f"{how}: the window within 5 s ({shown:.1f} s)")
            x0, y0, _, _ = s.geometry(win)
            r.check(s.answers(x0, y0), f"{how}: the window answers")
            r.check(s.alive(), f"{how}: the player runs on")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
