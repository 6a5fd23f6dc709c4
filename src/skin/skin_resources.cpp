#include "skin_resources.h"

#include "control_numbers.h"
#include "drawing_sizes.h"
#include "embedded_files.h"
#include "player_state.h"
#include "widgets.h"

namespace {

struct SkinImage {
    int slot;
    EncodedImageSet (*files)();
};

// Decoded in this order at start-up.
constexpr SkinImage kSkinImages[] = {
    {kMainSkinImage, EmbeddedSet_skin_main_skin_png},
    {kClockBoxImage, EmbeddedSet_skin_clock_box_png},
    {kPlayLitImage, EmbeddedSet_skin_play_lit_png},
    {kCloseLitImage, EmbeddedSet_skin_close_lit_png},
    {kTrackPanelLitImage, EmbeddedSet_skin_playlist_lit_png},
    {kPauseLitImage, EmbeddedSet_skin_pause_lit_png},
    {kOpenLitImage, EmbeddedSet_skin_open_lit_png},
    {kPreviousLitImage, EmbeddedSet_skin_previous_lit_png},
    {kNextLitImage, EmbeddedSet_skin_next_lit_png},
    {kVolumeDotImage, EmbeddedSet_skin_volume_dot_lit_png},
    {kSpeakerLitImage, EmbeddedSet_skin_speaker_lit_png},
    {kStationPanelLitImage, EmbeddedSet_skin_radio_lit_png},
    {kSeekKnobImage, EmbeddedSet_skin_seek_knob_png},
    {kMiniSkinImage, EmbeddedSet_skin_mini_skin_png},
    {kMinimiseLitImage, EmbeddedSet_skin_minimise_lit_png},
    {kRestoreLitImage, EmbeddedSet_skin_restore_lit_png},
    {kRepeatKeyLitImage, EmbeddedSet_skin_repeat_key_lit_png},
    {kEqualiserLitImage, EmbeddedSet_skin_equaliser_lit_png},
    {kRepeatLitImage, EmbeddedSet_skin_repeat_lit_png},
    {kRepeatOneLitImage, EmbeddedSet_skin_repeat_one_lit_png},
    {kShuffleLitImage, EmbeddedSet_skin_shuffle_lit_png},
    {kMainSkinSeeThroughImage, EmbeddedSet_skin_main_skin_see_through_png},
    {kMiniSkinSeeThroughImage, EmbeddedSet_skin_mini_skin_see_through_png},
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
    // Each at the screens' resolution, from the files drawn for it.
    for (const SkinImage &image : kSkinImages)
        DecodeImageSetFromMemory(image.slot, image.files());
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
