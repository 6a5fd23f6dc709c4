"""The desktop's media controls: the real player under Xvfb inside a session bus of its own,
steered and read with Debian's playerctl and gdbus as a desktop panel would; a station of a
real Icecast server on 127.0.0.1 whose titles reach the desktop; and a second start that
hands its file to the running player."""

import os
import re
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, run_inside_private_bus, wait_until
from icecast_server import IcecastServer
from imaging import mean_difference, region
from sound import make_tone

TRACKS = ["a tone.mp3", "b tone.mp3", "c tone.mp3"]
SHORT_SECONDS = 3

# Every method and property of MPRIS 2's two interfaces.
ROOT_METHODS = ["Raise", "Quit"]
ROOT_PROPERTIES = ["CanQuit", "Fullscreen", "CanSetFullscreen", "CanRaise", "HasTrackList",
                   "Identity", "DesktopEntry", "SupportedUriSchemes", "SupportedMimeTypes"]
PLAYER_METHODS = ["Next", "Previous", "Pause", "PlayPause", "Stop", "Play", "Seek",
                  "SetPosition", "OpenUri"]
PLAYER_PROPERTIES = ["PlaybackStatus", "LoopStatus", "Rate", "Shuffle", "Metadata", "Volume",
                     "Position", "MinimumRate", "MaximumRate", "CanGoNext", "CanGoPrevious",
                     "CanPlay", "CanPause", "CanSeek", "CanControl"]

DOTS = (139, 98, 8 * 9 + 5, 5)           # the ten volume dots of the main window
MINI_VOLUME = (100, 35, 122, 12)          # the mini window's volume bar and percent label


def playerctl(s, *args):
    out = subprocess.run(["playerctl", "-p", "volnar"] + list(args), env=s.env,
                         capture_output=True, text=True, timeout=10)
    return out.stdout.strip()


def dbus_send(s, member):
    """A command as `dbus-send --session --dest=... PATH INTERFACE.MEMBER` sends it."""
    subprocess.run(["dbus-send", "--session", "--dest=org.mpris.MediaPlayer2.volnar",
                    "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2." + member],
                   env=s.env, capture_output=True, timeout=10)


def wait_for(s, expected, *args, timeout=5):
    return wait_until(lambda: playerctl(s, *args) == expected, timeout=timeout, step=0.1)


def same(a, b):
    return mean_difference(a, b) < 1.0


class Follower:
    """`playerctl ... --follow`: every line the desktop is told, with the time it came."""

    def __init__(self, s, *args):
        self.lines = []
        self.process = subprocess.Popen(["playerctl", "-p", "volnar"] + list(args) +
                                        ["--follow"], env=s.env, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
        threading.Thread(target=self._read, daemon=True).start()
        time.sleep(0.5)  # connected and told the present value

    def _read(self):
        for line in self.process.stdout:
            self.lines.append((time.monotonic(), line.strip()))

    def delay(self, text, since, timeout=5):
        """Seconds from `since` until `text` was told (None: not within the timeout)."""
        def seen():
            return next((at for at, t in self.lines if t == text and at >= since), None)
        wait_until(lambda: seen() is not None, timeout=timeout, step=0.02)
        at = seen()
        return None if at is None else at - since

    def stop(self):
        self.process.terminate()
        self.process.wait(5)


def check_announcements(s, r, x0, y0):
    """What the user does on screen reaches the desktop within half a second; so does the
    end of the last track."""
    status = Follower(s, "status")
    volume = Follower(s, "volume")
    try:
        clicked = time.monotonic()
        s.click(x0 + 215 + 15, y0 + 208 + 13)        # the pause button
        delay = status.delay("Paused", clicked)
        r.check(delay is not None and delay < 0.5, f"pause button announced ({delay} s)")
        time.sleep(0.8)  # not a double click, which the pause button takes as one
        clicked = time.monotonic()
        s.click(x0 + 215 + 15, y0 + 208 + 13)
        delay = status.delay("Playing", clicked)
        r.check(delay is not None and delay < 0.5, f"resume announced ({delay} s)")
        clicked = time.monotonic()
        s.click(x0 + 139 + 8 * 8 + 2, y0 + 100)      # dot 409
        delay = volume.delay("0.900000", clicked)
        r.check(delay is not None and delay < 0.5, f"volume dot announced ({delay} s)")

        # Paused first, so that the new track's start is announced as a change.
        playerctl(s, "pause")
        r.check(wait_for(s, "Paused", "status"), "paused before the short track")
        opened = time.monotonic()
        playerctl(s, "open", "file://" + s.folder + "/d%20short.mp3")
        r.check(wait_for(s, "d short.mp3", "metadata", "title"), "the short last track plays")
        start = status.delay("Playing", opened)
        started = opened + (start or 0)
        delay = status.delay("Stopped", started, timeout=10)
        r.check(start is not None and delay is not None and delay < SHORT_SECONDS + 0.5,
                f"its end announced as Stopped ({delay} s after its start was, "
                f"{SHORT_SECONDS} s long)")
    finally:
        status.stop()
        volume.stop()


def check_interfaces(s, r):
    xml = subprocess.run(["gdbus", "introspect", "--session", "--dest",
                          "org.mpris.MediaPlayer2.volnar", "--object-path",
                          "/org/mpris/MediaPlayer2", "--xml"], env=s.env, capture_output=True,
                         text=True, timeout=10).stdout
    for interface, methods, properties in (
            ("org.mpris.MediaPlayer2", ROOT_METHODS, ROOT_PROPERTIES),
            ("org.mpris.MediaPlayer2.Player", PLAYER_METHODS, PLAYER_PROPERTIES)):
        block = re.search(r'<interface name="%s">(.*?)</interface>' % re.escape(interface),
                          xml, re.S)
        r.check(block is not None, f"introspection shows {interface}")
        if block is None:
            continue
        body = block.group(1)
        missing = [m for m in methods if f'<method name="{m}"' not in body]
        missing += [p for p in properties if f'<property name="{p}"' not in body]
        r.check(not missing, f"{interface}: every method and property (missing: {missing})")
    r.check('<signal name="Seeked"' in xml, "the Seeked signal is declared")


def check_station_titles(s, r, radio):
    """playerctl metadata --follow sees the station's title and its change within 1 s."""
    lines = []
    follow = subprocess.Popen(["playerctl", "-p", "volnar", "metadata", "--follow",
                               "--format", "{{title}}"], env=s.env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True)

    def read():
        for line in follow.stdout:
            lines.append((time.monotonic(), line.strip()))
    reader = threading.Thread(target=read, daemon=True)
    reader.start()
    try:
        playerctl(s, "open", radio.url)
        r.check(wait_until(lambda: any(t == "Первая песня" for _, t in lines), timeout=15),
                f"station's first title followed (lines: {[t for _, t in lines][-5:]})")
        r.check(wait_for(s, "Playing", "status"), "station playing")
        changed_at = time.monotonic()
        radio.set_title("Вторая песня")
        seen = wait_until(lambda: any(t == "Вторая песня" for _, t in lines), timeout=5,
                          step=0.02)
        when = next((at for at, t in lines if t == "Вторая песня"), None)
        delay = (when - changed_at) if when else None
        r.check(seen and delay is not None and delay < 1.0,
                f"station's new title followed within 1 s (after {delay})")
        r.check(playerctl(s, "metadata", "album") == "Тест", "album: the station's title")
        radio.set_title("Кино - Группа крови")
        r.check(wait_until(lambda: (playerctl(s, "metadata", "artist"),
                                    playerctl(s, "metadata", "title")) == ("Кино", "Группа крови"),
                           timeout=5),
                "a stream title 'Artist - Title' as artist and title")

        # Another source: the old station title must not stay.
        playerctl(s, "open", "file://" + s.folder + "/a%20tone.mp3")
        r.check(wait_for(s, "a tone.mp3", "metadata", "title"),
                "a file opened by address replaces the station title")
    finally:
        follow.terminate()
        follow.wait(5)


def main(binary):
    run_inside_private_bus()
    r = Results()
    # A listener that gets no burst hears the source as it comes, so a new title reaches the
    # player within a quarter of a second of the source's change: what is measured is the
    # player's part.
    with IcecastServer(title="Первая песня", frequency=880, burst_size=0,
                       metadata_interval=4000) as radio:
        work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-mpris"))
        folder = os.path.join(work, "music")
        os.makedirs(folder, exist_ok=True)
        for i, name in enumerate(TRACKS):
            make_tone(os.path.join(folder, name), 330 + 110 * i, 40)
        make_tone(os.path.join(folder, "d short.mp3"), 660, SHORT_SECONDS)
        with open(os.path.join(work, "radio.pls"), "wb") as f:
            f.write("[Всё подряд]\nFile1={}\nTitle1=Тест\n".format(radio.url).encode())

        with PlayerSession(binary, cwd=work, args=[os.path.join(folder, "a tone.mp3")]) as s:
            s.folder = folder
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)

            r.check(wait_for(s, "Playing", "status", timeout=10), "status: Playing")
            r.check(playerctl(s, "metadata", "title") == "a tone.mp3", "title: the file name")

            playerctl(s, "play-pause")
            r.check(wait_for(s, "Paused", "status"), "play-pause pauses")
            playerctl(s, "play-pause")
            r.check(wait_for(s, "Playing", "status"), "play-pause resumes")
            # dbus-send's default, as shortcut scripts send it: a signal, no reply awaited.
            dbus_send(s, "Player.PlayPause")
            r.check(wait_for(s, "Paused", "status"), "dbus-send PlayPause (a signal) pauses")
            dbus_send(s, "Player.PlayPause")
            r.check(wait_for(s, "Playing", "status"), "dbus-send PlayPause (a signal) resumes")

            playerctl(s, "next")
            r.check(wait_for(s, "b tone.mp3", "metadata", "title"), "next: the second track")
            playerctl(s, "previous")
            r.check(wait_for(s, "a tone.mp3", "metadata", "title"), "previous: the first again")

            time.sleep(1.5)
            first = float(playerctl(s, "position") or -1)
            time.sleep(1.0)
            later = float(playerctl(s, "position") or -1)
            r.check(0.5 < first < later, f"position advances ({first} s, then {later} s)")
            playerctl(s, "position", "20")
            moved = float(playerctl(s, "position") or -1)
            r.check(wait_until(lambda: 19.5 < float(playerctl(s, "position") or -1) < 23),
                    f"position 20 seeks there (reads {moved} s)")

            # Volume: what the dots and the mini window show for 30, set with the mouse ...
            s.click(x0 + 139 + 8 * 2 + 2, y0 + 100)  # dot 403
            time.sleep(0.3)
            dots_30 = region(s.screenshot(), x0 + DOTS[0], y0 + DOTS[1], DOTS[2], DOTS[3])
            s.click(x0 + 300, y0 + 60, button=3)
            mini = s.wait_window("мини")
            mx, my, _, _ = s.geometry(mini)
            s.click(mx + 100 + 30, my + 40)           # the mini bar at 30 percent
            time.sleep(0.3)
            mini_30 = region(s.screenshot(), mx + MINI_VOLUME[0], my + MINI_VOLUME[1],
                             MINI_VOLUME[2], MINI_VOLUME[3])
            s.click(mx + 100 + 70, my + 40)           # ... then elsewhere ...
            time.sleep(0.3)
            mini_70 = region(s.screenshot(), mx + MINI_VOLUME[0], my + MINI_VOLUME[1],
                             MINI_VOLUME[2], MINI_VOLUME[3])
            r.check(not same(mini_30, mini_70), "the mini window shows 70 otherwise than 30")
            # ... and 30 again from the desktop.
            playerctl(s, "volume", "0.3")
            r.check(wait_for(s, "0.300000", "volume"), "volume reads 0.3")
            time.sleep(0.3)
            mini_now = region(s.screenshot(), mx + MINI_VOLUME[0], my + MINI_VOLUME[1],
                              MINI_VOLUME[2], MINI_VOLUME[3])
            r.check(same(mini_now, mini_30), "mini bar and label show 30")
            s.click(mx + 50, my + 8, button=3)
            win = s.wait_window("Плеер")
            time.sleep(0.3)
            dots_now = region(s.screenshot(), x0 + DOTS[0], y0 + DOTS[1], DOTS[2], DOTS[3])
            r.check(same(dots_now, dots_30), "the dots show 30 (three lit)")

            check_interfaces(s, r)
            check_announcements(s, r, x0, y0)
            check_station_titles(s, r, radio)

            # A second start hands its file over and ends; the first one plays it.
            second = subprocess.run([s.binary, "c tone.mp3"], cwd=folder, env=s.env,
                                    capture_output=True, timeout=20)
            r.check(second.returncode == 0, f"second start exits 0 ({second.returncode})")
            r.check(wait_for(s, "c tone.mp3", "metadata", "title"),
                    "the first player plays the second start's file")
            r.check(s.alive() and len(s.find_windows("Плеер")) == 1,
                    "one player, one main window")

            playerctl(s, "stop")
            r.check(wait_for(s, "Stopped", "status"), "stop: Stopped")
            # Quit with the open-file dialog open: the dialog is cancelled, the player ends.
            before = s.shown_windows()
            s.click(x0 + 373, y0 + 221)
            r.check(wait_until(lambda: s.shown_windows() > before, timeout=10),
                    "the open-file dialog is open")
            subprocess.run(["gdbus", "call", "--session", "--dest",
                            "org.mpris.MediaPlayer2.volnar", "--object-path",
                            "/org/mpris/MediaPlayer2", "--method",
                            "org.mpris.MediaPlayer2.Quit"], env=s.env, capture_output=True,
                           timeout=10)
            r.check(wait_until(lambda: not s.alive(), timeout=10) and s.player.returncode == 0,
                    "Quit ends the player with code 0, the open dialog too")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
