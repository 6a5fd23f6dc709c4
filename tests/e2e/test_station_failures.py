"""A station that does not play says why in the scrolling line, end to end: refused (no
answer), missing (404), not audio (a web page) and a failed secure connection (https to a
server that speaks plain http). They are started while a folder's track plays, and none of
them makes the player go on to the folder's next track."""

import os
import socket
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, wait_until
from imaging import region
from sound import make_tone
from station_servers import FixedAnswerServer
from test_refresh import STRIP, title_match

ROW_HEIGHT = 14
REASONS = ["Станция не отвечает", "Станция не найдена", "Формат не поддерживается",
           "Ошибка защищённого соединения"]


def refusing_port():
    """A port bound and never listened on: connections to it are refused, and no other test
    running beside this one can take it meanwhile."""
    sock = socket.socket()
    sock.bind(("127.0.0.1", 0))
    return sock


def main(binary):
    r = Results()
    page = b"<html><body>" + b"<p>Listen to our station!</p>" * 200 + b"</body></html>"
    missing = b"HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n"
    web = (b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n\r\n"
           % len(page)) + page
    plain = b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + b"\0" * 1000
    with FixedAnswerServer(missing) as not_found, FixedAnswerServer(web) as html, \
            FixedAnswerServer(plain) as plain_http, refusing_port() as refusing:
        closed = refusing.getsockname()[1]
        stations = [(f"http://127.0.0.1:{closed}/live.mp3", "Закрыта", REASONS[0]),
                    (not_found.url(), "Нет такой", REASONS[1]),
                    (html.url("/"), "Страница", REASONS[2]),
                    (f"https://127.0.0.1:{plain_http.port}/live.mp3", "Шифр", REASONS[3])]
        work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-station-failures"))
        os.makedirs(work, exist_ok=True)
        lines = ["[Всё подряд]"]
        for i, (url, title, _) in enumerate(stations, 1):
            lines += [f"File{i}={url}", f"Title{i}={title}"]
        with open(os.path.join(work, "radio.pls"), "w", encoding="utf-8") as f:
            f.write("\r\n".join(lines) + "\r\n")

        tracks = os.path.join(work, "tracks")
        os.makedirs(tracks, exist_ok=True)
        for name in ("a tone.mp3", "b tone.mp3"):
            if not os.path.exists(os.path.join(tracks, name)):
                make_tone(os.path.join(tracks, name), 440, 30)

        with PlayerSession(binary, cwd=work, args=[os.path.join(tracks, "a tone.mp3")]) as s:
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)
            s.click_panel_button(x0, y0, 116, 220)

            def says(reason):
                strip = region(s.screenshot(), x0 + STRIP[0], y0 + STRIP[1], *STRIP[2:])
                others = min(title_match(strip, other) for other in REASONS if other != reason)
                return title_match(strip, reason) < 0.7 * others

            for row, (url, title, reason) in enumerate(stations):
                s.click(x0 + 145, y0 + 240 + row * ROW_HEIGHT + ROW_HEIGHT // 2, repeat=2)
                r.check(wait_until(lambda: says(reason), timeout=12, step=0.5),
                        f"{title}: the scrolling line says \"{reason}\"")
            # A next track started by the failures would take the line over.
            time.sleep(2)
            r.check(says(REASONS[-1]), "the last reason still shows: no track was started")
            r.check(s.alive(), "player still running")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
