#!/usr/bin/python3
"""Draws every PNG size of the icon at its own size and enlarged without smoothing, on a dark
and on a light task bar, into one image for looking at:
    /usr/bin/python3 tools/icon/preview.py preview.png [ICON_FOLDER]
"""

import os
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from make_icon import OUTPUT, SIZES  # noqa: E402

BACKGROUNDS = ((32, 33, 36), (236, 236, 236))
ZOOM = 4


def main():
    out = sys.argv[1]
    folder = sys.argv[2] if len(sys.argv) > 2 else OUTPUT
    icons = {s: Image.open(os.path.join(folder, f"volnar-{s}.png")).convert("RGBA")
             for s in SIZES}
    small = [s for s in SIZES if s <= 64]
    strip_w = sum(s * (ZOOM + 1) + 16 for s in small) + 16
    strip_h = max(small) * ZOOM + 24
    width = max(strip_w, 256 + 128 + 64 + 64)
    sheet = Image.new("RGB", (width, (strip_h + 256 + 24) * len(BACKGROUNDS)))
    y = 0
    for background in BACKGROUNDS:
        band = Image.new("RGBA", (width, strip_h + 256 + 24), background + (255,))
        x = 8
        for s in small:
            band.alpha_composite(icons[s], (x, 8))
            big = icons[s].resize((s * ZOOM, s * ZOOM), Image.NEAREST)
            band.alpha_composite(big, (x + s + 8, 8))
            x += s * (ZOOM + 1) + 16
        band.alpha_composite(icons[256], (8, strip_h + 8))
        band.alpha_composite(icons[128], (8 + 256 + 16, strip_h + 8))
        sheet.paste(band.convert("RGB"), (0, y))
        y += band.height
    sheet.save(out)


if __name__ == "__main__":
    main()
