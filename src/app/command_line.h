// The command line: what to open once the player has started, which station file to read,
// or what to print instead of starting. Reading it changes nothing, so a player that is
// already running can be handed the same record and open what it names.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
    enum class Action { kStart, kPrintHelp, kPrintVersion, kFail };
    enum class Open { kNothing, kTrack, kFolder, kStation };

    Action action = Action::kStart;
    // The first thing to open that the line names; later tracks, folders and addresses are
    // checked but not opened.
    Open open = Open::kNothing;
    // kTrack: the file's absolute path; kFolder: the folder's, with a trailing "/";
    // kStation: the address as given.
    std::string target;
    // The first station list file named (".pls", ".m3u", ".m3u8", ".xspf"), absolute; empty:
    // the remembered list or the usual places are used.
    std::string stationFile;
    // kFail: one line saying what is wrong, without the program name or a line end.
    std::string error;
};

// Reads the arguments after the program name. Relative paths are taken from currentFolder.
// Options: --help (-h), --version (-V), and "--", after which every argument is a path.
// Options are read first, wherever they stand: the first decides, an unknown one fails.
// Then a path that does not exist or is neither a file nor a folder, and an address whose
// scheme is not http or https, fail.
CommandLine ReadCommandLine(const std::vector<std::string> &arguments,
                            const std::string &currentFolder);
// The texts printed for --help and --version, each ending in a line end.
std::string CommandLineHelp();
std::string CommandLineVersion();
// What main does: prints the help, the version or "volnar: " and the error, and returns the
// exit code (0 for the first two, 2 for an error). Only for actions other than kStart.
int PrintCommandLineAnswer(const CommandLine &commandLine);
// Opens what the record names in the started player: a track as if picked in the open-file
// dialog (its folder listed, it plays); a folder listed with its first track selected and
// nothing playing; a station address played (PlayAddress). A station list named becomes the
// list in use; named alone, its first station plays with the station panel open.
void OpenFromCommandLine(const CommandLine &commandLine);
