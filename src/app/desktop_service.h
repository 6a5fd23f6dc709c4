// The player's side of the desktop bus: what the desktop is shown, the commands its media
// controls send, and the arguments a later start of the player hands over.
#pragma once

#include <string>
#include <vector>

#include "desktop_bus.h"

// What the player shows now, as the desktop's media controls are to see it.
BusPlayerView DescribePlayer();
// Connects the player to the session bus (BusStart says how that went).
BusStart ConnectDesktopBus();
// Runs the commands the desktop queued since the last turn; false when one asks the player
// to end (Quit).
bool RunDesktopCommands();
// Tells the desktop where the position jumped to after the seek bar was clicked.
void AnnounceSeek();
// From now on SIGTERM, SIGINT and SIGHUP end the player at its next loop turn as the cross
// does (the state is remembered), instead of killing it on the spot.
void EndOnTerminationSignals();
// True once such a signal arrived.
bool EndRequested();
// Acts on a later start's command line as that start would have: ReadCommandLine with the
// folder it ran in, then OpenFromCommandLine (a station list it names is opened); in every
// case the window in use comes to the front.
void HandleForwardedArguments(const std::string &folder, const std::vector<std::string> &arguments);
// The file path of a "file:" address (percent-decoded), or the text itself when it is a
// path already; empty for anything else.
std::string PathOfFileAddress(const std::string &address);
// True for an address that plays as a station (http:// or https://, any letter case).
bool IsStationAddress(const std::string &text);
// Opens a file, a folder or an address, whichever the text names (a path or a "file:"
// address): a folder listed, a track played, a station list opened and its first station
// played, an address played as a station. False when it names none of them.
bool OpenLocation(const std::string &location);
