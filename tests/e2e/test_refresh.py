"""The moving parts while something plays: the scrolling line moves, the seek knob advances,
the spectrum bars light up for low tones, and a station's title from a real Icecast server
scrolls in the line and follows its change."""

import os
import sys
import time

import numpy
from PIL import Image, ImageDraw, ImageFilter, ImageFont

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))

from harness import PlayerSession, Results, wait_until
from icecast_server import IcecastServer
from imaging import SKIN_DIR, count_pixels, mean_difference, region
from sound import disk_env, make_tone

STRIP = (221, 126, 267, 25)
SEEK = (225, 174, 259, 12)


def seek_progress(shot, x0, y0):
    """Pixels of progress in the seek bar's row 4 (the progress colour #B1B1B1)."""
    row = region(shot, x0 + SEEK[0], y0 + SEEK[1] + 4, SEEK[2], 1)
    return count_pixels(row, (177, 177, 177), 3)


def lit_bars(shot, x0, y0):
    lit = 0
    for i in range(42):
        bar = region(shot, x0 + 230 + 6 * i, y0 + 154, 5, 12)
        lit += count_pixels(bar, (196, 198, 204), 3) > 0
    return lit


def title_match(strip, title):
    """How well the strip shows `title` at its best place: the mean difference of the blurred
    grey images, 0..255 (the scrolling text may stand anywhere, partly outside)."""
    font = ImageFont.truetype(os.path.join(SKIN_DIR, "microtech.ttf"), 24)
    width = int(font.getlength(title)) + 1
    grey = strip.convert("L")
    background = int(numpy.bincount(numpy.asarray(grey).ravel()).argmax())
    shown = numpy.asarray(grey.filter(ImageFilter.GaussianBlur(1)), dtype=numpy.float32)
    best = 255.0
    for dy in (-1, 0):
        for x in range(-width + 20, STRIP[2] - 20):
            image = Image.new("L", (STRIP[2], STRIP[3]), background)
            ImageDraw.Draw(image).text((x, dy), title, font=font, fill=206, anchor="la")
            rendered = numpy.asarray(image.filter(ImageFilter.GaussianBlur(1)),
                                     dtype=numpy.float32)
            best = min(best, float(abs(shown - rendered).mean()))
    return best


def main(binary):
    r = Results()
    work = os.path.abspath(os.path.join(os.path.dirname(binary), "e2e-refresh"))
    os.makedirs(work, exist_ok=True)
    track = os.path.join(work, "low tones.mp3")
    make_tone(track, 86, 20, extra=("-b:a", "192k"))
    with IcecastServer(title="Первая песня", frequency=220) as radio:
        with open(os.path.join(work, "radio.pls"), "wb") as f:
            f.write("[Всё подряд]\nFile1={}\nTitle1=Эфир\n".format(radio.url).encode("cp1251"))
        out = os.path.join(work, "sound.raw")
        with PlayerSession(binary, cwd=work, extra_env=disk_env(out)) as s:
            win = s.wait_window("Плеер")
            x0, y0, _, _ = s.geometry(win)
            s.click(x0 + 373, y0 + 221)
            time.sleep(1.5)
            s.type_text(track)
            s.key("Return")
            time.sleep(2.0)
            s.move(x0 + 40, y0 + 40)
            first = s.screenshot()
            time.sleep(1.0)
            second = s.screenshot()
            moved = mean_difference(region(first, x0 + STRIP[0], y0 + STRIP[1], *STRIP[2:]),
                                    region(second, x0 + STRIP[0], y0 + STRIP[1], *STRIP[2:]))
            r.check(moved > 1.0, f"scrolling line moved ({moved:.2f})")
            p1, p2 = seek_progress(first, x0, y0), seek_progress(second, x0, y0)
            r.check(0 < p1 < p2, f"seek knob advanced ({p1} -> {p2} pixels)")
            bars = lit_bars(second, x0, y0)
            r.check(bars >= 2, f"spectrum bars lit for low tones ({bars} bars)")

            # The station: its title scrolls in the line, and a new title replaces it.
            s.click_panel_button(x0, y0, 116, 220)
            s.click(x0 + 145, y0 + 247, repeat=2)
            def shows(title, other):
                strip = region(s.screenshot(), x0 + STRIP[0], y0 + STRIP[1], *STRIP[2:])
                return title_match(strip, title) < 0.7 * title_match(strip, other)
            r.check(wait_until(lambda: shows("Первая песня", "Вторая песня"), timeout=20,
                               step=0.5), "station title scrolls in the line")
            radio.set_title("Вторая песня")
            r.check(wait_until(lambda: shows("Вторая песня", "Первая песня"), timeout=30,
                               step=0.5), "the line follows the title's change")
            r.check(s.alive(), "player still running")
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
