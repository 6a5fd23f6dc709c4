#include "track_folder.h"

#include <sys/stat.h>
#include <time.h>

#include <cstdint>

#include <string>
#include <vector>

#include "control_numbers.h"
#include "play_order.h"
#include "playback_controller.h"
#include "player_state.h"
#include "track_names.h"
#include "widgets.h"

namespace {

// The folder of the file that plays or played last; with a station or nothing, the folder of
// the track selected in the list, else the list's folder.
std::string CurrentTrackFolder() {
    if (g.lastStreamWasStation == 0 && !g.streamAddress.empty()) return FolderPart(g.streamAddress);
    // Before the first listing the label holds its placeholder, no folder.
    const std::string folder = GetControlText(kFolderLabel);
    if (folder.empty() || folder.front() != '/') return "";
    const int selected = GetControlValue(kTrackList);
    return selected >= 0 ? folder + FolderPart(ListItemText(kTrackList, selected)) : folder;
}

bool IsFolder(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A folder's modification time, which any name added, removed or renamed in it changes; 0
// when it cannot be read, or is so recent that a change within the file system's clock step
// could still leave it the same.
std::int64_t FolderStamp(const std::string &folder) {
    struct stat info {};
    if (folder.empty() || stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return 0;
    const std::int64_t stamp =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t nowNs = static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    constexpr std::int64_t kClockStepNs = 2'000'000'000;  // FAT's, the coarsest there is
    return nowNs - stamp > kClockStepNs && stamp != 0 ? stamp : 0;
}

}  // namespace

std::string ChooseFileOrFolder() {
    return ChooseFileToOpen("", "", "*.*|*.*", 0, CurrentTrackFolder());
}

void OpenTrackFileOrFolder(const std::string &path) {
    if (path.empty() || !IsFolder(path)) {
        OpenTrackFile(path);
        return;
    }
    // Chosen in the dialog to be heard, unlike a folder named on the command line.
    const std::string folder = path.back() == '/' ? path : path + '/';
    g.chosenFilePath = folder;
    ListTrackFolder(folder, true);
    if (g.trackCount == 0) return;
    SetControlValue(kTrackList, 0);
    PlaySelectedTrack();
}

void OpenTrackFile(const std::string &path) {
    // A cancelled dialog names no file: the list, its selection and what plays all stay.
    if (path.empty()) return;
    g.chosenFilePath = path;
    ScanTrackFolder();
    SelectChosenTrack();
    if (GetControlValue(kTrackList) >= 0)
        PlaySelectedTrack();
    else
        PlayFileOutsideList(path);
}

void ListTrackFolder(const std::string &folder, bool withSubFolders) {
    // Taken before the listing: a change while it reads shows as another stamp next time.
    // Sub-folders change without their root's stamp changing.
    g.listedFolderStamp = withSubFolders ? 0 : FolderStamp(folder);
    g.trackCount = 0;
    g.trackSubFolders = withSubFolders ? 1 : 0;
    ForgetPlayOrder();
    SetControlText(kFolderLabel, folder);
    ClearListItems(kTrackList);
    const std::vector<std::string> names =
        withSubFolders ? ListTrackNamesWithSubFolders(folder) : ListTrackNames(folder);
    for (const std::string &name : names) {
        AddListItem(kTrackList, -1, name);
        ++g.trackCount;
    }
}

void ScanTrackFolder() {
    const std::string folder = FolderPart(g.chosenFilePath);
    // A file of the folder listed already, which has not changed since: a folder of 100,000
    // tracks is not read, sorted and listed again for each of its files opened in turn.
    if (g.listedFolderStamp != 0 && g.trackSubFolders == 0 &&
        GetControlText(kFolderLabel) == folder && FolderStamp(folder) == g.listedFolderStamp)
        return;
    ListTrackFolder(folder, false);
    // A file picked in a music root whose albums sit in sub-folders.
    if (g.trackCount == 0 && !folder.empty()) ListTrackFolder(folder, true);
}

void SelectChosenTrack() {
    const std::string folder = GetControlText(kFolderLabel);
    const bool inFolder = !folder.empty() && g.chosenFilePath.size() > folder.size() &&
                          g.chosenFilePath.compare(0, folder.size(), folder) == 0;
    g.chosenFileName =
        inFolder ? g.chosenFilePath.substr(folder.size()) : NamePart(g.chosenFilePath);
    // Looked up without selecting each item on the way: a folder of 100,000 tracks would
    // otherwise hold the window for seconds.
    SetControlValue(kTrackList, FindListItem(kTrackList, g.chosenFileName));
}
