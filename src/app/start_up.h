// Start-up and shut-down of the player.
#pragma once

#include <string>
#include <vector>

struct CommandLine;

// Fills the player state; hands the command line (its arguments as given and the folder
// they are relative to) to a player that runs already and ends, or else loads the skin,
// builds both windows, starts the audio engine and the refresh timer, shows the remembered
// state and the window in use, opens what the command line names and runs the event loop;
// then remembers the state and ShutDown.
[[noreturn]] void StartUp(const CommandLine &commandLine, const std::vector<std::string> &arguments,
                          const std::string &currentFolder);
// What StartUp builds before the event loop, without the desktop bus, the remembered state
// or the command line: the main window is shown when it returns. The station list comes
// from stationFile when one is given, else from the usual places.
void PrepareStartUp(const std::string &stationFile = "");
// Releases the widget layer's windows, fonts and images and ends the process with code 0.
[[noreturn]] void ShutDown();
