"""Pixel helpers for the end-to-end tests: regions of screenshots compared with the skin
files the executable embeds."""

import os

from PIL import Image, ImageChops, ImageFont, ImageDraw, ImageStat

REPO = os.path.normpath(os.path.join(os.path.dirname(__file__), "..", ".."))
SKIN_DIR = os.path.join(REPO, "src", "skin", "data")


def skin(name):
    return Image.open(os.path.join(SKIN_DIR, name))


def region(image, x, y, w, h):
    return image.crop((x, y, x + w, y + h)).convert("RGB")


def mean_difference(a, b):
    """Mean absolute difference of two same-sized RGB images, 0..255."""
    diff = ImageChops.difference(a.convert("RGB"), b.convert("RGB"))
    return sum(ImageStat.Stat(diff).mean) / 3


def over(background, lit, x, y):
    """The background region at (x, y) with an RGBA image blended over it."""
    base = region(background, x, y, lit.width, lit.height).convert("RGBA")
    return Image.alpha_composite(base, lit.convert("RGBA")).convert("RGB")


def count_pixels(image, colour, tolerance=12):
    """How many pixels lie within `tolerance` of `colour` in every channel."""
    r0, g0, b0 = colour
    n = 0
    for r, g, b in image.convert("RGB").getdata():
        if abs(r - r0) <= tolerance and abs(g - g0) <= tolerance and abs(b - b0) <= tolerance:
            n += 1
    return n


def render_text(background, text, font_file, pixel_size, x, y, colour, bold=False):
    """The background with `text` drawn at (x, y), its top-left corner at the font's ascent;
    `bold` imitates a synthesised bold by drawing the text twice, one pixel apart."""
    image = background.convert("RGB").copy()
    font = ImageFont.truetype(os.path.join(SKIN_DIR, font_file), pixel_size)
    draw = ImageDraw.Draw(image)
    for dx in ((0, 1) if bold else (0,)):
        draw.text((x + dx, y), text, font=font, fill=colour, anchor="la")
    return image


def best_text_match(shown, background, text, font_file, pixel_size, x, y, colour, bold=False):
    """The smallest difference between `shown` and the text rendered within a pixel of
    (x, y): two renderers may place the same glyphs a pixel apart."""
    return min(mean_difference(shown, render_text(background, text, font_file, pixel_size,
                                                  x + dx, y + dy, colour, bold))
               for dx in (-1, 0, 1) for dy in (-1, 0, 1))


def count_foreground(image, threshold=60):
    """How many pixels differ clearly from the region's most common colour (text on a
    plain background, whatever the colours)."""
    pixels = list(image.convert("RGB").getdata())
    background = max(set(pixels), key=pixels.count)
    return sum(1 for p in pixels if sum(abs(a - b) for a, b in zip(p, background)) > threshold)
