#include "button_look.h"

#include "control_numbers.h"
#include "player_state.h"

namespace {

struct HoverButton {
    int control;
    int litImage;
    std::int32_t PlayerState::*flag;  // 1 while the lit image is shown
};

constexpr HoverButton kHoverButtons[] = {
    {kExitButton, kCloseLitImage, &PlayerState::closeHover},
    {kPlayButton, kPlayLitImage, &PlayerState::playHover},
    {kPreviousButton, kPreviousLitImage, &PlayerState::prevHover},
    {kOpenButton, kOpenLitImage, &PlayerState::openHover},
    {kNextButton, kNextLitImage, &PlayerState::nextHover},
    {kPauseButton, kPauseLitImage, &PlayerState::pauseHover},
    {kTrackPanelButton, kTrackPanelLitImage, &PlayerState::plHover},
    {kStationPanelButton, kStationPanelLitImage, &PlayerState::fmHover},
    {kMinimiseButton, kMinimiseLitImage, &PlayerState::minimiseHover},
    {kRestoreButton, kRestoreLitImage, &PlayerState::restoreHover},
    {kRepeatButton, kRepeatKeyLitImage, &PlayerState::repeatHover},
    {kEqualiserButton, kEqualiserLitImage, &PlayerState::equaliserHover},
};

// The controls over which the pointer becomes a hand, in the order they are tested: these,
// then the ten volume dots, then the station panel button.
constexpr int kHandButtons[] = {
    kExitButton,   kPlayButton,      kTrackPanelButton, kPauseButton,    kPreviousButton,
    kNextButton,   kOpenButton,      kSeekBar,          kMinimiseButton, kRestoreButton,
    kRepeatButton, kEqualiserButton, kRepeatCaption,    kShuffleCaption,
};

bool IsCursorOverHandControl() {
    for (int control : kHandButtons)
        if (IsCursorOverControl(NativeControlHandle(control))) return true;
    for (int dot = kFirstVolumeDot; dot <= kLastVolumeDot; ++dot)
        if (IsCursorOverControl(NativeControlHandle(dot))) return true;
    return IsCursorOverControl(NativeControlHandle(kStationPanelButton)) != 0;
}

}  // namespace

int IsCursorOverControl(NativeHandle control) {
    const ScreenRect r = ControlScreenRect(control);
    const ScreenPoint p = PointerScreenPosition();
    return r.left <= p.x && p.x < r.right && r.top <= p.y && p.y < r.bottom;
}

void UpdateButtonLook(int control, int eventKind) {
    if (eventKind != kMouseMove) return;
    for (const HoverButton &b : kHoverButtons) {
        if (b.control != control) continue;
        std::int32_t &flag = g.*b.flag;
        if (IsCursorOverControl(NativeControlHandle(control))) {
            // Set on every move over the button, not only on entering it.
            flag = 1;
            SetControlValue(control, static_cast<std::intptr_t>(NativeImageHandle(b.litImage)));
        } else if (flag == 1) {
            flag = 0;
            SetControlValue(control, 0);
        }
        return;
    }
}

void UpdateCursorShape(int eventKind) {
    if (eventKind != kMouseMove) return;
    if (IsCursorOverHandControl()) {
        SetPointerShape(kHandPointer);
        return;
    }
    SetControlValue(kSpeaker, 0);  // the speaker highlight goes out off the active controls
}
