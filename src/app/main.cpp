#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "command_line.h"
#include "start_up.h"

int main(int argc, char **argv) {
    char folder[PATH_MAX];
    const std::string currentFolder = getcwd(folder, sizeof folder) ? folder : ".";
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandLine commandLine = ReadCommandLine(arguments, currentFolder);
    // Printing and failing happen before any window could open.
    if (commandLine.action != CommandLine::Action::kStart)
        return PrintCommandLineAnswer(commandLine);
    StartUp(commandLine, arguments, currentFolder);
}
