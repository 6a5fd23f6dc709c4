// Station metadata as it arrives in ICY blocks: "StreamTitle='...';StreamUrl='...';". The
// engine hands the text on as the station sent it; the player reads the title out of it.
#pragma once

#include <cstddef>
#include <string>

namespace engine {

// The largest metadata block a station can announce: a length byte of 255 times 16.
constexpr std::size_t kMaxIcyBlockBytes = 255 * 16;

// The text of one block as the station sent it: up to the first zero byte (the block's
// padding), at most kMaxIcyBlockBytes, with trailing padding removed.
std::string NormaliseIcyBlock(const char *data, std::size_t size);

// A station's name is cut to this many bytes.
constexpr std::size_t kMaxStationNameBytes = 256;

// The value of the icy-name header among a station's answer headers ("Name: value" lines
// separated by CR LF or LF, names in any case), blanks around it removed, control bytes
// dropped, at most kMaxStationNameBytes; empty when there is none.
std::string IcyNameFromHeaders(const char *headers);

}  // namespace engine
