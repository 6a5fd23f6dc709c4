// Start-up and shut-down of the player.
#pragma once

#include <string>

struct CommandLine;

// Fills the player state, loads the skin, builds both windows, starts the audio engine and
// the refresh timer, shows the main window, opens what the command line names and runs the
// event loop; then ShutDown.
[[noreturn]] void StartUp(const CommandLine &commandLine);
// Everything StartUp does before the event loop: the main window is shown when it returns.
// The station list comes from stationFile when one is given, else from the usual places.
void PrepareStartUp(const std::string &stationFile = "");
// Releases the widget layer's windows, fonts and images and ends the process with code 0.
[[noreturn]] void ShutDown();
