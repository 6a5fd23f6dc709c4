// The track list: the MP3, WAV and MIDI files of the folder of a file the user picks.
#pragma once

#include <string>

// Command of the open-folder button: dialog, scan, select the picked file, play it.
void OpenTrackFolder();
// What follows the dialog: lists the file's folder, selects the file and plays it. An empty
// path (a cancelled dialog) changes nothing.
void OpenTrackFile(const std::string &path);
// Lists the folder of chosenFilePath into list 13 and its folder into label 12.
void ScanTrackFolder();
// Selects the picked file's name in list 13, searching all of its items; when the name is not
// among them no item stays selected.
void SelectChosenTrack();
