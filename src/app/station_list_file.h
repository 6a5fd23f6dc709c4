// The station list in use as a file: a list opened from any route (the command line, "Open
// with", a drop, the desktop bus, a second start), and the user's own list written after
// every change made in the player.
#pragma once

#include <string>

// Opens the station list file at path as the list in use, opens the station panel and plays
// the first station; a file that holds none says so in the scrolling line and changes nothing.
void OpenStationListAndPlay(const std::string &path);
// Writes the list as it is now to the user's own list ($XDG_CONFIG_HOME/volnar/radio.pls),
// which becomes the list in use: atomically, on the writer's thread. Called after every
// change of the list made in the player.
void SaveStationList();
// Once a write of the list has failed, says so in the scrolling line; the list in memory
// stays as it is and the next change writes it whole again. Called every loop turn.
void ReportStationListWrite();
