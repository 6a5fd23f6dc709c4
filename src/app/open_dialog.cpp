#include "open_dialog.h"

#include <sys/stat.h>

#include <string>

#include "station_formats.h"
#include "station_list_file.h"
#include "track_folder.h"

namespace {

bool IsFile(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

void OpenFromDialog() {
    const std::string path = ChooseFileOrFolder();
    if (!path.empty() && IsStationListFileName(path) && IsFile(path))
        OpenStationListAndPlay(path);
    else
        OpenTrackFileOrFolder(path);
}
