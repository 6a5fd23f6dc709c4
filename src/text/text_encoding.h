// Text encodings of the player: texts are UTF-8 byte strings inside the program; legacy
// Russian texts (old ID3v1 tags, stream titles, station files) come in Windows-1251.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// No screen shows more of one text than this many code points.
constexpr std::size_t kMaxShownCodePoints = 512;
// Combining marks kept after one character; a longer run is cut to this many.
constexpr std::size_t kMaxCombiningRun = 4;

// True when every byte sequence of the text is well-formed UTF-8 (no overlong forms,
// no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Windows-1251 bytes to UTF-8; the one unassigned byte (0x98) becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view text);

// How every text shown on screen is read: valid UTF-8 as UTF-8 (a multi-byte sequence cut
// off at the very end is dropped), anything else as Windows-1251. Result in UTF-8.
std::string DisplayTextToUtf8(std::string_view text);

// UTF-8 whose ill-formed bytes each become U+FFFD; a well-formed text comes back unchanged.
std::string Utf8WithReplacements(std::string_view text);

// The text as it is shown: read as DisplayTextToUtf8 reads it, runs of combining marks cut to
// kMaxCombiningRun, and cut after kMaxShownCodePoints code points where a character and its
// marks end. Shaping and drawing then cost the same for a text of any length.
std::string ShownText(std::string_view text);
