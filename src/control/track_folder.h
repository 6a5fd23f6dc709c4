// The track list: the sound files of a folder (and of its sub-folders, for a music root of
// albums), label 12 holding the folder and list 13 each track's path relative to it.
#pragma once

#include <string>

// The open dialog of the open-folder button, standing in the folder of the current track
// (else the list's folder, else the layer's music or home folder): the file or folder chosen,
// empty when cancelled.
std::string ChooseFileOrFolder();
// What follows the dialog for a file or a folder: a folder is listed with its sub-folders and
// its first track plays (a folder without tracks leaves the list empty and what plays plays
// on); a file as OpenTrackFile. An empty path changes nothing.
void OpenTrackFileOrFolder(const std::string &path);
// What follows the dialog: lists the file's folder, selects the file and plays it; a file the
// list does not hold plays by itself. An empty path (a cancelled dialog) changes nothing.
void OpenTrackFile(const std::string &path);
// Lists folder (an absolute path with its "/", or "" for none) into list 13 and label 12,
// with its sub-folders or without.
void ListTrackFolder(const std::string &folder, bool withSubFolders);
// Lists the folder of chosenFilePath: its own tracks, or, when it holds none itself, those
// of its sub-folders. The list stays as it is when it already holds that folder's own tracks
// and the folder has not changed since it was listed.
void ScanTrackFolder();
// Selects chosenFilePath's item in list 13 (its path relative to label 12), searching all of
// its items; when it is not among them no item stays selected.
void SelectChosenTrack();
