"""Playing as a user does: the open-folder button's real file dialog, typing a track's path,
the folder listed and the picked track heard; a double click on another track; a station of
a real Icecast server from radio.pls, heard, with its title in the information line."""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, wait_until
from icecast_server import IcecastServer
from imaging import count_foreground, count_pixels, region
from sound import disk_env, dominant_frequency, make_tone, recent_samples

TRACKS = [("a tone.mp3", 330), ("b tone.wav", 550), ("c tone.mp3", 770)]
ROW_HEIGHT = 14


def heard(out, frequency, timeout=8):
    return wait_until(lambda: abs(dominant_frequency(recent_samples(out)) - frequency) < 8,
                      timeout=timeout, step=0.2)


def main(binary):
    r = Results()
    with IcecastServer(title="Тестовая станция", frequency=880) as radio:
        work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-playback"))
        folder = os.path.join(work, "music")
        os.makedirs(folder, exist_ok=True)
        for name, freq in TRACKS:
            make_tone(os.path.join(folder, name), freq, 30)
        with open(os.path.join(folder, "notes.txt"), "w") as f:
            f.write("not a track")
        with open(os.path.join(work, "radio.pls"), "wb") as f:
            f.write("[Всё подряд]\r\nFile1={}\r\nTitle1=Тест\r\n".format(radio.url).encode("cp1251"))
        out = os.path.join(work, "sound.raw")
        if os.path.exists(out):
            os.remove(out)

        with PlayerSession(binary, cwd=work, extra_env=disk_env(out)) as s:
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)

            # The open-folder button brings up the dialog; the user types a path.
            s.click(x0 + 373, y0 + 221)
            time.sleep(1.5)  # the dialog opens with the file name field focused
            s.type_text(os.path.join(folder, "b tone.wav"))
            s.key("Return")
            r.check(heard(out, 550), "picked track heard (550 Hz)")

            # The track panel lists the folder's three tracks.
            s.click_panel_button(x0, y0, 476, 216)
            shot = s.screenshot()
            rows = [count_foreground(region(shot, x0 + 105, y0 + 240 + i * ROW_HEIGHT, 390,
                                            ROW_HEIGHT)) for i in range(5)]
            texts = [n > 10 for n in rows]
            r.check(sum(texts) == 3, f"three tracks listed (text in rows: {rows})")

            # A double click on the third track plays it.
            third = (x0 + 105 + 40, y0 + 240 + 2 * ROW_HEIGHT + ROW_HEIGHT // 2)
            s.click(third[0], third[1], repeat=2)
            r.check(heard(out, 770), "double-clicked track heard (770 Hz)")

            # The station panel holds the station; a double click plays it.
            s.click_panel_button(x0, y0, 116, 220)
            s.click(x0 + 105 + 40, y0 + 240 + ROW_HEIGHT // 2, repeat=2)
            r.check(heard(out, 880, timeout=15), "station heard (880 Hz)")
            shot = s.screenshot()
            info = region(shot, x0 + 230, y0 + 115, 250, 10)
            r.check(count_pixels(info, (204, 205, 211), 50) > 15,
                    "station title shown in the information line")
            r.check(s.alive(), "player still running")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
