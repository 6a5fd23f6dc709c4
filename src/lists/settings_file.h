// A reader of sectioned settings files (lines "key = value" under "[group]" headers), one file
// open at a time. Nothing is ever written.
//
// Names, keys and values are UTF-8. A file is read as UTF-8 after a byte-order mark, as UTF-8
// when its bytes are valid UTF-8, and as Windows-1251 otherwise. Group names and keys match
// whatever the case of A-Z; every other byte must be equal.
#pragma once

#include <cstddef>
#include <string>

// Larger files are refused as unreadable: a real one is a few kilobytes, and the reader
// keeps the whole text in memory.
constexpr std::size_t kMaxSettingsFileBytes = 16u << 20;

// Reads and parses the file whole; closes the file open before. False when it cannot be read
// (missing, not a regular file, or larger than kMaxSettingsFileBytes).
bool OpenSettingsFile(const std::string &fileName);
// The file's bytes as OpenSettingsFile reads them, or false as it fails; nothing is parsed and
// the open file stays open.
bool ReadSettingsFileBytes(const std::string &fileName, std::string *bytes);
// The same for a file's bytes already in memory.
bool OpenSettingsFromMemory(std::string bytes);
// Makes the first header of that name current ("" is the part before the first header);
// false (and every later read gives its default) when there is none.
bool SelectSettingsGroup(const std::string &group);
// The value of the first key of that name in the current group, without blanks at its ends
// (possibly empty), or the default when the group has no such key.
std::string ReadSettingsString(const std::string &key, const std::string &defaultText);
void CloseSettingsFile();
