"""The ten volume dots as heard through SDL's disk driver from the real player under Xvfb:
even steps in loudness (4.5 dB apart) from the first dot to full volume, silence at none,
and the speaker muting and bringing the volume back."""

import math
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results
from sound import disk_env, loudness, make_tone, recent_samples

DOT = (139, 98)      # the first dot; the others 8 px apart
SPEAKER = (116, 92)  # 14 x 16


def level(out):
    time.sleep(0.7)  # the new volume reaches the device, then a stretch of it is read
    return loudness(recent_samples(out, 0.3))


def db(a, b):
    return 20 * math.log10(a / b) if a > 0 and b > 0 else float("-inf")


def main(binary):
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-volume"))
    os.makedirs(work, exist_ok=True)
    tone = os.path.join(work, "tone.wav")
    make_tone(tone, 1000, 60)
    out = os.path.join(work, "out.raw")
    if os.path.exists(out):
        os.remove(out)
    with PlayerSession(binary, cwd=work, args=[tone], extra_env=disk_env(out)) as s:
        x0, y0, _, _ = s.geometry(s.wait_window("Плеер"))
        time.sleep(1.0)
        levels = []
        for step in range(1, 11):
            s.click(x0 + DOT[0] + 8 * (step - 1) + 2, y0 + DOT[1] + 2)
            levels.append(level(out))
        steps = [db(levels[i + 1], levels[i]) for i in range(9)]
        print("levels:", ["%.5f" % v for v in levels])
        print("steps (dB):", ["%.2f" % v for v in steps])
        r.check(all(abs(v - 4.5) < 0.5 for v in steps),
                "each dot 4.5 dB louder than the one before")
        r.check(abs(db(levels[0], levels[9]) + 40.5) < 1.0,
                f"the first dot 40.5 dB under full volume ({db(levels[0], levels[9]):.1f})")
        full = levels[9]
        s.click(x0 + SPEAKER[0] + 7, y0 + SPEAKER[1] + 8)
        muted = level(out)
        r.check(muted < 1e-6, f"the speaker mutes ({muted:.7f})")
        s.click(x0 + SPEAKER[0] + 5, y0 + SPEAKER[1] + 8)  # elsewhere: not a double click
        time.sleep(0.5)
        back = level(out)
        r.check(abs(db(back, full)) < 0.3, f"a second click brings the volume back ({db(back, full):.2f} dB)")
        r.check(s.alive(), "the player still runs")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
