// The plain parts of the track list: splitting a path, telling a track by its name, and
// listing a folder's tracks (and those of its sub-folders) in order. Names are byte strings,
// passed through unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Everything up to and including the last "/" (empty when there is none).
std::string FolderPart(std::string_view path);
// Everything after the last "/".
std::string NamePart(std::string_view path);
// The name ends in the extension of a sound format the engine plays (MP3, WAV, MIDI, FLAC,
// Ogg Vorbis and Opus, AAC and MP4 audio, AIFF, WavPack, Monkey's Audio, WMA, Matroska
// audio), compared without regard to the case of A-Z. Decided by the name alone.
bool IsTrackName(std::string_view name);
// Name order of the list: ignoring the case of A-Z, ties in plain byte order.
bool TrackNameLess(std::string_view a, std::string_view b);
// The track names among the entries of the folder ("" is the current folder), sorted by
// TrackNameLess; sub-folders are no tracks, whatever their names. Empty when the folder
// cannot be listed.
std::vector<std::string> ListTrackNames(const std::string &folder);

// Bounds of a listing with sub-folders: how deep it goes and how many tracks it takes.
inline constexpr int kMaxFolderDepth = 16;
inline constexpr std::size_t kMaxListedTracks = 100000;
// And how much it reads: a tree of few tracks among millions of other files (a home folder,
// "/") is not walked to its end on the window's thread.
inline constexpr std::size_t kMaxReadEntries = 300000;
inline constexpr std::size_t kMaxReadFolders = 20000;

// The tracks of the folder and of its sub-folders, album by album: a folder's own tracks in
// name order, then each sub-folder's (in name order) the same way. Each name is the path
// relative to the folder ("Album/01.mp3"). Hidden sub-folders, those deeper than
// kMaxFolderDepth, unreadable ones and a folder met again through a symbolic link are
// skipped; the listing ends at kMaxListedTracks, or once kMaxReadEntries entries or
// kMaxReadFolders folders were read (with what it found by then).
std::vector<std::string> ListTrackNamesWithSubFolders(const std::string &folder);
