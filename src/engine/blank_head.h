// Whether a file's head holds nothing at all: the first megabyte after its ID3v2 tag (if any)
// is a hole or zero bytes. A preallocated, unfinished download looks like that; no audio
// format does, and telling it at once spares the decoders' search through megabytes of
// nothing for a frame or a format.
#pragma once

#include <string>

namespace engine {

// Reads at most the ID3v2 header and one megabyte; false when the file cannot be read.
bool HeadIsBlank(const std::string &path);

}  // namespace engine
