"""Hand-set pixel letters for the captions painted into the skin.

Captions are only 5 or 7 pixels high, too small for outline rendering to stay crisp, so
they are drawn from these bitmaps ("#" = ink). The same bitmap makes the unlit caption in
the background and the lit one in a hover image, so the two coincide pixel for pixel.
"""

import numpy as np

import raster

LARGE = {  # 5 x 7, square-shouldered technical letters
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
}

SMALL = {  # 3 x 5
    "A": [".#.", "#.#", "###", "#.#", "#.#"],
    "B": ["##.", "#.#", "##.", "#.#", "##."],
    "D": ["##.", "#.#", "#.#", "#.#", "##."],
    "E": ["###", "#..", "##.", "#..", "###"],
    "F": ["###", "#..", "##.", "#..", "#.."],
    "H": ["#.#", "#.#", "###", "#.#", "#.#"],
    "I": ["###", ".#.", ".#.", ".#.", "###"],
    "K": ["#.#", "#.#", "##.", "#.#", "#.#"],
    "L": ["#..", "#..", "#..", "#..", "###"],
    "O": ["###", "#.#", "#.#", "#.#", "###"],
    "P": ["##.", "#.#", "##.", "#..", "#.."],
    "R": ["##.", "#.#", "##.", "#.#", "#.#"],
    "S": [".##", "#..", ".#.", "..#", "##."],
    "T": ["###", ".#.", ".#.", ".#.", ".#."],
    "U": ["#.#", "#.#", "#.#", "#.#", "###"],
    "V": ["#.#", "#.#", "#.#", "#.#", ".#."],
    "-": ["...", "...", "###", "...", "..."],
    " ": ["...", "...", "...", "...", "..."],
}


def text_width(text, font, spacing):
    widths = [len(font[c][0]) for c in text]
    return sum(widths) + spacing * max(0, len(widths) - 1)


def text_mask(width, height, text, x, y, font, spacing=1):
    """0/1 mask of the given size with text's top-left corner at (x, y). At a larger scale
    each letter pixel is a square of device pixels: the letters stay the same pixel art."""
    mask = np.zeros((height, width), dtype=np.float64)
    for c in text:
        rows = font[c]
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch == "#" and 0 <= y + j < height and 0 <= x + i < width:
                    mask[y + j, x + i] = 1.0
        x += len(rows[0]) + spacing
    k = raster.SCALE
    return mask if k == 1 else np.kron(mask, np.ones((k, k)))
