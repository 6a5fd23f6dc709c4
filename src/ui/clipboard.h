// The text on the desktop's clipboard.
#pragma once

#include <cstddef>
#include <string>

// Only this much of the clipboard's text is taken.
inline constexpr std::size_t kMaxClipboardBytes = 64 * 1024;

// The clipboard's text in UTF-8, at most kMaxClipboardBytes of it (cut at a character's
// start); empty when it holds none. Under X11 this waits for the program that owns the
// clipboard to hand it over, up to the few seconds Qt allows: only called for a key press of
// the user.
std::string ClipboardText();
