// The station list: stations of the group stationGroup of radio.pls in the current folder.
#pragma once

// Fills g.stations from radio.pls (empty when the file or group is missing).
void LoadStationList();
