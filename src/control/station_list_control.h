// The station list as the user sees it and works it: list 14 of the station panel, the list
// file in use, and the changes made to the list in the player. Writing the list is the
// caller's: every command that changed g.stations says so.
#pragma once

#include <string>

// Replaces the items of list 14 with the names of g.stations, in list order: a station's
// title, or its address when it has none.
void FillStationListControl();

// Makes the station list file at path the list in use (g.stationFile, g.stations, list 14,
// nothing selected) when it can be read and holds stations; false (nothing changed) otherwise.
bool UseStationListFile(const std::string &path);
// UseStationListFile with the first station selected; when the file cannot be used the
// scrolling line says why.
bool OpenStationListFile(const std::string &path);

// Adds a station address at the end of the list, selects and plays it; an address the list
// holds already is played where it stands. True when the list changed.
bool AddStationAndPlay(const std::string &address);
// Removes the selected station; the one after it (or the new last) becomes selected. What
// plays goes on. True when the list changed.
bool RemoveSelectedStation();
// Moves the selected station one place up (step -1) or down (+1), keeping it selected.
bool MoveSelectedStation(int step);
// Keeps the station that plays from an address outside the list: added at the end with its
// title, and selected. False when no such station plays.
bool KeepCurrentStation();
