// Speed of the media lists: listing a folder of 10,000 tracks and loading a station file of
// 10,000 stations, each meant to take well under 30 ms.
//
//   build-x/bench/lists/lists_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "player_state.h"
#include "settings_file.h"
#include "station_list.h"
#include "track_folder.h"
#include "track_names.h"
#include "widgets.h"

namespace {

// A scratch folder for the life of the program's run.
class Scratch {
  public:
    Scratch() {
        char pattern[] = "/tmp/volnar-lists-bench-XXXXXX";
        if (mkdtemp(pattern) != nullptr) path_ = std::string(pattern) + "/";
    }
    ~Scratch() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    const std::string &Path() const { return path_; }

  private:
    std::string path_;
};

// A folder of 10,000 entries in shuffled name order: 9,000 tracks of the three kinds in mixed
// letter case and 1,000 other files.
const std::string &TrackFolder() {
    static Scratch scratch;
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
    static Scratch scratch;
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

// The whole scan as the player runs it: listing, label 12 and 10,000 entries' tracks into
// list 13 on the offscreen platform.
void BM_ScanTrackFolder_10000Entries(benchmark::State &state) {
    static const bool controls = [] {
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
    (void)controls;
    g.chosenFilePath = TrackFolder() + "Track 1.mp3";
    for (auto _ : state)
        ScanTrackFolder();
    state.counters["tracks"] = g.trackCount;
}
BENCHMARK(BM_ScanTrackFolder_10000Entries)->Unit(benchmark::kMillisecond);

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

}  // namespace

BENCHMARK_MAIN();
