#!/usr/bin/python3
"""Writes the skin PNG files into src/skin/data, at each scale of SCALES.

Run with Debian's interpreter (it has python3-pil and python3-numpy):
    /usr/bin/python3 tools/skin/make_skin.py
The output depends on nothing but these sources: running it again gives the same bytes.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import raster  # noqa: E402
from lit_images import lit_images  # noqa: E402
from main_skin import clock_box_from, paint_main_skin, paint_main_skin_see_through  # noqa: E402
from mini_skin import paint_mini_skin, paint_mini_skin_see_through, paint_seek_knob  # noqa: E402
from skin_table import DATA_DIR, IMAGES, SCALES, image_path  # noqa: E402


def build_images():
    main = paint_main_skin()
    images = {
        2: raster.to_rgb_image(main),
        7: raster.to_rgb_image(clock_box_from(main)),
        26: raster.to_rgb_image(paint_seek_knob()),
        27: raster.to_rgb_image(paint_mini_skin()),
        31: raster.to_rgba_image(*paint_main_skin_see_through()),
        32: raster.to_rgba_image(*paint_mini_skin_see_through()),
    }
    images.update(lit_images())
    return images


def check(slot, img, scale):
    name, w, h, mode = IMAGES[slot]
    w, h = w * scale, h * scale
    if img.size != (w, h) or img.mode != mode:
        raise SystemExit("%s: built %s %s, want %dx%d %s" % (name, img.size, img.mode, w, h, mode))


def main():
    os.makedirs(DATA_DIR, exist_ok=True)
    for scale in SCALES:
        raster.set_scale(scale)
        images = build_images()
        for slot in sorted(IMAGES):
            img = images[slot]
            check(slot, img, scale)
            # No text chunks, no time stamp: the file is a pure function of the pixels.
            img.save(image_path(slot, scale), format="PNG", optimize=True)
        total = sum(os.path.getsize(image_path(s, scale)) for s in IMAGES)
        print("%dx: wrote %d images, %d bytes" % (scale, len(IMAGES), total))
    raster.set_scale(1)


if __name__ == "__main__":
    main()
