// Start-up and shut-down of the player.
#pragma once

#include <string>
#include <vector>

// Fills the player state; hands the arguments to a player that runs already and ends, or
// else loads the skin, builds both windows, starts the audio engine and the refresh timer,
// shows the remembered state and the window in use, acts on the arguments and runs the
// event loop; then remembers the state and ShutDown.
[[noreturn]] void StartUp(const std::vector<std::string> &arguments);
// What StartUp builds before the event loop, without the desktop bus, the remembered state
// or arguments: the main window is shown when it returns.
void PrepareStartUp();
// Releases the widget layer's windows, fonts and images and ends the process with code 0.
[[noreturn]] void ShutDown();
