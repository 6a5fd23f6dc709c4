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

// True when single-byte text (Latin-1 as a tag frame declares it) reads as Windows-1251
// Russian, as old Russian taggers wrote it into frames marked Latin-1: every word with a byte
// above 0x7F is made of Cyrillic letters' bytes only (0xC0 to 0xFF, Ё 0xA8, ё 0xB8), and one
// of them has two at least. Western words mix accented letters with plain ones ("Beyoncé",
// "Motörhead") and stay Latin-1.
bool LooksLikeCp1251Cyrillic(std::string_view bytes);

// How every text shown on screen is read: valid UTF-8 as UTF-8 (a multi-byte sequence cut
// off at the very end is dropped), anything else as Windows-1251. Result in UTF-8.
std::string DisplayTextToUtf8(std::string_view text);

// UTF-8 whose ill-formed bytes each become U+FFFD; a well-formed text comes back unchanged.
std::string Utf8WithReplacements(std::string_view text);

// The text as it is shown: read as DisplayTextToUtf8 reads it, runs of combining marks cut to
// kMaxCombiningRun, and cut after kMaxShownCodePoints code points where a character and its
// marks end. Shaping and drawing then cost the same for a text of any length.
std::string ShownText(std::string_view text);
