// A started player (both windows built, timer running, no event loop) for tests that drive
// the loop turn by turn with simulated input on the offscreen platform.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <filesystem>
#include <string>

#include "control_numbers.h"
#include "event_loop.h"
#include "player_state.h"
#include "start_up.h"
#include "test_media.h"
#include "widgets.h"

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override { PrepareStartUp(); }
    void TearDown() override { ReleaseWidgetLayer(); }

    // Runs loop turns for about `ms` milliseconds; false as soon as a turn ends the loop.
    static bool RunTurns(int ms = 150) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            if (!RunEventLoopTurn()) return false;
        return true;
    }

    // Runs loop turns until `done` holds, for at most `ms` milliseconds; false if it never
    // did. For input whose handling starts a stream: the first one opens the sound device,
    // which on a loaded machine can outlast RunTurns' time by itself.
    template <typename Done>
    static bool RunTurnsUntil(Done done, int ms = 3000) {
        QElapsedTimer clock;
        clock.start();
        while (!done())
            if (clock.elapsed() > ms || !RunEventLoopTurn()) return false;
        return true;
    }

    // Input goes in at the window system's level, as a real pointer's would.
    static QWindow *WindowOf(int window) {
        auto *widget = reinterpret_cast<QWidget *>(NativeWindowHandle(window));
        return widget ? widget->windowHandle() : nullptr;
    }

    // The centre of a control in its window's client coordinates.
    static QPoint CentreOf(int window, int control) {
        auto *widget = reinterpret_cast<QWidget *>(NativeWindowHandle(window));
        const ScreenRect r = ControlScreenRect(NativeControlHandle(control));
        return widget->mapFromGlobal(QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    }

    static void Click(int control, Qt::MouseButton button = Qt::LeftButton,
                      int window = kMainWindow) {
        QTest::mouseClick(WindowOf(window), button, {}, CentreOf(window, control));
    }

    static void DoubleClick(int control, int window = kMainWindow) {
        QTest::mouseDClick(WindowOf(window), Qt::LeftButton, {}, CentreOf(window, control));
    }

    // A track list of n playable items, as a folder scan would leave it, item `selected`
    // selected. Playable, so that auto-advance does not step on by itself.
    static void FillTrackList(int n, int selected) {
        static testmedia::TempDir media;
        const std::string folder = media.Path("tracks");
        std::filesystem::create_directories(folder);
        ClearListItems(kTrackList);
        for (int i = 0; i < n; ++i) {
            const std::string name = "t" + std::to_string(i) + ".wav";
            testmedia::WriteWav(folder + "/" + name, 44100, 2, testmedia::SampleKind::kInt16,
                                testmedia::Sine(440, 3.0, 44100, 2, 0.3));
            AddListItem(kTrackList, -1, name);
        }
        g.trackCount = n;
        SetControlText(kFolderLabel, folder + "/");
        SetControlValue(kTrackList, selected);
    }
};
