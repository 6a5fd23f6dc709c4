// Station addresses that answer with a playlist (.pls, .m3u, extended .m3u) instead of a
// stream: the entries are tried in order until one plays. HLS (.m3u8) is not a playlist here:
// FFmpeg plays it as a stream.
//
// Threads: runs on the thread that opens the station (url_opener.cpp); everything it blocks
// on ends when the token expires.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "decoder.h"

namespace engine {

// Playlists are read up to this many bytes; the rest is ignored.
constexpr std::size_t kMaxPlaylistBytes = 64 * 1024;
// A playlist inside a playlist inside a playlist is followed; one more level is not.
constexpr int kMaxPlaylistDepth = 3;

// The decoder of the address, or of the first entry of its playlist that plays; null when
// none does, with error (when given) set to why: a BASS_ERROR_* code.
std::unique_ptr<Decoder> OpenStationAddress(const std::string &url, CancelToken *token,
                                            int *error = nullptr);

// The station addresses of a playlist's text, in order: http and https only, relative ones
// resolved against base. Empty when the text is not a playlist; content_type may be empty.
std::vector<std::string> PlaylistEntries(std::string_view text, std::string_view content_type,
                                         const std::string &base);

}  // namespace engine
