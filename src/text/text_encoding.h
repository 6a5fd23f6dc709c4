// Text encodings of the player: texts are UTF-8 byte strings inside the program; legacy
// Russian texts (old ID3v1 tags, stream titles, station files) come in Windows-1251.
#pragma once

#include <string>
#include <string_view>

// True when every byte sequence of the text is well-formed UTF-8 (no overlong forms,
// no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Windows-1251 bytes to UTF-8; the one unassigned byte (0x98) becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view text);

// How every text shown on screen is read: valid UTF-8 as UTF-8 (a multi-byte sequence cut
// off at the very end is dropped), anything else as Windows-1251. Result in UTF-8.
std::string DisplayTextToUtf8(std::string_view text);
