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
    // Looked up without selecting each item on the way: a folder of 100,000 tracks would
    // otherwise hold the window for seconds.
    SetControlValue(kTrackList, FindListItem(kTrackList, g.chosenFileName));
}
