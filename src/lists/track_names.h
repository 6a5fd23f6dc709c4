// The plain parts of the track list: splitting a path, telling a track by its name, and
// listing a folder's tracks in name order. Names are byte strings, passed through unchanged.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Everything up to and including the last "/" (empty when there is none).
std::string FolderPart(std::string_view path);
// Everything after the last "/".
std::string NamePart(std::string_view path);
// The last four bytes of the name (the whole name when shorter), with A-Z lower-cased, are
// ".wav", ".mp3" or ".mid".
bool IsTrackName(std::string_view name);
// Name order of the list: ignoring the case of A-Z, ties in plain byte order.
bool TrackNameLess(std::string_view a, std::string_view b);
// The track names among the entries of the folder ("" is the current folder), sub-folders
// included, sorted by TrackNameLess. Empty when the folder cannot be listed.
std::vector<std::string> ListTrackNames(const std::string &folder);
