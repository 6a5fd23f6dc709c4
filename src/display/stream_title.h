// The rules by which the player reads a station's title out of its metadata text, and the
// artist and song out of the title.
#pragma once

#include <string>

// The value of the StreamTitle key of a station's metadata text ("StreamTitle='...';..."):
// the text after "StreamTitle='" up to the closing "';", or to the end when that is missing.
// False (title untouched) when the text has no such key.
bool StreamTitleFromMetadata(const char *metadata, std::string *title);
// A stream title of the form "Artist - Title" as its two parts, split at the first " - "
// that has text on both sides (blanks at the parts' ends dropped); false (both untouched)
// for a title of any other form.
bool SplitStreamTitle(const std::string &streamTitle, std::string *artist, std::string *title);
