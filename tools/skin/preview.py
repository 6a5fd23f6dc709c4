#!/usr/bin/python3
"""Draws a preview sheet of the skin and fonts (not part of the build, not committed):
    /usr/bin/python3 tools/skin/preview.py [out.png]     (default tools/skin/preview.png)

It shows the main skin as the player paints it while running (every lit image over its
control, five volume dots lit, the strips, the seek bar and the clock drawn on top), the
plain skin, the mini window, enlarged button rows unlit and lit, and both fonts at the
sizes the player uses.
"""

import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from PIL import Image, ImageDraw, ImageFont  # noqa: E402

import layout  # noqa: E402
import palette as P  # noqa: E402
from lit_images import LIT_BUTTONS  # noqa: E402
from skin_table import IMAGES, font_path, image_path  # noqa: E402

SAMPLE = "...Каналов-0...0 kHz..."
CLOCK = "09:05:07"
FONT_LINES = [
    SAMPLE + " VOLNAR",
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789",
    "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ абвгдеёжзийклмнопрстуфхцчшщъыьэюя",
    "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~ ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏђ‘’“”•–—™",
    "љ›њќћџЎўЈ¤Ґ¦§©Є«¬®Ї°±Ііґµ¶·№є»јЅѕї ÀÇÈÉÊËÏÑÔÖàçèéêëïñôö",
]


def load(slot):
    return Image.open(image_path(slot)).convert(IMAGES[slot][3])


def font(family, px):
    return ImageFont.truetype(font_path(family), px)


def draw_text(img, xy, text, fnt, colour, bold=False):
    d = ImageDraw.Draw(img)
    # "la": the given point is the top-left of the line box, as the player draws text.
    d.text(xy, text, font=fnt, fill=colour, anchor="la")
    if bold:  # a rough stand-in for the platform's synthetic bold
        d.text((xy[0] + 1, xy[1]), text, font=fnt, fill=colour, anchor="la")


def running_main(lit=True):
    img = load(2).convert("RGBA")
    # Strips the refresh tick paints.
    strip = Image.new("RGBA", (267, 25), P.DISPLAY)
    draw_text(strip, (49, 0), SAMPLE, font("MicroTech", 24), P.TEXT)
    img.alpha_composite(strip, (221, 126))
    title = Image.new("RGBA", (250, 10), P.DISPLAY)
    tf = font("MicroTech", 11)
    w = ImageDraw.Draw(title).textlength("Radio VOLNAR - Каналов", font=tf)
    draw_text(title, (int((250 - w) // 2), -1), "Radio VOLNAR - Каналов", tf, P.TEXT)
    img.alpha_composite(title, (230, 115))
    for i in range(42):
        h = int(round(12 * abs(math.sin(i * 0.37) * math.exp(-i / 30.0))))
        bar = Image.new("RGBA", (5, 12), P.DISPLAY)
        if h:
            ImageDraw.Draw(bar).rectangle((0, 12 - h, 4, 11), fill=P.BAR)
        img.alpha_composite(bar, (230 + 6 * i, 154))
    seek = Image.new("RGBA", (259, 12))
    sd = ImageDraw.Draw(seek)
    for y, c in enumerate(P.SEEK_ROWS):
        sd.line((0, y, 258, y), fill=c)
    p = 97
    sd.rectangle((0, 4, p - 1, 6), fill=P.SEEK_PROGRESS)
    sd.line((0, 5, p - 1, 5), fill=(110, 110, 110))
    seek.alpha_composite(load(26).convert("RGBA"), (p, 0))
    img.alpha_composite(seek, (225, 174))
    img.alpha_composite(load(7).convert("RGBA"), layout.CLOCK_BOX[:2])
    draw_text(img, layout.CLOCK_TEXT_AT, CLOCK, font("Digital-7", 27), P.TEXT, bold=True)
    if lit:
        for slot, (_, frame) in LIT_BUTTONS.items():
            img.alpha_composite(load(slot), frame[:2])
        img.alpha_composite(load(24), layout.SPEAKER[:2])
        for n in range(401, 406):
            img.alpha_composite(load(23), layout.dot(n)[:2])
    return img.convert("RGB")


def running_mini(hover):
    img = load(27).convert("RGBA")
    strip = Image.new("RGBA", (201, 13), P.DISPLAY)
    draw_text(strip, (48, 0), SAMPLE, font("MicroTech", 11), P.TEXT, bold=True)
    img.alpha_composite(strip, (12, 14))
    bar = Image.new("RGBA", (100, 8), P.MINI_WELL)
    bd = ImageDraw.Draw(bar)
    bd.rectangle((0, 0, 49, 4), fill=P.MINI_LIT)
    for k in range(54):
        bd.line((1 + 2 * k, 0, 1 + 2 * k, 5), fill=P.MINI_WELL)
    bd.line((0, 0, 0, 4), fill=P.MINI_LIT)
    bd.line((0, 7, 100, 7), fill=P.MINI_LINE)
    img.alpha_composite(bar, (100, 37))
    num = Image.new("RGBA", (15, 10), P.MINI_WELL)
    draw_text(num, (1, 0), "50", ImageFont.truetype("DejaVuSans.ttf", 9), P.MINI_LIT)
    img.alpha_composite(num, (207, 35))
    link = ImageDraw.Draw(img)
    link.text((218, 0), "*", font=ImageFont.truetype("LiberationSans-Regular.ttf", 9),
              fill=P.LINK_HOVER if hover else P.LINK_TEXT)
    return img.convert("RGB")


def zoom(img, box, k):
    part = img.crop(box)
    return part.resize((part.width * k, part.height * k), Image.NEAREST)


def font_sheet(width):
    sheet = Image.new("RGB", (width, 250), P.DISPLAY)
    y = 6
    for px in (24, 11):
        for text in FONT_LINES:
            draw_text(sheet, (8, y), text, font("MicroTech", px), P.TEXT)
            y += px + 3
    draw_text(sheet, (8, y + 2), CLOCK + "  00:00:00  23:59:59  -12.5  Hi: AbCdEF",
              font("Digital-7", 27), P.TEXT, bold=True)
    return sheet


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "preview.png")
    lit = running_main(True)
    plain = load(2)
    sheet = Image.new("RGB", (1230, 1420), (30, 30, 30))
    sheet.paste(lit, (10, 10))
    sheet.paste(plain, (620, 10))
    sheet.paste(running_mini(False).resize((450, 104), Image.NEAREST), (10, 420))
    sheet.paste(running_mini(True).resize((450, 104), Image.NEAREST), (470, 420))
    sheet.paste(zoom(plain, (66, 200, 534, 244), 2), (10, 540))
    sheet.paste(zoom(lit, (66, 200, 534, 244), 2), (10, 636))
    sheet.paste(zoom(plain, (100, 84, 500, 192), 3), (10, 740))
    sheet.paste(zoom(lit, (100, 84, 300, 192), 3), (10, 740))
    sheet.paste(font_sheet(1210), (10, 1070))
    sheet.save(out)
    print(out)


if __name__ == "__main__":
    main()
