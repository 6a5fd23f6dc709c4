// The numbers by which the player addresses its windows, controls, image slots and font
// slots. Some are computed with: volume dot n stands for volume (n - 400) / 10, spectrum bar
// i is control kFirstBar + i.
#pragma once

enum WindowNumber : int {
    kMainWindow = 0,
    kMiniWindow = 1,
};

enum ControlNumber : int {
    kMarqueeStrip = 3,  // main window's scrolling line
    kFolderLabel = 12,  // hidden: folder of the track list, with its trailing "/"
    kTrackList = 13,
    kStationList = 14,
    kAutoAdvanceBox = 15,  // hidden: 1 once a track has been played
    kTrackPanel = 16,      // container of the track list
    kStationPanel = 17,    // container of the station list
    kMiniMarqueeStrip = 28,
    kMiniVolumeBar = 29,
    kExitButton = 231,
    kMinimiseButton = 232,  // caption buttons beside the exit button
    kRestoreButton = 233,   // switches to the mini window
    kPlayButton = 237,
    kPreviousButton = 238,
    kOpenButton = 239,
    kNextButton = 240,
    kPauseButton = 241,
    kTrackPanelButton = 242,
    kSpeaker = 243,
    kStationPanelButton = 244,
    kRepeatButton = 245,     // the "RP" key: cycles repeat
    kEqualiserButton = 246,  // the "EQ" key: cycles the equaliser's presets
    kRepeatCaption = 247,    // the REPEAT caption under the clock: cycles repeat, lit while on
    kShuffleCaption = 248,   // the SHUFFLE caption: shuffle on and off, lit while on
    kMiniVolumeLabel = 250,
    kInfoLine = 256,  // artist of the file or title of the station
    kMiniExit = 258,
    kSeekBar = 289,
    kFirstBar = 303,        // spectrum bars 303..344
    kFirstVolumeDot = 401,  // volume dots 401..410
    kLastVolumeDot = 410,
};

enum ImageSlot : int {
    kMainSkinImage = 2,
    kMarqueeImage = 3,
    kClockBoxImage = 7,
    kPlayLitImage = 8,
    kCloseLitImage = 9,
    kTrackPanelLitImage = 10,
    kPauseLitImage = 11,
    kSeekImage = 18,
    kBarImage = 19,
    kOpenLitImage = 20,
    kPreviousLitImage = 21,
    kNextLitImage = 22,
    kVolumeDotImage = 23,
    kSpeakerLitImage = 24,
    kStationPanelLitImage = 25,
    kSeekKnobImage = 26,
    kMiniSkinImage = 27,
    kMiniMarqueeImage = 28,
    kMiniVolumeImage = 29,
    kMinimiseLitImage = 12,
    kRestoreLitImage = 13,
    kRepeatKeyLitImage = 14,
    kEqualiserLitImage = 15,
    kRepeatLitImage = 16,     // the REPEAT caption lit: the whole list
    kRepeatOneLitImage = 17,  // lit for the one track
    kShuffleLitImage = 30,
    // The backgrounds of the two windows where the desktop composites: no backdrop.
    kMainSkinSeeThroughImage = 31,
    kMiniSkinSeeThroughImage = 32,
};

enum FontSlot : int {
    kMarqueeFont = 4,
    kMiniMarqueeFont = 5,
    kInfoLineFont = 6,
    kMiniExitFont = 65,
    kMiniVolumeFont = 66,
    kClockFont = 777,
};
