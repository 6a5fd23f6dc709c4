// Speed of the media lists: listing a folder of 10,000 tracks (of three kinds, and of every
// format with covers and notes among them), a music root of 100 albums of 12 tracks, and
// loading a station file of 10,000 stations, each meant to take well under 30 ms; opening the
// station panel over a list of 10,000 stations with titles of 1 KB, meant to take under 50 ms;
// picking a track in a folder of 100,000, meant to take under 200 ms.
//
//   build-x/bench/lists/lists_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "control_numbers.h"
#include "player_state.h"
#include "scratch_folder.h"
#include "settings_file.h"
#include "station_list.h"
#include "station_list_control.h"
#include "track_folder.h"
#include "track_names.h"
#include "widgets.h"

namespace {

// A folder of 10,000 entries in shuffled name order: 9,000 tracks of the three kinds in mixed
// letter case and 1,000 other files.
const std::string &TrackFolder() {
    static ScratchFolder scratch;
    static const bool made = [] {
        const char *kinds[] = {".mp3", ".WAV", ".Mid", ".txt"};
        for (int i = 0; i < 10000; ++i) {
            const int k = (i * 7919) % 10000;
            const std::string name = scratch.Path() + (k % 3 ? "Track " : "track ") +
                                     std::to_string(k) + kinds[i % 10 == 9 ? 3 : i % 3];
            close(open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        }
        return true;
    }();
    (void)made;
    return scratch.Path();
}

std::string StationFileText() {
    std::string text = "; bench\r\n[Other]\r\nFile1=http://other/\r\n[Всё подряд]\r\n";
    for (int i = 1; i <= 10000; ++i) {
        const std::string n = std::to_string(i);
        text += "File" + n + "=http://radio.example/stream/" + n + ".mp3\r\nTitle" + n +
                "=Станция номер " + n + "\r\n";
    }
    return text;
}

// The current folder holding a radio.pls of 10,000 stations.
void EnterStationFolder() {
    static ScratchFolder scratch;
    static const bool made = [] {
        std::ofstream(scratch.Path() + "radio.pls", std::ios::binary) << StationFileText();
        return true;
    }();
    (void)made;
    std::error_code error;
    std::filesystem::current_path(scratch.Path(), error);
}

void BM_ListTrackNames_10000Entries(benchmark::State &state) {
    const std::string folder = TrackFolder();
    std::size_t count = 0;
    for (auto _ : state) {
        count = ListTrackNames(folder).size();
        benchmark::DoNotOptimize(count);
    }
    state.counters["tracks"] = static_cast<double>(count);
}
BENCHMARK(BM_ListTrackNames_10000Entries)->Unit(benchmark::kMillisecond);

// A folder of 10,000 entries of every kind a collection holds: tracks of every format in mixed
// letter case, pictures, playlists and notes.
const std::string &MixedFolder() {
    static ScratchFolder scratch;
    static const bool made = [] {
        const char *kinds[] = {".mp3", ".FLAC", ".ogg", ".opus", ".m4a", ".wav", ".Mid",
                               ".wv",  ".ape",  ".wma", ".aiff", ".mka", ".jpg", ".cue",
                               ".m3u", ".txt",  ".log", ".kar",  ".aac", ".oga"};
        for (int i = 0; i < 10000; ++i) {
            const int k = (i * 7919) % 10000;
            const std::string name = scratch.Path() + "Track " + std::to_string(k) + kinds[i % 20];
            close(open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        }
        return true;
    }();
    (void)made;
    return scratch.Path();
}

void BM_ListTrackNames_10000EntriesOfEveryFormat(benchmark::State &state) {
    const std::string folder = MixedFolder();
    std::size_t count = 0;
    for (auto _ : state) {
        count = ListTrackNames(folder).size();
        benchmark::DoNotOptimize(count);
    }
    state.counters["tracks"] = static_cast<double>(count);
}
BENCHMARK(BM_ListTrackNames_10000EntriesOfEveryFormat)->Unit(benchmark::kMillisecond);

// A music root of 100 album folders (artist/album, as collections are kept), each of 12
// tracks, a cover and a cue sheet.
const std::string &AlbumTree() {
    static ScratchFolder scratch;
    static const bool made = [] {
        for (int a = 0; a < 100; ++a) {
            const std::string artist = scratch.Path() + "Artist " + std::to_string(a % 25) + "/";
            const std::string album = artist + "Album " + std::to_string(a) + "/";
            std::filesystem::create_directories(album);
            for (int t = 1; t <= 12; ++t) {
                const std::string name = album + (t < 10 ? "0" : "") + std::to_string(t) +
                                         " Song." + (a % 2 ? "flac" : "mp3");
                close(open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
            }
            for (const char *other : {"cover.jpg", "album.cue"})
                close(open((album + other).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        }
        return true;
    }();
    (void)made;
    return scratch.Path();
}

void BM_ListTrackTree_100AlbumsOf12Tracks(benchmark::State &state) {
    const std::string root = AlbumTree();
    std::size_t count = 0;
    for (auto _ : state) {
        count = ListTrackNamesWithSubFolders(root).size();
        benchmark::DoNotOptimize(count);
    }
    state.counters["tracks"] = static_cast<double>(count);
}
BENCHMARK(BM_ListTrackTree_100AlbumsOf12Tracks)->Unit(benchmark::kMillisecond);

// The window, label 12 and list 13 of the track panel, on the offscreen platform, once.
void MakeTrackListControls() {
    static const bool made = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        InitWidgetLayer();
        CreateTopWindow(0, 0, 0, 600, 400, "Плеер",
                        kWindowBorderless | kWindowHidden | kWindowCentred);
        CreateContainer(16, 105, 240, 390, 0);
        CreateListControl(13, -2, -2, 415, 155);
        CreateTextLabel(12, 0, 0, 0, 0, "Путь", 0);
        EndContainer();
        return true;
    }();
    (void)made;
}

// The whole scan as the player runs it: listing, label 12 and 10,000 entries' tracks into
// list 13 on the offscreen platform.
void BM_ScanTrackFolder_10000Entries(benchmark::State &state) {
    MakeTrackListControls();
    g.chosenFilePath = TrackFolder() + "Track 1.mp3";
    for (auto _ : state)
        ScanTrackFolder();
    state.counters["tracks"] = g.trackCount;
}
BENCHMARK(BM_ScanTrackFolder_10000Entries)->Unit(benchmark::kMillisecond);

// A file picked in the music root of 100 albums: the root holds no track itself, so the scan
// lists the whole tree into list 13.
void BM_ScanTrackFolder_RootOf100Albums(benchmark::State &state) {
    MakeTrackListControls();
    g.chosenFilePath = AlbumTree() + "folder.jpg";
    for (auto _ : state)
        ScanTrackFolder();
    state.counters["tracks"] = g.trackCount;
}
BENCHMARK(BM_ScanTrackFolder_RootOf100Albums)->Unit(benchmark::kMillisecond);

// A folder of 100,000 tracks.
const std::string &BigTrackFolder() {
    static ScratchFolder scratch;
    static const bool made = [] {
        for (int i = 0; i < 100000; ++i) {
            const std::string name = scratch.Path() + "Track " + std::to_string(i) + ".mp3";
            close(open(name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        }
        return true;
    }();
    (void)made;
    return scratch.Path();
}

// Picking the last track of a folder of 100,000 as the open-file dialog does: the folder's
// list filled and the picked file found and selected, all on the window's thread. Meant to
// take under 200 ms.
void BM_PickTrack_100000Entries(benchmark::State &state) {
    MakeTrackListControls();
    g.chosenFilePath = BigTrackFolder() + "Track 99999.mp3";
    for (auto _ : state) {
        ScanTrackFolder();
        SelectChosenTrack();
    }
    state.counters["tracks"] = g.trackCount;
    state.counters["selected"] = GetControlValue(13);
}
BENCHMARK(BM_PickTrack_100000Entries)->Unit(benchmark::kMillisecond);

void BM_LoadStationList_10000Stations(benchmark::State &state) {
    EnterStationFolder();
    g.stationGroup = "Всё подряд";
    for (auto _ : state) {
        LoadStationList();
        benchmark::DoNotOptimize(g.stations.entries.data());
    }
    state.counters["stations"] = static_cast<double>(g.stations.entries.size());
}
BENCHMARK(BM_LoadStationList_10000Stations)->Unit(benchmark::kMillisecond);

void BM_ReadStationsFromMemory_10000Stations(benchmark::State &state) {
    const std::string text = StationFileText();
    for (auto _ : state) {
        OpenSettingsFromMemory(text);
        SelectSettingsGroup("Всё подряд");
        for (int n = 1;; ++n) {
            if (ReadSettingsString("File" + std::to_string(n), "").empty()) break;
            benchmark::DoNotOptimize(ReadSettingsString("Title" + std::to_string(n), ""));
        }
        CloseSettingsFile();
    }
}
BENCHMARK(BM_ReadStationsFromMemory_10000Stations)->Unit(benchmark::kMillisecond);

// 10,000 stations whose titles are 1 KB of mixed Cyrillic and Latin text.
std::string LongTitleStationFileText() {
    std::string text = "[Всё подряд]\r\n";
    std::string filler;
    while (filler.size() < 1000)
        filler += "Радио Volna 101.7 FM - ";
    filler.resize(1000);  // an even size: ends on a whole Cyrillic letter or an ASCII one
    for (int i = 1; i <= 10000; ++i) {
        const std::string n = std::to_string(i);
        text += "File" + n + "=http://radio.example/" + n + "\r\nTitle" + n + "=" + n + " " +
                filler + "\r\n";
    }
    return text;
}

// The station panel as the main window builds it (in its colours), filled from a file of
// 10,000 stations of 1 KB titles, closed.
void BuildStationPanel() {
    static const bool built = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        InitWidgetLayer();
        CreateTopWindow(kMainWindow, 0, 0, 511, 450, "Плеер", kWindowBorderless);
        CreateContainer(kStationPanel, 0, 220, 511, 0);
        CreateListControl(kStationList, -2, -2, 515, 155);
        // The panel's colours, and with them its scroll bar's style sheet.
        SetControlColours(kStationList, RGB(95, 95, 95), RGB(21, 24, 29));
        EndContainer();
        static ScratchFolder scratch;
        std::ofstream(scratch.Path() + "radio.pls", std::ios::binary) << LongTitleStationFileText();
        std::error_code error;
        std::filesystem::current_path(scratch.Path(), error);
        g.stationGroup = "Всё подряд";
        LoadStationList();
        FillStationListControl();
        while (PollNextEvent() != 0) {
        }
        return true;
    }();
    (void)built;
}

// Opening the panel: the container grows to its open height and the window is painted with
// the list in view, as the first steps of the slide do. Closed again outside the timing.
void BM_OpenStationPanel_10000StationsOf1KbTitles(benchmark::State &state) {
    BuildStationPanel();
    auto *window = reinterpret_cast<QWidget *>(NativeWindowHandle(kMainWindow));
    for (auto _ : state) {
        ResizeControl(kStationPanel, kKeep, kKeep, kKeep, 150);
        benchmark::DoNotOptimize(window->grab());
        while (PollNextEvent() != 0) {
        }
        state.PauseTiming();
        ResizeControl(kStationPanel, kKeep, kKeep, kKeep, 0);
        while (PollNextEvent() != 0) {
        }
        state.ResumeTiming();
    }
    state.counters["stations"] = static_cast<double>(g.stations.entries.size());
}
BENCHMARK(BM_OpenStationPanel_10000StationsOf1KbTitles)->Unit(benchmark::kMillisecond);

// The start-up part the panel relies on: reading that file and filling the list.
void BM_LoadAndFillStations_10000StationsOf1KbTitles(benchmark::State &state) {
    BuildStationPanel();
    for (auto _ : state) {
        LoadStationList();
        FillStationListControl();
    }
}
BENCHMARK(BM_LoadAndFillStations_10000StationsOf1KbTitles)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
