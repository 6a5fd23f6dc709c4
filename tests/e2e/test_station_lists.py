"""Station lists as radio sites hand them out, with the real binary, a real Icecast server and
the desktop's own MPRIS client: a standard PLS named on the command line plays its station
with the FM panel open, and the desktop sees the stream title split into artist and title with
the station's name as the album; an M3U list handed to the running player by a second start
replaces it and plays; a station pasted with Ctrl+V from the clipboard says that it connects
while its server delays the answer, the desktop hears of no playing before its first sound,
and it joins the user's own list, from which Delete takes a station again; after a restart
the FM panel lists what the user's list holds."""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, run_inside_private_bus, wait_until
from icecast_server import IcecastServer
from imaging import region
from sound import disk_env, dominant_frequency, recent_samples
from station_servers import AnswerProxy
from test_command_line import listed_rows
from test_refresh import STRIP, title_match

ANSWER_DELAY = 3.0


class DelayedProxy(AnswerProxy):
    """The Icecast server behind a proxy that takes ANSWER_DELAY seconds to answer."""

    def serve(self, conn):
        if self.stopping.wait(ANSWER_DELAY):
            return
        super().serve(conn)


def playerctl(s, *args):
    out = subprocess.run(["playerctl", "-p", "volnar"] + list(args), env=s.env,
                         capture_output=True, text=True, timeout=10)
    return out.stdout.strip()


def set_clipboard(s, text):
    # xclip stays behind, owning the clipboard, until another program takes it over.
    subprocess.run(["xclip", "-selection", "clipboard"], input=text, text=True, env=s.env,
                   timeout=10, check=True)


def press(s, win, *keys):
    subprocess.run(["xdotool", "windowfocus", "--sync", str(win)], env=s.env, timeout=10)
    s.key(*keys)


def user_list(config):
    try:
        with open(os.path.join(config, "volnar", "radio.pls"), encoding="utf-8") as f:
            return f.read()
    except OSError:
        return ""


def strip_shows(s, x0, y0, text, other):
    strip = region(s.screenshot(), x0 + STRIP[0], y0 + STRIP[1], *STRIP[2:])
    return title_match(strip, text) < 0.7 * title_match(strip, other)


def main(binary):
    run_inside_private_bus()
    r = Results()
    binary = os.path.abspath(binary)
    with tempfile.TemporaryDirectory(prefix="volnar-station-lists-") as work, \
            IcecastServer(title="Кино - Группа крови", frequency=550) as radio, \
            DelayedProxy(radio.port) as proxy:
        config = os.path.join(work, "config")
        state = os.path.join(work, "state")
        with open(os.path.join(work, "site.pls"), "w", encoding="utf-8") as f:
            f.write(f"[playlist]\r\nNumberOfEntries=1\r\nFile1={radio.url}\r\n"
                    f"Title1=Стандартный PLS\r\nLength1=-1\r\nVersion=2\r\n")
        with open(os.path.join(work, "site.m3u"), "w", encoding="utf-8") as f:
            f.write(f"#EXTM3U\n#EXTINF:-1,Из M3U\n{radio.url}\n")
        sound = os.path.join(work, "sound.raw")
        env = dict(disk_env(sound), XDG_CONFIG_HOME=config)

        with PlayerSession(binary, cwd=work, extra_env=env, args=["site.pls"],
                           state_home=state) as s:
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)
            r.check(wait_until(lambda: abs(dominant_frequency(recent_samples(sound)) - 550) < 8,
                               timeout=15, step=0.2), "the standard PLS's station heard (550 Hz)")
            r.check(wait_until(lambda: playerctl(s, "metadata", "album") == "Стандартный PLS"),
                    "MPRIS album: the station's name from the PLS")
            r.check(wait_until(lambda: (playerctl(s, "metadata", "artist"),
                                        playerctl(s, "metadata", "title")) ==
                               ("Кино", "Группа крови")),
                    "MPRIS artist and title: the parts of 'Кино - Группа крови'")
            count, rows = listed_rows(s, x0, y0)
            r.check(count == 1, f"the FM panel is open with the list's one station: {rows}")

            # A second start hands its M3U list over to the running player.
            later = subprocess.run([binary, "site.m3u"], cwd=work, env=dict(s.env, **env),
                                   capture_output=True, timeout=30)
            r.check(later.returncode == 0, f"the second start ends: {later.returncode}")
            r.check(wait_until(lambda: playerctl(s, "metadata", "album") == "Из M3U"),
                    "the M3U list replaced the PLS and its station plays")

            # A station pasted into the FM panel, whose server answers late.
            pasted = proxy.url()
            set_clipboard(s, pasted + "\n")
            press(s, win, "ctrl+v")
            r.check(wait_until(lambda: strip_shows(s, x0, y0, "Соединение…", "Группа крови"),
                               timeout=2, step=0.1),
                    "while the server delays its answer the line says 'Соединение…'")
            r.check(playerctl(s, "status") != "Playing",
                    f"the desktop is not told it plays before the first sound: "
                    f"{playerctl(s, 'status')!r}")
            r.check(wait_until(lambda: pasted in user_list(config), timeout=3),
                    "the pasted station is in the user's own list")
            r.check(wait_until(lambda: proxy.audio_at is not None, timeout=10) and
                    wait_until(lambda: playerctl(s, "status") == "Playing", timeout=5),
                    "Playing from the first sound on")
            r.check(wait_until(lambda: not strip_shows(s, x0, y0, "Соединение…",
                                                       "Группа крови"), timeout=10, step=0.3),
                    "the line stops saying 'Соединение…'")

            press(s, win, "Delete")  # the pasted station is the selected one
            r.check(wait_until(lambda: pasted not in user_list(config) and
                               radio.url in user_list(config), timeout=3),
                    "Delete takes it out of the user's list, the M3U's station stays")
            kept = "http://127.0.0.1:9/kept"
            set_clipboard(s, kept)
            press(s, win, "ctrl+v")
            r.check(wait_until(lambda: kept in user_list(config), timeout=3),
                    "a second pasted station is written")
            r.check(s.alive(), "player still running")
        list_text = user_list(config)
        r.check(list_text.startswith("[Всё подряд]\n") and list_text.count("File") == 2,
                f"the user's list in the player's own format: {list_text!r}")

        # The next start shows the user's list: the M3U's station and the kept one.
        with PlayerSession(binary, cwd=work, extra_env=env, state_home=state) as s:
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)
            time.sleep(1.0)
            count, rows = listed_rows(s, x0, y0)
            r.check(count == 2, f"after a restart the FM panel lists the user's two: {rows}")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
