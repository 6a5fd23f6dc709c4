#include "command_line.h"

#include <sys/stat.h>

#include <cstdio>

#include "control_numbers.h"
#include "playback_controller.h"
#include "player_state.h"
#include "station_formats.h"
#include "station_list_control.h"
#include "station_list_file.h"
#include "track_folder.h"
#include "widgets.h"

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string text) {
    for (char &c : text)
        c = LowerAscii(c);
    return text;
}

// "scheme://..." with a scheme as addresses spell it: a letter, then letters, digits, "+",
// "-" and "."; the scheme without "://", lower-cased, or empty for anything else.
std::string AddressScheme(const std::string &argument) {
    const std::size_t colon = argument.find("://");
    if (colon == std::string::npos || colon == 0) return "";
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = LowerAscii(argument[i]);
        const bool letter = c >= 'a' && c <= 'z';
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && !(i > 0 && other)) return "";
    }
    return LowerAscii(argument.substr(0, colon));
}

CommandLine Failure(std::string error) {
    CommandLine failed;
    failed.action = CommandLine::Action::kFail;
    failed.error = std::move(error);
    return failed;
}

void OpenFirst(CommandLine &line, CommandLine::Open open, const std::string &target) {
    if (line.open != CommandLine::Open::kNothing) return;
    line.open = open;
    line.target = target;
}

bool IsOption(const std::string &argument) {
    return argument.size() > 1 && argument[0] == '-';
}

// The options come first, wherever they stand before "--": the first that prints or fails
// decides, before any path is looked at.
CommandLine ReadOptions(const std::vector<std::string> &arguments) {
    CommandLine line;
    for (const std::string &argument : arguments) {
        if (argument == "--") break;
        if (!IsOption(argument)) continue;
        if (argument == "--help" || argument == "-h") {
            line.action = CommandLine::Action::kPrintHelp;
        } else if (argument == "--version" || argument == "-V") {
            line.action = CommandLine::Action::kPrintVersion;
        } else {
            return Failure("неизвестный параметр «" + argument + "» (см. volnar --help)");
        }
        return line;
    }
    return line;
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string> &arguments,
                            const std::string &currentFolder) {
    CommandLine line = ReadOptions(arguments);
    if (line.action != CommandLine::Action::kStart) return line;
    bool optionsEnded = false;
    for (const std::string &argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument.empty()) return Failure("пустое имя файла");

        const std::string scheme = optionsEnded ? "" : AddressScheme(argument);
        if (scheme == "http" || scheme == "https") {
            OpenFirst(line, CommandLine::Open::kStation, argument);
            continue;
        }
        if (!scheme.empty())
            return Failure("адреса вида " + scheme + ":// не поддерживаются: " + argument);

        std::string path = argument;
        if (path[0] != '/') {
            std::string folder = currentFolder.empty() ? "." : currentFolder;
            if (folder.back() != '/') folder += '/';
            path = folder + path;
        }
        struct stat info {};
        if (stat(path.c_str(), &info) != 0)
            return Failure("нет такого файла или папки: " + argument);
        if (S_ISDIR(info.st_mode)) {
            if (path.back() != '/') path += '/';
            OpenFirst(line, CommandLine::Open::kFolder, path);
        } else if (!S_ISREG(info.st_mode)) {
            // A pipe or a device could keep the player waiting for data that never comes.
            return Failure("не файл и не папка: " + argument);
        } else if (IsStationListFileName(path)) {
            if (line.stationFile.empty()) line.stationFile = path;
        } else {
            OpenFirst(line, CommandLine::Open::kTrack, path);
        }
    }
    return line;
}

std::string CommandLineHelp() {
    return "Использование: volnar [ПАРАМЕТР] [ФАЙЛ... | ПАПКА | АДРЕС] [СПИСОК]\n"
           "Проигрыватель музыкальных файлов (MP3, FLAC, Ogg, Opus, AAC, WAV, MIDI и других)\n"
           "и интернет-радио.\n"
           "\n"
           "  ФАЙЛ          играть файл; его папка попадает в список треков\n"
           "  ПАПКА         показать треки папки и её подпапок и выбрать первый, не играя\n"
           "  АДРЕС         играть радиостанцию по адресу http:// или https://\n"
           "  СПИСОК        список радиостанций (.pls, .m3u, .m3u8, .xspf): показать его\n"
           "                станции и играть первую (вместе с ФАЙЛОМ, ПАПКОЙ или\n"
           "                АДРЕСОМ только показать)\n"
           "  -h, --help    показать эту справку и выйти\n"
           "  -V, --version показать версию и выйти\n"
           "  --            дальше только имена файлов\n"
           "\n"
           "Без СПИСКА радиостанции читаются из последнего открытого списка или из\n"
           "первого найденного файла:\n"
           "./radio.pls, $XDG_CONFIG_HOME/volnar/radio.pls (~/.config/volnar/radio.pls),\n"
           "$XDG_DATA_DIRS/volnar/radio.pls (установленный список по умолчанию).\n"
           "Подробнее: man volnar\n";
}

std::string CommandLineVersion() {
    return "volnar " VOLNAR_VERSION "\n";
}

int PrintCommandLineAnswer(const CommandLine &commandLine) {
    switch (commandLine.action) {
        case CommandLine::Action::kPrintHelp:
            std::fputs(CommandLineHelp().c_str(), stdout);
            return 0;
        case CommandLine::Action::kPrintVersion:
            std::fputs(CommandLineVersion().c_str(), stdout);
            return 0;
        case CommandLine::Action::kFail:
            std::fprintf(stderr, "volnar: %s\n", commandLine.error.c_str());
            return 2;
        case CommandLine::Action::kStart:
            break;
    }
    return 0;
}

void OpenFromCommandLine(const CommandLine &commandLine) {
    // A station list named alone is opened and plays; beside something else to open it is
    // only the list in use.
    if (!commandLine.stationFile.empty()) {
        if (commandLine.open == CommandLine::Open::kNothing)
            OpenStationListAndPlay(commandLine.stationFile);
        else
            UseStationListFile(commandLine.stationFile);
    }
    switch (commandLine.open) {
        case CommandLine::Open::kNothing:
            break;
        case CommandLine::Open::kTrack:
            OpenTrackFile(commandLine.target);
            break;
        case CommandLine::Open::kFolder:
            g.chosenFilePath = commandLine.target;
            ListTrackFolder(commandLine.target, true);
            SetControlValue(kTrackList, 0);
            break;
        case CommandLine::Open::kStation:
            PlayAddress(commandLine.target);
            break;
    }
}
