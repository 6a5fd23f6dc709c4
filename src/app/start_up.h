// Start-up and shut-down of the player.
#pragma once

// Fills the player state, loads the skin, builds both windows, starts the audio engine and
// the refresh timer, shows the main window and runs the event loop; then ShutDown.
[[noreturn]] void StartUp();
// Everything StartUp does before the event loop: the main window is shown when it returns.
void PrepareStartUp();
// Releases the widget layer's windows, fonts and images and ends the process with code 0.
[[noreturn]] void ShutDown();
