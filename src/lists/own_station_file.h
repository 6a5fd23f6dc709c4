// The text of a station file in the player's own format: one group of numbered File and
// Title keys, in UTF-8. LoadStationList reads it back as the same stations.
#pragma once

#include <string>
#include <vector>

#include "player_state.h"

// "[group]" and File1/Title1, File2/Title2, ... for the stations in order. Line breaks and
// other control characters in an address or title become spaces, blanks at their ends go
// (the reader drops them too); a station whose address is then empty is left out, since it
// would end the list there.
std::string FormatOwnStationFile(const std::vector<StationEntry> &stations,
                                 const std::string &group);
