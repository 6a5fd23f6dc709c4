// The controls of both windows: where each stands, what it shows, its font and colours.
#pragma once

// Creates the main window's controls (window 0 open and the current parent), reads the
// station list on the way and gives the window its skin.
void BuildMainWindow();
// Gives the mini window (window 1, open and the current parent) its skin and controls.
void BuildMiniWindow();
