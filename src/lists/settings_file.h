// A reader of sectioned settings files (lines "key = value" under "[group]" headers), one file
// open at a time. Nothing is ever written.
#pragma once

#include <string>

// Reads and parses the file whole; closes the file open before. False when it cannot be read.
bool OpenSettingsFile(const std::string &fileName);
// Makes the first header of that name current; false (and every later read gives its
// default) when there is none.
bool SelectSettingsGroup(const std::string &group);
// The value of the first key of that name in the current group, or the default.
std::string ReadSettingsString(const std::string &key, const std::string &defaultText);
void CloseSettingsFile();
