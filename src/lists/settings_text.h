// The text of a sectioned settings file: its bytes brought to UTF-8, and the reading of one
// line as a group header or a key line. Comments and blank lines carry nothing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The file's bytes as UTF-8: after a UTF-8 byte-order mark the rest is UTF-8, each ill-formed
// byte becoming U+FFFD; without the mark, each line (ended by LF or CR) that is valid UTF-8 is
// kept and every other line is read as Windows-1251. Line ends are kept as they were.
std::string SettingsBytesToUtf8(std::string bytes);

// The line starting at *pos, without its line end (LF or CR); *pos moves past that end.
std::string_view NextSettingsLine(std::string_view text, std::size_t *pos);

struct SettingsLine {
    bool header = false;     // a "[group]" line; otherwise a key line
    std::string_view name;   // group name, or key with trailing blanks removed
    std::string_view value;  // key lines: the text after "=", leading blanks removed
};

// False for a line that carries nothing: blank, or a comment. Views into line.
bool ParseSettingsLine(std::string_view line, SettingsLine *out);

// Equality that ignores the case of A-Z only; every other byte must be equal.
bool SameSettingsName(std::string_view a, std::string_view b);
// A hash that agrees with SameSettingsName.
std::size_t HashSettingsName(std::string_view name);
