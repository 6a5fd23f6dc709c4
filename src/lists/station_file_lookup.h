// Where the station list is read from when the command line names none: radio.pls of the
// current folder, then the user's own, then the installed default.
#pragma once

#include <string>
#include <vector>

// What the places depend on; empty fields stand for unset variables.
struct StationFilePlaces {
    std::string configHome;       // $XDG_CONFIG_HOME
    std::string home;             // $HOME
    std::string dataDirs;         // $XDG_DATA_DIRS, ":"-separated
    std::string installedFolder;  // the data folder of the installation running, "" unknown
};

// The places in the order they are tried: "radio.pls" (relative: the current folder), the
// config home's volnar/radio.pls, each data folder's volnar/radio.pls, then the installed
// folder's radio.pls. Relative folders in the variables are ignored, as the base-directory
// rules say; unset or empty ones take their defaults (~/.config, /usr/local/share:/usr/share).
std::vector<std::string> StationFileCandidates(const StationFilePlaces &places);
// The user's own station list, the one the player writes: the config home's
// volnar/radio.pls (the second candidate); empty when no absolute config home is known.
std::string UserStationFile(const StationFilePlaces &places);
// The places of this process, from its environment and the executable's own location.
StationFilePlaces CurrentStationFilePlaces();
// The first candidate that is a regular file (symbolic links followed); "radio.pls" when
// none is, so that opening fails as for a missing file in the current folder.
std::string FindStationFile();
