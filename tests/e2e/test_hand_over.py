"""A start right after the running player was told to quit (MPRIS Quit) is not lost: the
ending player refuses the hand-over, and the new start runs as a player of its own, its
window shown, instead of handing its file to a player that is going away and ending itself.
Several rounds, since the start may come before or after the ending player gave up its
name."""

import os
import subprocess
import sys
import time

from harness import PlayerSession, Results, run_inside_private_bus, wait_until
from sound import make_tone

ROUNDS = 5


def main(binary):
    run_inside_private_bus()
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-hand-over"))
    os.makedirs(work, exist_ok=True)
    for name, frequency in (("a tone.mp3", 440), ("b tone.mp3", 660)):
        if not os.path.exists(os.path.join(work, name)):
            make_tone(os.path.join(work, name), frequency, 20)

    lost = []
    for round_ in range(ROUNDS):
        with PlayerSession(binary, cwd=work, args=["a tone.mp3"]) as s:
            s.wait_window("Плеер")
            time.sleep(0.5)
            quit_call = subprocess.Popen(
                ["gdbus", "call", "--session", "--dest", "org.mpris.MediaPlayer2.volnar",
                 "--object-path", "/org/mpris/MediaPlayer2", "--method",
                 "org.mpris.MediaPlayer2.Quit"], env=s.env, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
            second = subprocess.Popen([s.binary, "b tone.mp3"], cwd=work, env=s.env,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            quit_call.wait(10)
            r.check(wait_until(lambda: not s.alive(), timeout=10),
                    f"round {round_}: the first player ends")
            # The second start must be the player now: still running, its window shown.
            runs = wait_until(lambda: second.poll() is None and s.find_windows("Плеер"),
                              timeout=10)
            time.sleep(1)
            if not (runs and second.poll() is None):
                lost.append(round_)
            second.terminate()
            try:
                second.wait(10)
            except subprocess.TimeoutExpired:
                second.kill()
                second.wait()
    r.check(not lost, f"every start after a Quit became the player (lost in rounds {lost})")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
