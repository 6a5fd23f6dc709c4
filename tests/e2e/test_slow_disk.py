"""The state file on a disk whose fsync takes 3 s (a busy or networked disk, preloaded
slow_fsync): saving it never holds the window up, and what was changed last is in the file
when the player ends, which its fsync does not hold up either."""

import os
import shutil
import signal
import sys
import time

from harness import PlayerSession, Results, state_text, wait_until

DELAY_MS = 3000

def main(binary):
    r = Results()
    shim = os.environ.get("VOLNAR_TEST_SLOW_FSYNC", "")
    r.check(os.path.isfile(shim), f"the slow-fsync library is built ({shim!r})")
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-slow-disk"))
    state = os.path.join(work, "state")
    shutil.rmtree(state, ignore_errors=True)
    os.makedirs(work, exist_ok=True)
    env = {"LD_PRELOAD": shim, "VOLNAR_TEST_FSYNC_DELAY_MS": str(DELAY_MS)}
    with PlayerSession(binary, cwd=work, extra_env=env, state_home=state) as s:
        win = s.wait_window("Плеер")
        x0, y0, _, _ = s.geometry(win)
        time.sleep(0.5)
        s.click(x0 + 139 + 8 * 5 + 2, y0 + 100)  # volume 60: saved at once, 3 s of fsync
        time.sleep(0.2)
        # Meanwhile the window answers: right clicks switch the windows at once.
        clicked = time.monotonic()
        answered = s.answers(x0, y0, timeout=DELAY_MS / 1000)
        took = time.monotonic() - clicked
        r.check(answered and took < 2.5,
                f"while the state is saved the window answers ({took:.1f} s)")
        s.click(x0 + 139 + 8 * 7 + 2, y0 + 100)  # volume 80: due later
        time.sleep(0.3)
        asked = time.monotonic()
        s.player.send_signal(signal.SIGTERM)
        r.check(wait_until(lambda: not s.alive(), timeout=15, step=0.01) and
                s.player.returncode == 0, "SIGTERM ends the player with 0")
        took = time.monotonic() - asked
        r.check(took < 1.0, f"the end waits for no fsync ({took:.2f} s, an fsync takes "
                            f"{DELAY_MS / 1000:.0f} s)")
    r.check("volume=80" in state_text(state),
            f"the last change is in the file: {state_text(state)!r}")
    left = sorted(os.listdir(os.path.join(state, "volnar")))
    r.check(left == ["state.ini"], f"no temporary of a write cut short is left ({left})")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
