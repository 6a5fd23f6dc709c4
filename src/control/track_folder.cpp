#include "track_folder.h"

#include <string>

#include "control_numbers.h"
#include "playback_controller.h"
#include "player_state.h"
#include "track_names.h"
#include "widgets.h"

void OpenTrackFolder() {
    OpenTrackFile(ChooseFileToOpen("", "", "*.*|*.*", 0));
}

void OpenTrackFile(const std::string &path) {
    // A cancelled dialog names no file: the list, its selection and what plays all stay.
    if (path.empty()) return;
    g.chosenFilePath = path;
    ScanTrackFolder();
    SelectChosenTrack();
    PlaySelectedTrack();
}

void ScanTrackFolder() {
    g.trackCount = 0;
    const std::string folder = FolderPart(g.chosenFilePath);
    SetControlText(kFolderLabel, folder);
    ClearListItems(kTrackList);
    for (const std::string &name : ListTrackNames(folder)) {
        AddListItem(kTrackList, -1, name);
        ++g.trackCount;
    }
}

void SelectChosenTrack() {
    g.chosenFileName = NamePart(g.chosenFilePath);
    // The whole list: a folder of thousands of tracks plays the one picked in it too.
    for (int i = 0; i < g.trackCount; ++i) {
        SetControlValue(kTrackList, i);
        if (GetControlText(kTrackList) == g.chosenFileName) return;
    }
    SetControlValue(kTrackList, -1);
}
