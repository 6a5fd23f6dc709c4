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

}  // namespace engine
