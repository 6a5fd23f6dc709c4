"""A station played by its address, with no title of its own, goes by its address until it
names itself (icy-name in the answer's headers, as Shoutcast servers send it, from a server
of the test's own on 127.0.0.1), then by that name: on the desktop (playerctl) and in the
player's own lines."""

import http.server
import os
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, run_inside_private_bus, wait_until
from sound import make_tone


def serve_station(mp3):
    """An endless MP3 station naming itself "Радио Проверка" (UTF-8), at about real time."""
    data = open(mp3, "rb").read()

    class Station(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            self.send_response(200)
            self.send_header("Content-Type", "audio/mpeg")
            self.send_header("icy-name", "Радио Проверка".encode().decode("latin-1"))
            self.end_headers()
            try:
                while True:
                    for at in range(0, len(data), 16000):
                        self.wfile.write(data[at:at + 16000])
                        time.sleep(0.5)
            except OSError:
                pass

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Station)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def playerctl(s, *args):
    return subprocess.run(["playerctl", "-p", "volnar"] + list(args), env=s.env,
                          capture_output=True, text=True, timeout=10).stdout.strip()


def main(binary):
    run_inside_private_bus()
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-station-name"))
    os.makedirs(work, exist_ok=True)
    mp3 = os.path.join(work, "tone.mp3")
    make_tone(mp3, 440, 10, ["-b:a", "128k"])
    server = serve_station(mp3)
    url = f"http://127.0.0.1:{server.server_address[1]}/live"
    try:
        with PlayerSession(binary, cwd=work, args=[url]) as s:
            r.check(wait_until(lambda: playerctl(s, "status") == "Playing", timeout=15),
                    "the station plays")
            r.check(wait_until(lambda: playerctl(s, "metadata", "album") == "Радио Проверка",
                               timeout=5),
                    f"it goes by the name it gave itself ({playerctl(s, 'metadata', 'album')!r})")
            r.check(playerctl(s, "metadata", "title") == "Радио Проверка",
                    f"and, sending no title, shows it as its title "
                    f"({playerctl(s, 'metadata', 'title')!r})")
            r.check(s.alive(), "the player still runs")
    finally:
        server.shutdown()
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
