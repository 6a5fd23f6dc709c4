"""The user's own station list is never left half-written: stations are pasted one after
another with Ctrl+V into the FM panel of the real binary, whose fsync is slowed down so that
the writes take long, and the player is killed with SIGKILL at a random moment after each
paste. Every time, the list on the disk is whole, in the player's own format, and holds the
stations from before the paste or those with it."""

import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time

from harness import PlayerSession, Results, wait_until

ROUNDS = 12
FSYNC_DELAY_MS = 150


def set_clipboard(s, text):
    subprocess.run(["xclip", "-selection", "clipboard"], input=text, text=True, env=s.env,
                   timeout=10, check=True)


def stations_of(text):
    """The addresses of a whole list in the player's own format; None for anything else."""
    lines = text.split("\n")
    if not text.endswith("\n") or lines[0] != "[Всё подряд]":
        return None
    body = lines[1:-1]
    if len(body) % 2:
        return None
    addresses = []
    for n in range(len(body) // 2):
        file_line, title_line = body[2 * n], body[2 * n + 1]
        match = re.fullmatch(rf"File{n + 1}=(http://127\.0\.0\.1:9/station-\d+)", file_line)
        if not match or title_line != f"Title{n + 1}=":
            return None
        addresses.append(match.group(1))
    return addresses


def main(binary):
    r = Results()
    shim = os.environ.get("VOLNAR_TEST_SLOW_FSYNC", "")
    r.check(os.path.isfile(shim), f"the slow-fsync library is built ({shim!r})")
    rng = random.Random(30)
    with tempfile.TemporaryDirectory(prefix="volnar-list-kill-") as work:
        config = os.path.join(work, "config")
        path = os.path.join(config, "volnar", "radio.pls")
        env = {"XDG_CONFIG_HOME": config, "LD_PRELOAD": shim,
               "VOLNAR_TEST_FSYNC_DELAY_MS": str(FSYNC_DELAY_MS)}
        # No radio.pls in the player's folder: it finds the user's own list by itself.
        cwd = os.path.join(work, "empty")
        os.makedirs(cwd)
        before = []
        outcomes = {"old": 0, "new": 0}
        with PlayerSession(binary, cwd=cwd, extra_env=env) as s:
            for round_ in range(ROUNDS):
                if round_ > 0:
                    # A fresh state each time: the panel is not remembered open.
                    s.env["XDG_STATE_HOME"] = os.path.join(work, f"state-{round_}")
                    s.start_player()
                win = s.wait_window("Плеер")
                subprocess.run(["xdotool", "windowfocus", "--sync", str(win)], env=s.env,
                               timeout=10)
                s.key("f")
                time.sleep(1.2)  # the panel's slide, during which keys are dropped
                set_clipboard(s, f"http://127.0.0.1:9/station-{round_}")
                s.key("ctrl+v")
                time.sleep(rng.uniform(0.0, 0.4))
                s.player.send_signal(signal.SIGKILL)
                s.player.wait(10)
                try:
                    with open(path, encoding="utf-8") as f:
                        text = f.read()
                except OSError:
                    text = None
                after = [] if text is None and not before else stations_of(text or "")
                new = before + [f"http://127.0.0.1:9/station-{round_}"]
                whole = after in (before, new)
                r.check(whole, f"round {round_}: the list is the old or the new one, whole: "
                               f"{text!r}")
                if not whole:
                    break
                outcomes["old" if after == before else "new"] += 1
                before = after
        # Both ends are reached: killed before the rename and after it.
        r.check(outcomes["new"] > 0, f"some pastes reached the disk: {outcomes}")
        print("outcomes:", outcomes)
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
