#include "skin_resources.h"

#include "control_numbers.h"
#include "drawing_sizes.h"
#include "embedded_files.h"
#include "player_state.h"
#include "widgets.h"

namespace {

struct SkinImage {
    int slot;
    EmbeddedFile (*file)();
};

// Decoded in this order at start-up.
constexpr SkinImage kSkinImages[] = {
    {kMainSkinImage, Embedded_skin_main_skin_png},
    {kClockBoxImage, Embedded_skin_clock_box_png},
    {kPlayLitImage, Embedded_skin_play_lit_png},
    {kCloseLitImage, Embedded_skin_close_lit_png},
    {kTrackPanelLitImage, Embedded_skin_playlist_lit_png},
    {kPauseLitImage, Embedded_skin_pause_lit_png},
    {kOpenLitImage, Embedded_skin_open_lit_png},
    {kPreviousLitImage, Embedded_skin_previous_lit_png},
    {kNextLitImage, Embedded_skin_next_lit_png},
    {kVolumeDotImage, Embedded_skin_volume_dot_lit_png},
    {kSpeakerLitImage, Embedded_skin_speaker_lit_png},
    {kStationPanelLitImage, Embedded_skin_radio_lit_png},
    {kSeekKnobImage, Embedded_skin_seek_knob_png},
    {kMiniSkinImage, Embedded_skin_mini_skin_png},
    {kMinimiseLitImage, Embedded_skin_minimise_lit_png},
    {kRestoreLitImage, Embedded_skin_restore_lit_png},
    {kRepeatKeyLitImage, Embedded_skin_repeat_key_lit_png},
    {kEqualiserLitImage, Embedded_skin_equaliser_lit_png},
    {kRepeatLitImage, Embedded_skin_repeat_lit_png},
    {kRepeatOneLitImage, Embedded_skin_repeat_one_lit_png},
    {kShuffleLitImage, Embedded_skin_shuffle_lit_png},
};

}  // namespace

void RegisterEmbeddedFonts() {
    for (const EmbeddedFile font : {Embedded_skin_microtech_ttf(), Embedded_skin_digital7_ttf()})
        RegisterFontFromMemory(font.data, font.size);
}

void LoadSkinImages() {
    // The drawing surfaces of the refresh tick start black; the first tick paints them.
    CreateBlankImage(kBarImage, g.barWidth, g.barHeight);
    CreateBlankImage(kSeekImage, kSeekBarWidth, kSeekBarHeight);
    CreateBlankImage(kMiniMarqueeImage, kMiniMarqueeWidth, kMiniMarqueeHeight);
    CreateBlankImage(kMiniVolumeImage, kMiniVolumeBarWidth, kMiniVolumeBarHeight);
    for (const SkinImage &image : kSkinImages) {
        const EmbeddedFile file = image.file();
        DecodeImageFromMemory(image.slot, file.data, file.size);
    }
    CreateBlankImage(kMarqueeImage, kMarqueeWidth, kMarqueeHeight);
}

void SetEmbeddedProgramIcon() {
    std::vector<std::pair<const void *, std::size_t>> files;
    for (const EmbeddedFile icon :
         {Embedded_icon_16_png(), Embedded_icon_24_png(), Embedded_icon_32_png(),
          Embedded_icon_48_png(), Embedded_icon_64_png(), Embedded_icon_128_png()})
        files.emplace_back(icon.data, icon.size);
    SetProgramIcon(files);
}
