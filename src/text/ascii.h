// Case folding of the ASCII letters only: names and keys of the player's files compare this
// way, whatever encoding the rest of their bytes are in.
#pragma once

inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}
