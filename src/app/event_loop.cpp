// The event loop: one event a turn, the clock, window drags, auto-advance, the commands of
// the controls and the looks of the skinned buttons.
#include "event_loop.h"

#include <cstdint>
#include <ctime>

#include "button_look.h"
#include "control_numbers.h"
#include "desktop_bus.h"
#include "desktop_service.h"
#include "drop_commands.h"
#include "info_notice.h"
#include "key_commands.h"
#include "open_dialog.h"
#include "play_order.h"
#include "play_order_look.h"
#include "playback_controller.h"
#include "player_memory.h"
#include "player_state.h"
#include "seek_drag.h"
#include "station_list_file.h"
#include "time_display.h"
#include "widgets.h"

namespace {

enum class Dispatch { kGoOn, kLeaveAtOnce };

std::time_t g_clockLookedAt = -1;

// The clock is redrawn on the first turn of every new second of local time. Local seconds
// turn with the system's, so the time is formatted only when that has moved on.
void KeepClockCurrent() {
    if (g.clockMode != kClockTimeOfDay) {
        // A track's time moves with the stream, not with the wall clock: looked at every turn,
        // drawn when its text changes (a second of the track, a blink).
        const std::string text = CurrentTrackClockText();
        if (text != g.clockText) {
            g.clockText = text;
            UpdateTimeDisplay(text);
        }
        return;
    }
    const std::time_t now = std::time(nullptr);
    if (now == g_clockLookedAt && !g.lastSecondText.empty()) return;
    g_clockLookedAt = now;
    const std::string seconds = FormatLocalTime("%ss");
    if (seconds != g.lastSecondText) {
        g.lastSecondText = seconds;
        UpdateTimeDisplay();
    }
}

// The commands of the controls, tested in this order. The first group runs only for a left
// click; the rest run for any kind of control event, right clicks and double clicks included.
// A wheel notch over the volume dots or the mini volume bar is a volume step, over the seek
// bar five seconds; elsewhere nothing.
void RunWheelCommand(int control, int notch) {
    if ((control >= kFirstVolumeDot && control <= kLastVolumeDot) || control == kMiniVolumeBar)
        StepVolume(notch);
    else if (control == kSeekBar && SeekBySeconds(5 * notch))
        AnnounceSeek();
}

Dispatch RunControlCommand() {
    const int control = LastEventControl();
    const int subtype = LastEventSubtype();
    if (subtype == kWheelForward || subtype == kWheelBack) {
        RunWheelCommand(control, subtype == kWheelForward ? 1 : -1);
        return Dispatch::kGoOn;
    }
    const bool leftClick = subtype == kLeftClick;
    if (control == kOpenButton) {
        if (leftClick) OpenFromDialog();
    } else if (control == kExitButton || control == kMiniExit) {
        if (leftClick) return Dispatch::kLeaveAtOnce;
    } else if (control == kPauseButton) {
        if (leftClick) TogglePause();
    } else if (control == kTrackPanelButton) {
        if (leftClick) ToggleTrackPanel();
    } else if (control == kStationPanelButton) {
        if (leftClick) ToggleStationPanel();
    } else if (control == kPlayButton) {
        PlaySelectedTrack();
    } else if (control == kPreviousButton) {
        StepTrack(-1);
    } else if (control == kNextButton) {
        StepTrack(+1);
    } else if (control == kSpeaker) {
        if (leftClick) ToggleMute();
    } else if (control == kMinimiseButton) {
        if (leftClick) MinimiseTopWindow(kMainWindow);
    } else if (control == kRestoreButton) {
        if (leftClick) ToggleMiniMode();
    } else if (control == kRepeatButton || control == kRepeatCaption) {
        if (leftClick) {
            CycleRepeat();
            ShowRepeatChange();
        }
    } else if (control == kEqualiserButton) {
        if (leftClick) {
            NextEqualiserPreset();
            ShowInfoNotice(EqualiserPresetName(g.equaliserPreset));
        }
    } else if (control == kShuffleCaption) {
        if (leftClick) {
            SetShuffle(g.shuffle != 1, GetControlValue(kTrackList));
            ShowShuffleChange();
        }
    } else if (control == kSeekBar) {
        if (leftClick)
            SeekWithPointer();
        else
            SeekToClick();
        AnnounceSeek();
    } else if (control >= kFirstVolumeDot && control <= kLastVolumeDot) {
        SetVolumeStep(control);
    } else if (control == kMiniVolumeBar) {
        SetVolumeFromMiniBar();
    }
    return Dispatch::kGoOn;
}

// The events after which the player may show something else: commands, window switches and
// moves. Ticks, hovers and repaints change nothing the desktop or the state file sees.
bool MayChangeWhatIsShown(int eventKind) {
    switch (eventKind) {
        case kControlEvent:
        case kLeftDoubleClick:
        case kRightButtonUp:
        case kLeftButtonDown:
        case kWindowMoved:
        case kCloseRequest:
        case kKeyPress:
        case kDrop:
            return true;
        default:
            return false;
    }
}

// The stream last looked at; a new one (auto-advance on a tick) is announced at once.
std::uint64_t g_lookedAtSerial = 0;

void UpdateButtonLooks(int eventKind) {
    for (int button :
         {kExitButton, kPlayButton, kPreviousButton, kOpenButton, kNextButton, kPauseButton,
          kTrackPanelButton, kMinimiseButton, kRestoreButton, kRepeatButton, kEqualiserButton})
        UpdateButtonLook(button, eventKind);
    UpdateCursorShape(eventKind);
    UpdateButtonLook(kStationPanelButton, eventKind);
}

}  // namespace

bool RunEventLoopTurn() {
    g.eventKind = WaitNextEvent();
    g.eventWindow = LastEventWindow();

    KeepClockCurrent();
    KeepInfoNoticeCurrent();

    if (g.eventKind == kLeftButtonDown) {
        // A click on the clock (a press let go without moving the window) switches what it
        // shows.
        if (g.eventWindow == kMainWindow && !StartWindowDrag(kMainWindow) &&
            InClockBox(PointerXInWindow(kMainWindow), PointerYInWindow(kMainWindow))) {
            NextClockMode();
            KeepClockCurrent();
        }
        if (g.eventWindow == kMiniWindow) StartWindowDrag(kMiniWindow);
    }

    AutoAdvance();

    switch (g.eventKind) {
        case kLeftDoubleClick:
            if (LastEventControl() == kTrackList) PlaySelectedTrack();
            if (LastEventControl() == kStationList) ActivateStation();
            break;
        case kRightButtonUp:
            ToggleMiniMode();
            break;
        case kControlEvent:
            if (RunControlCommand() == Dispatch::kLeaveAtOnce) return false;
            break;
        case kKeyPress:
            if (!RunKeyCommand()) return false;
            break;
        case kDrop:
            OpenDroppedLocations();
            break;
        case kCloseRequest:
            // Closed, the mini window could never be left again (the main window is hidden
            // and a right click needs a window): its close works as its exit mark does.
            if (g.eventWindow == kMiniWindow) return false;
            break;
        default:
            break;
    }

    UpdateButtonLooks(g.eventKind);

    if (g.eventKind == kCloseRequest) {
        CloseTopWindow(g.eventWindow);
        if (g.eventWindow == kMainWindow) return false;
    }

    // The desktop session ends the player by a signal (logging out): as the cross does.
    if (EndRequested()) return false;

    // The desktop's commands run here, between turns, like the buttons' own.
    bool desktopCommands = false;
    if (DesktopCommandsWaiting()) {
        if (!RunDesktopCommands()) return false;
        desktopCommands = true;
    }
    // Only what can change something is looked at: a plain tick costs three tests here.
    if (desktopCommands || MayChangeWhatIsShown(g.eventKind) ||
        g.streamSerial != g_lookedAtSerial) {
        g_lookedAtSerial = g.streamSerial;
        PublishPlayerView();
        RememberIfChanged();
    }
    KeepStateFileCurrent();
    ReportStationListWrite();
    return true;
}

void RunEventLoop() {
    while (RunEventLoopTurn()) {
    }
}
