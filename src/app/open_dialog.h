// The open dialog as a command: what the user chose there, opened.
#pragma once

// Command of the open-folder button and Ctrl+O: the dialog, then a station list file (.pls,
// .m3u, .m3u8, .xspf) opens as the list in use and plays its first station, as on the command
// line; a folder is listed with its sub-folders and plays from its first track; a file plays
// with its folder listed. A cancel changes nothing.
void OpenFromDialog();
