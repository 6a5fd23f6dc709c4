"""The embedded skin images: slot number, file name, size and PNG colour type.

This is the one place that ties an image slot of the player to a file in src/skin/data;
the generator, the preview sheet and the art test all read it. Each image is made at every
scale of SCALES, drawn for that resolution: "name.png" at 1x, "name@2x.png" with twice the
pixels each way, and so on; the player shows the set that fits the screen.
"""

import os

DATA_DIR = os.path.normpath(
    os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "skin", "data"))

# slot: (file name, width, height, PNG colour type)
IMAGES = {
    2: ("main_skin.png", 600, 400, "RGB"),
    7: ("clock_box.png", 111, 50, "RGB"),
    8: ("play_lit.png", 30, 27, "RGBA"),
    9: ("close_lit.png", 30, 20, "RGBA"),
    10: ("playlist_lit.png", 30, 20, "RGBA"),
    11: ("pause_lit.png", 30, 27, "RGBA"),
    20: ("open_lit.png", 30, 27, "RGBA"),
    21: ("previous_lit.png", 30, 27, "RGBA"),
    22: ("next_lit.png", 30, 27, "RGBA"),
    23: ("volume_dot_lit.png", 5, 5, "RGBA"),
    24: ("speaker_lit.png", 14, 16, "RGBA"),
    25: ("radio_lit.png", 30, 20, "RGBA"),
    26: ("seek_knob.png", 5, 12, "RGB"),
    27: ("mini_skin.png", 225, 52, "RGB"),
    12: ("minimise_lit.png", 30, 20, "RGBA"),
    13: ("restore_lit.png", 30, 20, "RGBA"),
    14: ("repeat_key_lit.png", 30, 20, "RGBA"),
    15: ("equaliser_lit.png", 30, 20, "RGBA"),
    16: ("repeat_lit.png", 34, 10, "RGBA"),
    17: ("repeat_one_lit.png", 34, 10, "RGBA"),
    30: ("shuffle_lit.png", 38, 10, "RGBA"),
    # The two backgrounds shown where the desktop composites: the art of 2 and 27 without
    # their backdrops.
    31: ("main_skin_see_through.png", 600, 400, "RGBA"),
    32: ("mini_skin_see_through.png", 225, 52, "RGBA"),
}

# Device pixels per pixel of the sets made and embedded.
SCALES = (1, 2, 3)

# family name: file name
FONTS = {
    "MicroTech": "microtech.ttf",
    "Digital-7": "digital7.ttf",
}


def scaled_name(name, scale):
    base, ext = os.path.splitext(name)
    return name if scale == 1 else "%s@%dx%s" % (base, scale, ext)


def image_path(slot, scale=1):
    return os.path.join(DATA_DIR, scaled_name(IMAGES[slot][0], scale))


def font_path(family):
    return os.path.join(DATA_DIR, FONTS[family])
