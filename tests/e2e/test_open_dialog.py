"""The open dialog as a user meets it under a session that is not Russian: its buttons and
labels read "Открыть", "Отмена", "Имя файла:" (found in a screenshot by matching the words as
DejaVu Sans draws them); it opens in the user's music folder, then in the folder of the track
that plays; a folder chosen in it is listed with its sub-folders and plays from its first
track; a station list file chosen in it opens the station panel; Escape cancels and changes
nothing."""

import os
import shutil
import subprocess
import sys
import time

import numpy as np
from numpy.lib.stride_tricks import sliding_window_view
from PIL import Image, ImageDraw, ImageFont

from harness import PlayerSession, Results, run_inside_private_bus, wait_until
from imaging import mean_difference, region
from sound import make_tone

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
OPEN_BUTTON = (373, 221)
PANEL = (105, 240, 390, 150)


def word_picture(text, size):
    font = ImageFont.truetype(FONT, size)
    left, top, right, bottom = font.getbbox(text)
    picture = Image.new("L", (right - left + 4, bottom - top + 4), 255)
    ImageDraw.Draw(picture).text((2 - left, 2 - top), text, font=font, fill=0)
    return np.asarray(picture, dtype=np.float32)


def word_match(area, text):
    """How well the word, drawn at the dialog's sizes, matches its best place in the area:
    the normalised correlation, 1 for the same pixels."""
    pixels = np.asarray(area.convert("L"), dtype=np.float32)
    best = 0.0
    for size in (11, 12, 13):
        word = word_picture(text, size)
        if word.shape[0] > pixels.shape[0] or word.shape[1] > pixels.shape[1]:
            continue
        windows = sliding_window_view(pixels, word.shape)
        centred = word - word.mean()
        spread = windows - windows.mean(axis=(2, 3), keepdims=True)
        score = (spread * centred).sum(axis=(2, 3)) / (
            np.sqrt((spread * spread).sum(axis=(2, 3))) * np.sqrt((centred * centred).sum())
            + 1e-6)
        best = max(best, float(score.max()))
    return best


def playerctl(s, *args):
    out = subprocess.run(["playerctl", "-p", "volnar"] + list(args), env=s.env,
                         capture_output=True, text=True, timeout=10)
    return out.stdout.strip()


def dialog_window(s):
    """The player's shown window that is neither of its own two, or None."""
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "volnar"],
                         env=s.env, capture_output=True, text=True, timeout=10).stdout.split()
    for window in map(int, out):
        name = subprocess.run(["xdotool", "getwindowname", str(window)], env=s.env,
                              capture_output=True, text=True, timeout=10).stdout.strip()
        if name not in ("Плеер", "мини"):
            return window
    return None


def open_dialog(s, x0, y0):
    s.click(x0 + OPEN_BUTTON[0], y0 + OPEN_BUTTON[1])
    if not wait_until(lambda: dialog_window(s) is not None, timeout=10):
        return None
    time.sleep(1.0)  # shown, its folder read, the file name field focused
    return dialog_window(s)


def choose(s, x0, y0, typed):
    """Opens the dialog, types a name into its file name field and presses Return; true
    once the dialog is gone."""
    if open_dialog(s, x0, y0) is None:
        return False
    s.type_text(typed)
    s.key("Return")
    return wait_until(lambda: dialog_window(s) is None, timeout=10)


def main(binary):
    run_inside_private_bus()
    r = Results()
    language = os.environ.get("LC_ALL") or os.environ.get("LANG", "")
    r.check(not language.startswith("ru"), f"the session's language is not Russian ({language!r})")
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-open-dialog"))
    shutil.rmtree(work, ignore_errors=True)
    music = os.path.join(work, "Музыка")
    os.makedirs(os.path.join(music, "album", "cd2"))
    make_tone(os.path.join(music, "album", "a tone.mp3"), 440, 30)
    make_tone(os.path.join(music, "album", "cd2", "b tone.mp3"), 550, 30)
    config = os.path.join(work, "config")
    os.makedirs(config)
    with open(os.path.join(config, "user-dirs.dirs"), "w", encoding="utf-8") as f:
        f.write(f'XDG_MUSIC_DIR="{music}"\n')
    stations = os.path.join(work, "mine.pls")
    with open(stations, "w", encoding="utf-8") as f:
        f.write("[playlist]\nFile1=http://127.0.0.1:9/one\nTitle1=Первая\nNumberOfEntries=1\n")

    with PlayerSession(binary, cwd=work, extra_env={"XDG_CONFIG_HOME": config}) as s:
        x0, y0, _, _ = s.geometry(s.wait_window("Плеер"))
        dialog = open_dialog(s, x0, y0)
        r.check(dialog is not None, "the open button brings up the dialog")
        if dialog is not None:
            dx, dy, dw, dh = s.geometry(dialog)
            shot = s.screenshot()
            shot.save("open-dialog.png")
            bottom = shot.crop((dx, dy + dh - 70, dx + dw, dy + dh))
            scores = {w: word_match(bottom, w) for w in
                      ("Открыть", "Отмена", "Имя файла:", "Open", "Cancel", "File name:")}
            print("word matches:", {w: round(v, 2) for w, v in scores.items()})
            for russian, english in (("Открыть", "Open"), ("Отмена", "Cancel"),
                                     ("Имя файла:", "File name:")):
                r.check(scores[russian] > 0.8 and scores[english] < scores[russian] - 0.15,
                        f"the dialog reads {russian!r}, not {english!r}")
            s.key("Escape")
            r.check(wait_until(lambda: dialog_window(s) is None, timeout=5),
                    "Escape closes the dialog")
            r.check(playerctl(s, "status") in ("Stopped", ""), "a cancel plays nothing")

        # In the music folder: its sub-folder's name alone chooses that folder.
        r.check(choose(s, x0, y0, "album"), "a folder chosen by its name closes the dialog")
        r.check(wait_until(lambda: playerctl(s, "metadata", "title") == "a tone.mp3",
                           timeout=10),
                f"the folder's first track plays ({playerctl(s, 'metadata', 'title')!r})")
        r.check(s.click_panel_button(x0, y0, 476, 216), "the track panel opens")
        s.move(x0 + 560, y0 + 380)
        time.sleep(0.3)
        shot = s.screenshot()
        rows = [region(shot, x0 + PANEL[0], y0 + PANEL[1] + i * 15, 300, 15) for i in range(3)]
        blank = region(shot, x0 + PANEL[0], y0 + PANEL[1] + 120, 300, 15)
        listed = [mean_difference(row, blank) > 1.0 for row in rows]
        r.check(listed == [True, True, False],
                f"two tracks listed, the sub-folder's too (rows with text: {listed})")
        s.click_panel_button(x0, y0, 476, 216)

        # Now the dialog stands in the folder of the track that plays.
        r.check(choose(s, x0, y0, "cd2/b tone.mp3"), "a file chosen by a name relative to it")
        r.check(wait_until(lambda: playerctl(s, "metadata", "title") == "b tone.mp3",
                           timeout=10),
                f"the dialog stood in the playing track's folder "
                f"({playerctl(s, 'metadata', 'title')!r})")

        # A pick, and at once, with the pointer still where the dialog closed (over the open
        # button), the button pressed again and that dialog cancelled: the pick plays on.
        if open_dialog(s, x0, y0) is not None:
            s.type_text("../a tone.mp3")
            s.key("Return")
            if dialog_window(s) is not None:  # the name completer took the first Return
                s.key("Return")
            # The pointer still rests on the open button, where the click is asked for: a
            # move there must not wait (xdotool's 15 s wait let a short pick play out and
            # auto-advance walk the folder before the click came).
            began = time.monotonic()
            s.click(x0 + OPEN_BUTTON[0], y0 + OPEN_BUTTON[1])
            took = time.monotonic() - began
            r.check(took < 2.0, f"the click on the button comes at once ({took:.2f} s)")
            r.check(wait_until(lambda: dialog_window(s) is not None, timeout=10),
                    "the button pressed right after a pick opens the dialog again")
            time.sleep(0.5)
            s.key("Escape")
            wait_until(lambda: dialog_window(s) is None, timeout=5)
            time.sleep(1.5)
            r.check(playerctl(s, "status") == "Playing" and
                    playerctl(s, "metadata", "title") == "a tone.mp3",
                    f"the pick plays on after the second dialog is cancelled "
                    f"({playerctl(s, 'status')!r}, {playerctl(s, 'metadata', 'title')!r})")

        # A station list file opens as the station list: the panel slides open.
        before = region(s.screenshot(), x0 + PANEL[0], y0 + PANEL[1], PANEL[2], PANEL[3])
        r.check(choose(s, x0, y0, stations), "a station list file chosen")
        opened = wait_until(lambda: mean_difference(
            region(s.screenshot(), x0 + PANEL[0], y0 + PANEL[1], PANEL[2], PANEL[3]),
            before) > 3.0, timeout=10)
        r.check(opened, "the station panel opens with the file's stations")
        r.check(s.alive(), "player still running")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
