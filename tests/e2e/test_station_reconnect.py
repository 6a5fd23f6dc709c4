"""A station that loses its server plays again by itself: it plays, the test stops Icecast
for 5 seconds and starts it again on the same port; the player plays again with no user
action, the title comes back, and the player never moved on."""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, wait_until
from icecast_server import IcecastServer
from imaging import region
from sound import disk_env, dominant_frequency, recent_samples
from test_refresh import STRIP, title_match

FREQUENCY = 660
TITLE = "Песня до обрыва"
OTHER = "Станция не отвечает"


def main(binary):
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-station-reconnect"))
    os.makedirs(work, exist_ok=True)
    out = os.path.join(work, "sound.raw")
    if os.path.exists(out):
        os.remove(out)
    radio = IcecastServer(title=TITLE, frequency=FREQUENCY)
    radio.start()
    try:
        with open(os.path.join(work, "radio.pls"), "w", encoding="utf-8") as f:
            f.write(f"[Всё подряд]\r\nFile1={radio.url}\r\nTitle1=Эфир\r\n")
        with PlayerSession(binary, cwd=work, extra_env=disk_env(out)) as s:
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)
            s.click_panel_button(x0, y0, 116, 220)
            s.click(x0 + 145, y0 + 247, repeat=2)

            def heard():
                return abs(dominant_frequency(recent_samples(out, 0.3)) - FREQUENCY) < 10

            def shows_title():
                strip = region(s.screenshot(), x0 + STRIP[0], y0 + STRIP[1], *STRIP[2:])
                return title_match(strip, TITLE) < 0.7 * title_match(strip, OTHER)

            r.check(wait_until(heard, timeout=10, step=0.1), "the station is heard")
            r.check(wait_until(shows_title, timeout=15, step=0.5), "its title scrolls")

            port = radio.port
            radio.stop()
            r.check(wait_until(lambda: not heard(), timeout=5, step=0.1),
                    "silence once the buffer has played out")
            time.sleep(5)
            radio = IcecastServer(title=TITLE, frequency=FREQUENCY, port=port)
            radio.start()
            back = time.monotonic()
            r.check(wait_until(heard, timeout=10, step=0.05), "heard again with no user action")
            print(f"heard {time.monotonic() - back:.2f} s after the server came back")
            r.check(wait_until(shows_title, timeout=15, step=0.5), "the title is back")
            r.check(s.alive(), "player still running")
    finally:
        radio.stop()
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
