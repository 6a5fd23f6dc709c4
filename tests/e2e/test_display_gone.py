"""When the X server goes away under the player (the desktop session ends, a remote display is
lost), the player ends by itself with a status below 128, not by a signal, and what the user
changed just before is in the state file: a volume step clicked a moment before the end,
well inside the 10 s between two ordinary saves. Wayland's side: test_wayland.py. And the
session's SIGTERM ends it at once even while its open-file dialog is open."""

import os
import shutil
import signal
import sys
import time

from harness import PlayerSession, Results, state_text, wait_until
def main(binary):
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-display-gone"))
    os.makedirs(work, exist_ok=True)
    state = os.path.join(work, "state")
    shutil.rmtree(state, ignore_errors=True)
    with PlayerSession(binary, cwd=work, state_home=state) as s:
        win = s.wait_window("Плеер")
        x0, y0, _, _ = s.geometry(win)
        time.sleep(0.5)
        # The first change is saved at once, the next one up to 10 s later.
        s.click(x0 + 139 + 8 * 5 + 2, y0 + 100)  # dot 406: volume 60
        r.check(wait_until(lambda: "volume=60" in state_text(state), timeout=5),
                "the first change is saved at once")
        s.click(x0 + 139 + 8 * 7 + 2, y0 + 100)  # dot 408: volume 80
        time.sleep(0.3)
        s.xvfb.kill()
        s.xvfb.wait(5)
        ended = wait_until(lambda: not s.alive(), timeout=10)
        r.check(ended, "the player ends when its X server goes away")
        status = s.player.returncode if ended else None
        r.check(status is not None and 0 <= status < 128,
                f"it ends with a status below 128, not by a signal (status {status})")
        r.check("volume=80" in state_text(state), "the volume clicked before the end is kept")
        leftovers = [n for n in os.listdir(os.path.join(state, "volnar")) if n != "state.ini"] \
            if os.path.isdir(os.path.join(state, "volnar")) else []
        r.check(not leftovers, f"nothing else in the state folder ({leftovers})")

    # The session ends the player by SIGTERM while its open-file dialog is open: the dialog
    # is cancelled and the player ends at once with 0.
    with PlayerSession(binary, cwd=work, state_home=state) as s:
        win = s.wait_window("Плеер")
        x0, y0, _, _ = s.geometry(win)
        s.click(x0 + 373, y0 + 221)  # the open-file button
        r.check(wait_until(lambda: s.shown_windows() > 1, timeout=10),
                "the open-file dialog is open")
        s.player.send_signal(signal.SIGTERM)
        r.check(wait_until(lambda: not s.alive(), timeout=5) and s.player.returncode == 0,
                "SIGTERM with the dialog open ends the player with 0")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
