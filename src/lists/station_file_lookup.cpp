#include "station_file_lookup.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace {

constexpr char kStationFileName[] = "radio.pls";

std::string Variable(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

bool IsAbsolute(std::string_view folder) {
    return !folder.empty() && folder.front() == '/';
}

std::string Join(std::string folder, std::string_view rest) {
    if (folder.back() != '/') folder += '/';
    return folder += rest;
}

bool IsRegularFile(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The folder of the running executable, with a trailing "/"; empty when unknown.
std::string ExecutableFolder() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "";
    const std::string path(self, static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

std::string UserStationFile(const StationFilePlaces &places) {
    std::string configHome = places.configHome;
    if (!IsAbsolute(configHome) && IsAbsolute(places.home))
        configHome = Join(places.home, ".config");
    return IsAbsolute(configHome) ? Join(configHome, "volnar/radio.pls") : std::string();
}

std::vector<std::string> StationFileCandidates(const StationFilePlaces &places) {
    std::vector<std::string> candidates{kStationFileName};

    const std::string userFile = UserStationFile(places);
    if (!userFile.empty()) candidates.push_back(userFile);

    const std::string dataDirs =
        places.dataDirs.empty() ? "/usr/local/share/:/usr/share/" : places.dataDirs;
    std::size_t start = 0;
    while (start <= dataDirs.size()) {
        std::size_t end = dataDirs.find(':', start);
        if (end == std::string::npos) end = dataDirs.size();
        const std::string folder = dataDirs.substr(start, end - start);
        if (IsAbsolute(folder)) candidates.push_back(Join(folder, "volnar/radio.pls"));
        start = end + 1;
    }

    // An installation under a prefix that no data folder names (~/.local, /opt/...) still
    // finds its own default.
    if (IsAbsolute(places.installedFolder))
        candidates.push_back(Join(places.installedFolder, kStationFileName));
    return candidates;
}

StationFilePlaces CurrentStationFilePlaces() {
    StationFilePlaces places;
    places.configHome = Variable("XDG_CONFIG_HOME");
    places.home = Variable("HOME");
    places.dataDirs = Variable("XDG_DATA_DIRS");
    const std::string executableFolder = ExecutableFolder();
    if (!executableFolder.empty()) places.installedFolder = executableFolder + VOLNAR_DATA_FROM_BIN;
    return places;
}

std::string FindStationFile() {
    for (const std::string &candidate : StationFileCandidates(CurrentStationFilePlaces()))
        if (IsRegularFile(candidate)) return candidate;
    return kStationFileName;
}
