"""A station as listeners meet them, with the real binary: its address in radio.pls is a .pls
playlist on a web server, whose entry is an Ogg Vorbis station of a real Icecast server. The
station is heard, its Vorbis comment title scrolls in the line like an ICY title, and the next
logical stream's title replaces it."""

import functools
import http.server
import os
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, wait_until
from icecast_server import IcecastServer
from imaging import region
from sound import disk_env, dominant_frequency, recent_samples
from test_refresh import STRIP, title_match


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def main(binary):
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-station-kinds"))
    web = os.path.join(work, "web")
    os.makedirs(web, exist_ok=True)
    with IcecastServer(title="Первая песня", frequency=330, codec="vorbis") as radio:
        with open(os.path.join(web, "station.pls"), "w") as f:
            f.write(f"[playlist]\nNumberOfEntries=1\nFile1={radio.url}\nTitle1=Ogg\n")
        server = http.server.ThreadingHTTPServer(
            ("127.0.0.1", 0), functools.partial(Quiet, directory=web))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        playlist = f"http://127.0.0.1:{server.server_address[1]}/station.pls"
        with open(os.path.join(work, "radio.pls"), "wb") as f:
            f.write(f"[Всё подряд]\r\nFile1={playlist}\r\nTitle1=Эфир\r\n".encode("utf-8"))
        out = os.path.join(work, "sound.raw")
        if os.path.exists(out):
            os.remove(out)
        try:
            with PlayerSession(binary, cwd=work, extra_env=disk_env(out)) as s:
                win = s.wait_window("Плеер")
                x0, y0, _, _ = s.geometry(win)
                s.click_panel_button(x0, y0, 116, 220)  # FM
                s.click(x0 + 145, y0 + 247, repeat=2)
                r.check(wait_until(
                    lambda: abs(dominant_frequency(recent_samples(out)) - 330) < 8,
                    timeout=15, step=0.2), "the station behind the playlist heard (330 Hz)")

                def shows(title, other):
                    strip = region(s.screenshot(), x0 + STRIP[0], y0 + STRIP[1], *STRIP[2:])
                    return title_match(strip, title) < 0.7 * title_match(strip, other)
                r.check(wait_until(lambda: shows("Первая песня", "Вторая песня"), timeout=20,
                                   step=0.5), "the Vorbis comment title scrolls in the line")
                radio.set_title("Вторая песня")
                r.check(wait_until(lambda: shows("Вторая песня", "Первая песня"), timeout=30,
                                   step=0.5), "the next logical stream's title replaces it")
                r.check(s.alive(), "player still running")
        finally:
            server.shutdown()
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
