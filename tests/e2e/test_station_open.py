"""Stations open off the user-interface thread: while a station that never answers, or one
that answers a byte a second, is opening, the clock keeps running and the window can be
dragged; a second station double-clicked while the first still connects plays within
300 ms of its own server's answer, and the first connection is gone."""

import os
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

import numpy

from harness import PlayerSession, Results, wait_until
from icecast_server import IcecastServer
from responsiveness import clock_runs, drag_follows
from sound import disk_env
from station_servers import AnswerProxy, SilentServer, TricklingServer, sockets_to_port

ROW_HEIGHT = 14


class SoundOnset:
    """Watches SDL's disk output and notes when the first loud sample was written (the file
    starts again whenever the device is reopened)."""

    def __init__(self, path):
        self.path = path
        self.heard_at = None
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self._watch, daemon=True)

    def start(self):
        self.thread.start()

    def close(self):
        self.stop.set()
        self.thread.join()

    def _watch(self):
        offset = 0
        while not self.stop.wait(0.005) and self.heard_at is None:
            try:
                size = os.path.getsize(self.path)
            except OSError:
                continue
            if size < offset:
                offset = 0
            size -= size % 8
            if size <= offset:
                continue
            with open(self.path, "rb") as f:
                f.seek(offset)
                samples = numpy.frombuffer(f.read(size - offset), dtype="<f4")
            offset = size
            # The station's tone (an eighth of full scale) at the default volume, half-way
            # up the dots' 4.5 dB steps, peaks near 0.009: anything clearly above silence.
            if len(samples) and numpy.abs(samples).max() > 0.002:
                self.heard_at = time.monotonic()


def double_click_station(s, window, row):
    x, y, _, _ = s.geometry(window)
    s.click(x + 105 + 40, y + 240 + row * ROW_HEIGHT + ROW_HEIGHT // 2, repeat=2)


def main(binary):
    r = Results()
    with IcecastServer(title="Вторая", frequency=660) as radio, SilentServer() as silent, \
            TricklingServer() as trickling, AnswerProxy(radio.port) as proxy:
        work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-station-open"))
        os.makedirs(work, exist_ok=True)
        stations = [(silent.url(), "Молчит"), (trickling.url(), "По байту"),
                    (proxy.url(), "Настоящая")]
        lines = ["[Всё подряд]"]
        for i, (url, title) in enumerate(stations, 1):
            lines += [f"File{i}={url}", f"Title{i}={title}"]
        with open(os.path.join(work, "radio.pls"), "w", encoding="utf-8") as f:
            f.write("\r\n".join(lines) + "\r\n")
        out = os.path.join(work, "sound.raw")
        if os.path.exists(out):
            os.remove(out)

        with PlayerSession(binary, cwd=work, extra_env=disk_env(out)) as s:
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)
            s.click_panel_button(x0, y0, 116, 220)  # FM: the station list
            # The first stream of a session loads the audio engine's library; what is measured
            # here is the opening of a station, so the engine is loaded before.
            double_click_station(s, win, 0)
            time.sleep(2.0)

            for row, what in ((0, "a station that never answers"),
                              (1, "a station that sends a byte a second")):
                double_click_station(s, win, row)
                time.sleep(0.3)
                r.check(clock_runs(s, win), f"the clock runs while {what} opens")
                r.check(drag_follows(s, win), f"the window can be dragged while {what} opens")
                time.sleep(0.2)

            # The silent station again, and while it connects, the real one.
            double_click_station(s, win, 0)
            r.check(wait_until(lambda: len(sockets_to_port(s.player.pid, silent.port)) == 1,
                               timeout=3), "the first station is connecting")
            onset = SoundOnset(out)
            onset.start()
            double_click_station(s, win, 2)
            heard = wait_until(lambda: onset.heard_at is not None, timeout=8)
            onset.close()
            r.check(heard and proxy.answered_at is not None,
                    f"the second station is heard (proxy answered: {proxy.answered_at is not None})")
            if heard and proxy.answered_at is not None:
                after_answer = onset.heard_at - proxy.answered_at
                after_audio = onset.heard_at - proxy.audio_at
                print(f"heard {after_answer * 1000:.0f} ms after the server's answer, "
                      f"{after_audio * 1000:.0f} ms after its first audio bytes")
                r.check(after_audio < 0.3,
                        f"plays within 300 ms of the server's answer ({after_audio * 1000:.0f} ms)")
            left = sockets_to_port(s.player.pid, silent.port)
            r.check(not left, f"no socket left to the first station: {left}")
            r.check(s.alive(), "player still running")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
