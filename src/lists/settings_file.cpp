#include "settings_file.h"

bool OpenSettingsFile(const std::string &) { return false; }
bool SelectSettingsGroup(const std::string &) { return false; }
std::string ReadSettingsString(const std::string &, const std::string &d) { return d; }
void CloseSettingsFile() {}
