// The player's one control loop and the commands that touch only the windows.
#pragma once

// Runs until an exit control is clicked or the main window is asked to close.
void RunEventLoop();
// One turn of the loop: waits for one event and handles it. False when the loop is to end.
bool RunEventLoopTurn();

void ToggleMiniMode();
void ToggleStationPanel();
void ToggleTrackPanel();
// Opens the station panel when it is closed (the track panel closes first).
void OpenStationPanel();
// Closes whichever list panel is open.
void CloseOpenPanel();
// Slides a list panel's container open (to 150 pixels) or closed (to 0), in 76 steps.
void SlidePanel(int container, bool open);
