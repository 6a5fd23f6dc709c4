#include "track_folder.h"

#include <sys/stat.h>

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
