// Station metadata as it arrives in ICY blocks: "StreamTitle='...';StreamUrl='...';".
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace engine {

// The largest metadata block a station can announce: a length byte of 255 times 16.
constexpr std::size_t kMaxIcyBlockBytes = 255 * 16;

// The text of one block as the station sent it: up to the first zero byte (the block's
// padding), at most kMaxIcyBlockBytes, with trailing padding removed.
std::string NormaliseIcyBlock(const char *data, std::size_t size);

// The value of one key (e.g. "StreamTitle") of a metadata text; a value runs from its
// opening quote to the quote that is followed by ';' or the end of the text, so titles with
// apostrophes survive. Nothing when the key is absent.
std::optional<std::string> IcyField(const std::string &text, const std::string &key);

}  // namespace engine
