// The station list: stations of the group stationGroup of the station file, the one named
// by g.stationFile or else the first radio.pls of the places FindStationFile tries.
#pragma once

// Fills g.stations from the station file: File1/Title1, File2/Title2, ... up to the first empty or
// missing address (empty when the file or group is missing). stationUrl and currentTitle are
// left at the last values read. List 14 is not touched.
void LoadStationList();
