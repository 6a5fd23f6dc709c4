#include "start_up.h"

#include <cstdlib>

#include "audio_engine.h"
#include "control_numbers.h"
#include "event_loop.h"
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

void PrepareStartUp() {
    ResetPlayerState();
    InitWidgetLayer();
    RegisterEmbeddedFonts();
    // PNG decoding needs no set-up: the image loader calls libpng directly.
    g.marqueeStep = 1.0f;
    g.volume = 0.5f;
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
    CreateTopWindow(kMainWindow, 0, 0, 600, 400, "Плеер", hiddenCentred);
    BuildMainWindow();
    BASS_Init(-1, 44100, 0, reinterpret_cast<void *>(NativeWindowHandle(kMainWindow)), nullptr);
    CreateTopWindow(kMiniWindow, 0, 0, 225, 52, "мини", hiddenCentred);
    BuildMiniWindow();
    StartRepeatingTimer(NativeWindowHandle(kMainWindow), kRefreshPeriodMs, RefreshTick);
    SetWindowShownCallback(RedrawAfterHiding);
    SetWindowVisible(kMainWindow, 1);
}

void StartUp() {
    PrepareStartUp();
    RunEventLoop();
    ShutDown();
}

void ShutDown() {
    // The audio engine gets no shutdown call: ending the process ends playback.
    ReleaseWidgetLayer();
    std::exit(0);
}
