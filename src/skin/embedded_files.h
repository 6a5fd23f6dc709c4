// The skin files and the icon linked into the executable (see CMakeLists.txt), each between two
// symbols; a skin image with its 2x and 3x files.
#pragma once

#include <cstddef>

#include "widgets.h"

struct EmbeddedFile {
    const unsigned char *data;
    std::size_t size;
};

#define VOLNAR_EMBEDDED_FILE(symbol)                                      \
    extern "C" const unsigned char symbol[];                              \
    extern "C" const unsigned char symbol##_end[];                        \
    inline EmbeddedFile Embedded_##symbol() {                             \
        return {symbol, static_cast<std::size_t>(symbol##_end - symbol)}; \
    }

// An image of the skin: its files at 1x, 2x and 3x, as the widget layer takes them.
#define VOLNAR_EMBEDDED_IMAGE(symbol)                                                 \
    VOLNAR_EMBEDDED_FILE(symbol)                                                      \
    VOLNAR_EMBEDDED_FILE(symbol##_2x)                                                 \
    VOLNAR_EMBEDDED_FILE(symbol##_3x)                                                 \
    inline EncodedImageSet EmbeddedSet_##symbol() {                                   \
        const EmbeddedFile files[3] = {Embedded_##symbol(), Embedded_##symbol##_2x(), \
                                       Embedded_##symbol##_3x()};                     \
        EncodedImageSet set{};                                                        \
        for (int i = 0; i < 3; ++i) {                                                 \
            set.data[i] = files[i].data;                                              \
            set.length[i] = files[i].size;                                            \
        }                                                                             \
        return set;                                                                   \
    }

VOLNAR_EMBEDDED_IMAGE(skin_main_skin_png)
VOLNAR_EMBEDDED_IMAGE(skin_clock_box_png)
VOLNAR_EMBEDDED_IMAGE(skin_play_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_close_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_playlist_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_pause_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_open_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_previous_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_next_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_volume_dot_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_speaker_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_radio_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_seek_knob_png)
VOLNAR_EMBEDDED_IMAGE(skin_mini_skin_png)
VOLNAR_EMBEDDED_IMAGE(skin_minimise_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_restore_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_repeat_key_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_equaliser_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_repeat_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_repeat_one_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_shuffle_lit_png)
VOLNAR_EMBEDDED_IMAGE(skin_main_skin_see_through_png)
VOLNAR_EMBEDDED_IMAGE(skin_mini_skin_see_through_png)
VOLNAR_EMBEDDED_FILE(skin_microtech_ttf)
VOLNAR_EMBEDDED_FILE(skin_digital7_ttf)
VOLNAR_EMBEDDED_FILE(icon_16_png)
VOLNAR_EMBEDDED_FILE(icon_24_png)
VOLNAR_EMBEDDED_FILE(icon_32_png)
VOLNAR_EMBEDDED_FILE(icon_48_png)
VOLNAR_EMBEDDED_FILE(icon_64_png)
VOLNAR_EMBEDDED_FILE(icon_128_png)

#undef VOLNAR_EMBEDDED_IMAGE
#undef VOLNAR_EMBEDDED_FILE
