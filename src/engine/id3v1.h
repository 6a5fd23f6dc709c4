// The ID3v1 block: the last 128 bytes of a file when they begin with "TAG".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace engine {

using Id3v1Block = std::array<char, 128>;

// Reads the block of a regular file; nothing for other files, short files or no tag.
std::optional<Id3v1Block> ReadId3v1(const std::string &path);
// The same rule over the tail of a file already in memory.
std::optional<Id3v1Block> FindId3v1(const std::uint8_t *data, std::size_t size);

}  // namespace engine
