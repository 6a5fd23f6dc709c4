// The one rule by which the player reads a station's title out of its metadata text.
#pragma once

#include <string>

// The value of the StreamTitle key of a station's metadata text ("StreamTitle='...';..."):
// the text after "StreamTitle='" up to the closing "';", or to the end when that is missing.
// False (title untouched) when the text has no such key.
bool StreamTitleFromMetadata(const char *metadata, std::string *title);
