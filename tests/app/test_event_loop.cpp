#include <QTimer>

#include "playback_controller.h"
#include "player_fixture.h"

namespace {

using EventLoop = PlayerTest;

TEST_F(EventLoop, FirstTurn_DrawsTheClockWhateverTheEvent) {
    ASSERT_TRUE(g.lastSecondText.empty());
    ASSERT_TRUE(RunEventLoopTurn());
    EXPECT_EQ(g.lastSecondText.size(), 2u);
}

TEST_F(EventLoop, Turns_AtLeastEveryTimerPeriod) {
    int turns = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 700) {
        ASSERT_TRUE(RunEventLoopTurn());
        ++turns;
    }
    EXPECT_GE(turns, 12);  // 35 ms timer: about 20 in 700 ms, with room for a slow machine
}

TEST_F(EventLoop, RightClickOnPlay_SwitchesWindowsAndRunsPlay) {
    Click(kPlayButton, Qt::RightButton);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.miniMode, 1);
    // Play ran: the path is label 12's text with no selection, and auto-advance is armed.
    EXPECT_EQ(g.marqueeText, "Путь");
    EXPECT_EQ(GetControlValue(kAutoAdvanceBox), 1);
}

TEST_F(EventLoop, RightClickOnPause_SwitchesWindowsOnly) {
    Click(kPauseButton, Qt::RightButton);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.miniMode, 1);
    EXPECT_EQ(g.paused, 0);
}

TEST_F(EventLoop, LeftClickOnPause_Toggles) {
    Click(kPauseButton);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.paused, 1);
    EXPECT_EQ(g.miniMode, 0);
}

TEST_F(EventLoop, DoubleClickOnNext_StepsTwice) {
    FillTrackList(5, 0);
    DoubleClick(kNextButton);
    EXPECT_TRUE(RunTurnsUntil([] { return GetControlValue(kTrackList) >= 2; }));
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(GetControlValue(kTrackList), 2);
}

TEST_F(EventLoop, DoubleClickOnPause_TogglesOnce) {
    DoubleClick(kPauseButton);
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(g.paused, 1);
}

TEST_F(EventLoop, RightClickOnVolumeDot_SetsTheVolume) {
    Click(409, Qt::RightButton);
    ASSERT_TRUE(RunTurns());
    EXPECT_FLOAT_EQ(g.volume, VolumeGain(90));
    EXPECT_EQ(g.volumePercent, 90);
}

TEST_F(EventLoop, LeftClickOnExit_EndsTheLoop_RightClickDoesNot) {
    Click(kExitButton, Qt::RightButton);
    EXPECT_TRUE(RunTurns());
    ToggleMiniMode();  // back to the main window
    Click(kExitButton);
    EXPECT_FALSE(RunTurns());
}

// With the main window hidden a closed mini window would leave the player running with no
// window at all: its close request ends the player as its exit mark does.
TEST_F(EventLoop, CloseRequestForMiniWindow_EndsTheLoop) {
    ToggleMiniMode();
    QWidget *mini = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->windowTitle() == QStringLiteral("мини")) mini = w;
    ASSERT_NE(mini, nullptr);
    mini->close();  // the platform's close command
    EXPECT_FALSE(RunTurns());
}

TEST_F(EventLoop, CloseRequestForMainWindow_EndsTheLoop) {
    QWidget *main = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->windowTitle() == QStringLiteral("Плеер")) main = w;
    ASSERT_NE(main, nullptr);
    main->close();
    EXPECT_FALSE(RunTurns());
}

TEST_F(EventLoop, DoubleClickOnTrackList_PlaysTheSelectedTrack) {
    ToggleTrackPanel();
    FillTrackList(3, -1);
    g.marqueeText.clear();
    // The first row of the list, just inside the panel.
    QTest::mouseDClick(WindowOf(kMainWindow), Qt::LeftButton, {}, QPoint(105 + 30, 240 + 6));
    ASSERT_TRUE(RunTurns());
    EXPECT_EQ(GetControlValue(kTrackList), 0);
    EXPECT_EQ(g.marqueeText, "t0.wav");
}

using WindowCommands = PlayerTest;

TEST_F(WindowCommands, ToggleMiniMode_ShowsOneWindowAtATime) {
    auto visible = [](const char *title) {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->windowTitle() == QString::fromUtf8(title)) return w->isVisible();
        return false;
    };
    EXPECT_TRUE(visible("Плеер"));
    EXPECT_FALSE(visible("мини"));
    ToggleMiniMode();
    EXPECT_EQ(g.miniMode, 1);
    EXPECT_TRUE(visible("мини"));
    EXPECT_FALSE(visible("Плеер"));
    ToggleMiniMode();
    EXPECT_EQ(g.miniMode, 0);
    EXPECT_TRUE(visible("Плеер"));
    EXPECT_FALSE(visible("мини"));
}

int g_ticks = 0;
void CountTick() {
    ++g_ticks;
}

TEST_F(WindowCommands, SlidePanel_TimerKeepsFiringAndPanelEndsOpen) {
    StartRepeatingTimer(NativeWindowHandle(kMainWindow), 35, CountTick);
    g_ticks = 0;
    SlidePanel(kTrackPanel, true);
    EXPECT_GE(g_ticks, 8);  // the slide lasts at least 76 x 8 ms
    const ScreenRect r = ControlScreenRect(NativeControlHandle(kTrackPanel));
    EXPECT_EQ(r.bottom - r.top, 150);
    EXPECT_EQ(r.right - r.left, 390);
    SlidePanel(kTrackPanel, false);
    const ScreenRect closed = ControlScreenRect(NativeControlHandle(kTrackPanel));
    EXPECT_EQ(closed.bottom - closed.top, 0);
}

TEST_F(WindowCommands, PanelButtons_AtMostOnePanelOpen) {
    ToggleStationPanel();
    EXPECT_EQ(g.stationPanelClosed, 0);
    EXPECT_EQ(g.trackPanelClosed, 1);
    ToggleTrackPanel();  // closes the station panel first
    EXPECT_EQ(g.stationPanelClosed, 1);
    EXPECT_EQ(g.trackPanelClosed, 0);
    ToggleTrackPanel();
    EXPECT_EQ(g.trackPanelClosed, 1);
}

}  // namespace
