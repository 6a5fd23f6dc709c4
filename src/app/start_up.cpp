#include "start_up.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "audio_engine.h"
#include "command_line.h"
#include "control_numbers.h"
#include "desktop_service.h"
#include "engine_loading.h"
#include "event_loop.h"
#include "playback_controller.h"
#include "player_memory.h"
#include "player_state.h"
#include "refresh_tick.h"
#include "skin_resources.h"
#include "widgets.h"
#include "window_layout.h"

namespace {

// Six segments, each between "..." and two spaces apart; the last one is the web address.
constexpr char kStartUpMarquee[] =
    "...VOLNAR...  ...Darizo ZU vuzuz...  ...MP3  Player...  ...Каналов-0...0 kHz...  "
    "...ZENKOD...  ...volnar.example.org...";

constexpr int kRefreshPeriodMs = 35;

}  // namespace

namespace {

// Start-up after the widget layer is up: the skin, both windows (hidden), the audio engine and
// the refresh timer.
// The refresh tick, which also runs inside the open-file dialog: a session that ends the
// player by a signal (logging out) has it cancel the dialog, whose end would hold it up.
void Tick() {
    RefreshTick();
    if (EndRequested()) CancelFileChooser();
}

void BuildPlayer() {
    RegisterEmbeddedFonts();
    SetEmbeddedProgramIcon();
    // PNG decoding needs no set-up: the image loader calls libpng directly.
    g.marqueeStep = 1.0f;
    g.volume = VolumeGain(50);
    g.stations = StationList{};
    g.volumePercent = 50;
    g.mouseX = 230;
    g.barTop = 154;
    g.spectrumLastBar = 41;
    g.barWidth = 5;
    g.barHeight = 12;
    g.barGap = 1;
    g.barColour = RGB(196, 198, 204);
    LoadSkinImages();
    g.marqueeText = kStartUpMarquee;
    g.marqueeX = 50.0f;
    CreateFontInSlot(kMarqueeFont, "MicroTech", 18, kFontHighQuality);
    CreateFontInSlot(kMiniMarqueeFont, "MicroTech", 8, kFontBold | kFontHighQuality);
    g.stationPanelClosed = 1;
    g.trackPanelClosed = 1;

    const int hiddenCentred = kWindowBorderless | kWindowHidden | kWindowCentred;
    CreateTopWindow(kMainWindow, 0, 0, 600, 400, "Плеер", hiddenCentred | kWindowSeeThrough);
    BuildMainWindow();
    BASS_Init(-1, 44100, 0, reinterpret_cast<void *>(NativeWindowHandle(kMainWindow)), nullptr);
    CreateTopWindow(kMiniWindow, 0, 0, 225, 52, "мини", hiddenCentred | kWindowSeeThrough);
    BuildMiniWindow();
    StartRepeatingTimer(NativeWindowHandle(kMainWindow), kRefreshPeriodMs, Tick);
    SetWindowShownCallback(RedrawAfterHiding);
}

void PublishNewStreamTitle() {
    PublishPlayerView();
}

// The display went away (the session ended, Xwayland restarted): what the user did since the
// last save is kept.
void RememberBeforeTheEnd() {
    RememberNow();
}

}  // namespace

void PrepareStartUp(const std::string &stationFile) {
    ResetPlayerState();
    g.stationFile = stationFile;
    InitWidgetLayer();
    BuildPlayer();
    SetWindowVisible(kMainWindow, 1);
}

void StartUp(const CommandLine &commandLine, const std::vector<std::string> &arguments,
             const std::string &currentFolder) {
    ResetPlayerState();
    g.stationFile = commandLine.stationFile;
    InitWidgetLayer();
    // One player at a time: a later start hands its command line to the running one and
    // ends before it has shown anything. When the running one does not take it (it is
    // ending just now), this one runs by itself.
    if (ConnectDesktopBus() == BusStart::kOtherPlayerRuns &&
        HandArgumentsToRunningPlayer(currentFolder, arguments)) {
        ReleaseWidgetLayer();
        std::exit(0);
    }
    BuildPlayer();
    RestoreRememberedState();
    SetDisplayLostHandler(RememberBeforeTheEnd);
    SetWindowVisible(g.miniMode == 1 ? kMiniWindow : kMainWindow, 1);
    SetStreamTitleListener(PublishNewStreamTitle);
    EndOnTerminationSignals();
    OpenFromCommandLine(commandLine);
    PublishPlayerView();
    // Unless something plays already: the first track then starts without the engine's load.
    LoadEngineAhead();
    RunEventLoop();
    // The names go first, so that a start from now on runs a player of its own instead of
    // handing its arguments to one that is ending.
    StopDesktopBus();
    RememberNow();
    ShutDown();
}

void ShutDown() {
    // The audio engine gets no shutdown call: ending the process ends playback.
    ReleaseWidgetLayer();
    std::exit(0);
}
