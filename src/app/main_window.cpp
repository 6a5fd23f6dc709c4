// The main window's controls, in creation order.
#include "control_numbers.h"
#include "drawing_sizes.h"
#include "player_state.h"
#include "station_list.h"
#include "station_list_control.h"
#include "widgets.h"
#include "window_layout.h"

namespace {

struct Place {
    int control, x, y, width, height;
};

// The skinned buttons and the speaker: they show nothing until hovered, so the unlit button
// painted in the skin shows through.
constexpr Place kButtons[] = {
    {kExitButton, 465, 88, 22, 12},
    {kPlayButton, 291, 209, 30, 27},
    {kPreviousButton, 157, 208, 30, 27},
    {kOpenButton, 358, 208, 30, 27},
    {kPauseButton, 215, 208, 30, 27},
    {kNextButton, 419, 208, 30, 27},
    {kTrackPanelButton, 466, 208, 28, 18},
    {kSpeaker, 116, 92, 14, 16},
    {kStationPanelButton, 107, 207, 20, 30},
    // At their lit images' corners, covering the keys' bodies.
    {kMinimiseButton, 417, 88, 24, 14},
    {kRestoreButton, 441, 88, 24, 14},
    {kRepeatButton, 73, 208, 28, 17},
    {kEqualiserButton, 496, 209, 28, 17},
    // The captions under the clock: they show their lit images while on.
    {kRepeatCaption, 110, 173, 34, 10},
    {kShuffleCaption, 158, 173, 38, 10},
};

constexpr int kPanelX = 105, kPanelY = 240, kPanelWidth = 390;
// The list overhangs its container by its border's width on every side, so the border is
// clipped away and the skin shows a borderless dark list; its scroll bar, in the list's
// colours, stands inside the panel's right edge.
constexpr int kListBorder = 2;
constexpr int kListX = -kListBorder, kListY = -kListBorder,
              kListWidth = kPanelWidth + 2 * kListBorder,
              kListHeight = kListPanelOpenHeight + 2 * kListBorder;
constexpr Colour kListText = RGB(95, 95, 95), kListBack = RGB(21, 24, 29);

void BuildListPanel(int container, int list) {
    CreateContainer(container, kPanelX, kPanelY, kPanelWidth, 0);
    CreateListControl(list, kListX, kListY, kListWidth, kListHeight);
    SetControlColours(list, kListText, kListBack);
}

}  // namespace

void BuildMainWindow() {
    CreateImageControl(kMarqueeStrip, 221, 126, 0, 0, NativeImageHandle(kMarqueeImage));
    for (const Place &b : kButtons)
        CreateImageControl(b.control, b.x, b.y, b.width, b.height, 0);
    CreateImageControl(kSeekBar, 225, 174, 0, 0, NativeImageHandle(kSeekImage));

    for (int dot = kFirstVolumeDot; dot <= kLastVolumeDot; ++dot) {
        const NativeHandle lit =
            dot <= kFirstVolumeDot + 4 ? NativeImageHandle(kVolumeDotImage) : 0;
        CreateImageControl(dot, 139 + 8 * (dot - kFirstVolumeDot), 98, 5, 5, lit);
    }

    for (int i = 0; i <= g.spectrumLastBar; ++i) {
        CreateImageControl(kFirstBar + i, g.mouseX, g.barTop, 0, 0, NativeImageHandle(kBarImage));
        g.mouseX += g.barWidth + g.barGap;
    }

    BuildListPanel(kTrackPanel, kTrackList);
    CreateTextLabel(kFolderLabel, 0, 0, 0, 0, "Путь", 0);
    EndContainer();
    BuildListPanel(kStationPanel, kStationList);
    EndContainer();

    CreateFontInSlot(kInfoLineFont, "MicroTech", 8, 0);
    CreateTextLabel(kInfoLine, 230, 115, 250, 10, "", 1);
    SetControlColours(kInfoLine, RGB(204, 205, 211), RGB(72, 86, 101));
    SetControlFont(kInfoLine, NativeFontHandle(kInfoLineFont));

    g.stationGroup = "Всё подряд";
    LoadStationList();
    FillStationListControl();

    CreateCheckBox(kAutoAdvanceBox, 0, 0, 0, 0, "");
    SetControlValue(kAutoAdvanceBox, 0);

    SetWindowBackgroundImage(NativeWindowHandle(kMainWindow), NativeImageHandle(kMainSkinImage));
    SetWindowSeeThroughImage(NativeWindowHandle(kMainWindow),
                             NativeImageHandle(kMainSkinSeeThroughImage));
}
