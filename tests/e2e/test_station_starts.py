"""A healthy station opens every time: 30 fresh starts of the player, each double-clicking a
real Icecast station in the station list, each heard through SDL's disk driver."""

import os
import shutil
import signal
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, wait_until
from icecast_server import IcecastServer
from sound import disk_env, dominant_frequency, recent_samples

STARTS = 30
ROW_HEIGHT = 14
FREQUENCY = 880


def stop_player(s):
    s.player.send_signal(signal.SIGTERM)
    try:
        s.player.wait(5)
    except Exception:
        s.player.kill()
        s.player.wait()


def main(binary):
    r = Results()
    with IcecastServer(title="Станция", frequency=FREQUENCY) as radio:
        work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-station-starts"))
        os.makedirs(work, exist_ok=True)
        with open(os.path.join(work, "radio.pls"), "wb") as f:
            f.write(f"[Всё подряд]\r\nFile1={radio.url}\r\nTitle1=Тест\r\n".encode("cp1251"))
        out = os.path.join(work, "sound.raw")
        failed = []
        with PlayerSession(binary, cwd=work, extra_env=disk_env(out)) as s:
            for start in range(STARTS):
                if start > 0:
                    stop_player(s)
                    # A fresh start: nothing remembered from the one before (its open
                    # station panel would be closed by this start's click).
                    shutil.rmtree(s.env["XDG_STATE_HOME"], ignore_errors=True)
                    s.start_player()
                if os.path.exists(out):
                    os.remove(out)
                win = s.wait_window("Плеер")
                x0, y0, _, _ = s.geometry(win)
                s.click_panel_button(x0, y0, 116, 220)
                s.click(x0 + 105 + 40, y0 + 240 + ROW_HEIGHT // 2, repeat=2)
                heard = wait_until(
                    lambda: abs(dominant_frequency(recent_samples(out, 0.3)) - FREQUENCY) < 10,
                    timeout=6, step=0.1)
                if not heard:
                    failed.append(start)
                    print(f"start {start}: not heard")
        r.check(not failed, f"{STARTS - len(failed)} of {STARTS} starts heard (failed: {failed})")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
