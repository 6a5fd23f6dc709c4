#include "track_folder.h"

void OpenTrackFolder() {}
void ScanTrackFolder() {}
void SelectChosenTrack() {}
