"""The program's icon in data/icons: what tools/icon/make_icon.py makes today, every hicolor
size square with a transparent surround and an opaque body, the small sizes on whole pixels,
and an SVG that draws the same design."""

import os
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

import numpy
from PIL import Image

REPO = os.path.normpath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tools", "icon"))

import make_icon  # noqa: E402

ICONS = os.path.join(REPO, "data", "icons")
SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def pixels(path):
    with Image.open(path) as image:
        return numpy.asarray(image)


def alpha_of(size):
    return pixels(os.path.join(ICONS, f"volnar-{size}.png"))[..., 3]


class IconArt(unittest.TestCase):
    def test_sizes_are_the_hicolor_ones(self):
        self.assertEqual(make_icon.SIZES, SIZES)
        for size in SIZES:
            with Image.open(os.path.join(ICONS, f"volnar-{size}.png")) as image:
                self.assertEqual(image.size, (size, size))
                self.assertEqual(image.mode, "RGBA")

    def test_committed_files_are_what_the_script_makes(self):
        with tempfile.TemporaryDirectory() as folder:
            sys.argv = ["make_icon.py", folder]
            make_icon.main()
            for size in SIZES:
                made = pixels(os.path.join(folder, f"volnar-{size}.png"))
                kept = pixels(os.path.join(ICONS, f"volnar-{size}.png"))
                self.assertTrue(numpy.array_equal(made, kept), f"{size} px differs")
            with open(os.path.join(folder, "volnar.svg")) as made, \
                    open(os.path.join(ICONS, "volnar.svg")) as kept:
                self.assertEqual(made.read(), kept.read())

    def test_transparent_corners_opaque_body(self):
        for size in SIZES:
            alpha = alpha_of(size)
            for corner in (alpha[0, 0], alpha[0, -1], alpha[-1, 0], alpha[-1, -1]):
                self.assertLess(corner, 128, f"{size} px corner")
            middle = alpha[size // 4:size - size // 4, size // 4:size - size // 4]
            self.assertTrue((middle == 255).all(), f"{size} px body not opaque")
            self.assertGreater((alpha == 0).sum(), 0, f"{size} px has no transparent pixel")

    def test_small_sizes_on_whole_pixels(self):
        # Hinted by hand: only the rounded corners may be partly covered.
        for size in (16, 22, 24):
            alpha = alpha_of(size).copy()
            for rows in (slice(0, 4), slice(size - 4, size)):
                for columns in (slice(0, 4), slice(size - 4, size)):
                    alpha[rows, columns] = 0
            partial = (alpha > 0) & (alpha < 255)
            self.assertFalse(partial.any(), f"{size} px: blurred pixels {numpy.argwhere(partial)}")

    def test_bars_lit_in_the_display_blue(self):
        for size in SIZES:
            rgb = pixels(os.path.join(ICONS, f"volnar-{size}.png"))[..., :3]
            lit = (rgb[..., 2] > 200) & (rgb[..., 2].astype(int) - rgb[..., 0] > 20)
            self.assertGreaterEqual(lit.sum(), 3, f"{size} px: no lit bars")

    def test_svg_is_the_256_design(self):
        root = ElementTree.parse(os.path.join(ICONS, "volnar.svg")).getroot()
        self.assertEqual(root.get("viewBox"), "0 0 256 256")
        rects = root.findall("{http://www.w3.org/2000/svg}rect")
        self.assertEqual(len(rects), 5 + 7)  # key, rim, metal, bezel, display; seven bars


if __name__ == "__main__":
    unittest.main()
