// Station lists as radio sites and other players hand them out: standard PLS ("[playlist]",
// FileN/TitleN), M3U and M3U8 with "#EXTINF" titles, and XSPF. Every such file is untrusted
// input: what is read is bounded in count and length, and anything that is no station (a
// local file, a relative path, an address of another scheme) is left out.
//
// The texts given here are UTF-8 already (SettingsBytesToUtf8); what comes out is UTF-8 too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "player_state.h"

// Stations beyond this many are left out; a real list holds a few hundred at most.
inline constexpr std::size_t kMaxListedStations = 20000;
// An address longer than this is no station; a title is cut to this many bytes.
inline constexpr std::size_t kMaxStationAddressBytes = 4096;
inline constexpr std::size_t kMaxStationTitleBytes = 512;

// The stations of a standard PLS text: the FileN keys of its "[playlist]" group (keys in
// any case) in the order of their numbers, gaps allowed, with TitleN; NumberOfEntries is not
// looked at. The first key of a number wins.
std::vector<StationEntry> ReadPlsStations(std::string_view text);
// The stations of an M3U or M3U8 text: each address line, titled by the "#EXTINF" line
// before it. An HLS playlist (segments of one stream) lists no stations.
std::vector<StationEntry> ReadM3uStations(std::string_view text);
// The stations of an XSPF text: each <track>'s first http(s) <location> and its <title>.
std::vector<StationEntry> ReadXspfStations(std::string_view text);
// Whichever of the three the text is: XSPF when it starts with "<", PLS when it has a
// "[playlist]" group, M3U otherwise.
std::vector<StationEntry> ReadStandardStationList(std::string_view text);

// A station address as the lists keep it: the text without blanks at its ends when it is
// an http or https address of at most kMaxStationAddressBytes without spaces or control
// characters; empty otherwise.
std::string StationAddressOrEmpty(std::string_view text);
// A title as the lists keep it: control characters as spaces, no blanks at its ends, cut to
// kMaxStationTitleBytes at a character's start.
std::string CleanStationTitle(std::string_view text);

// Whether a file's name says it is a station list: ".pls", ".m3u", ".m3u8" or ".xspf", in
// any case.
bool IsStationListFileName(std::string_view name);
