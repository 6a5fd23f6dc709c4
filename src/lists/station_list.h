// The station list: stations of the group stationGroup of the station file, the one named
// by g.stationFile or else the first radio.pls of the places FindStationFile tries; a file
// without that group may be a station list of a standard form (PLS, M3U, M3U8, XSPF).
#pragma once

#include <string>
#include <vector>

#include "player_state.h"

// Fills g.stations from the station file. In the player's own format (the file has the
// group): File1/Title1, File2/Title2, ... up to the first empty or missing address, with
// stationUrl and currentTitle left at the last values read. Otherwise the stations of its
// standard form. Empty when the file cannot be read. List 14 is not touched.
void LoadStationList();
// The stations of a station list file as LoadStationList reads them, with the player's own
// format looked for under group; false (stations untouched) when the file cannot be read.
bool ReadStationListFile(const std::string &path, const std::string &group,
                         std::vector<StationEntry> *stations);
