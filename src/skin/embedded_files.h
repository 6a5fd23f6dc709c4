// The skin files and the icon linked into the executable (see CMakeLists.txt), each between two
// symbols.
#pragma once

#include <cstddef>

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

VOLNAR_EMBEDDED_FILE(skin_main_skin_png)
VOLNAR_EMBEDDED_FILE(skin_clock_box_png)
VOLNAR_EMBEDDED_FILE(skin_play_lit_png)
VOLNAR_EMBEDDED_FILE(skin_close_lit_png)
VOLNAR_EMBEDDED_FILE(skin_playlist_lit_png)
VOLNAR_EMBEDDED_FILE(skin_pause_lit_png)
VOLNAR_EMBEDDED_FILE(skin_open_lit_png)
VOLNAR_EMBEDDED_FILE(skin_previous_lit_png)
VOLNAR_EMBEDDED_FILE(skin_next_lit_png)
VOLNAR_EMBEDDED_FILE(skin_volume_dot_lit_png)
VOLNAR_EMBEDDED_FILE(skin_speaker_lit_png)
VOLNAR_EMBEDDED_FILE(skin_radio_lit_png)
VOLNAR_EMBEDDED_FILE(skin_seek_knob_png)
VOLNAR_EMBEDDED_FILE(skin_mini_skin_png)
VOLNAR_EMBEDDED_FILE(skin_minimise_lit_png)
VOLNAR_EMBEDDED_FILE(skin_restore_lit_png)
VOLNAR_EMBEDDED_FILE(skin_repeat_key_lit_png)
VOLNAR_EMBEDDED_FILE(skin_equaliser_lit_png)
VOLNAR_EMBEDDED_FILE(skin_repeat_lit_png)
VOLNAR_EMBEDDED_FILE(skin_repeat_one_lit_png)
VOLNAR_EMBEDDED_FILE(skin_shuffle_lit_png)
VOLNAR_EMBEDDED_FILE(skin_microtech_ttf)
VOLNAR_EMBEDDED_FILE(skin_digital7_ttf)
VOLNAR_EMBEDDED_FILE(icon_16_png)
VOLNAR_EMBEDDED_FILE(icon_24_png)
VOLNAR_EMBEDDED_FILE(icon_32_png)
VOLNAR_EMBEDDED_FILE(icon_48_png)
VOLNAR_EMBEDDED_FILE(icon_64_png)
VOLNAR_EMBEDDED_FILE(icon_128_png)

#undef VOLNAR_EMBEDDED_FILE
