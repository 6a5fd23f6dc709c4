// A started player (both windows built, timer running, no event loop) for tests that drive
// the loop turn by turn with simulated input on the offscreen platform.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>
#include <string>

#include "control_numbers.h"
#include "event_loop.h"
#include "player_state.h"
#include "start_up.h"
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

    // The Qt widget that shows a control, found through its place on the screen.
    static QWidget *WidgetOf(int control) {
        const ScreenRect r = ControlScreenRect(NativeControlHandle(control));
        const QPoint centre((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return QApplication::widgetAt(centre);
    }

    static void Click(int control, Qt::MouseButton button = Qt::LeftButton) {
        QWidget *w = WidgetOf(control);
        ASSERT_NE(w, nullptr) << "control " << control;
        QTest::mouseClick(w, button, {}, w->rect().center());
    }

    static void DoubleClick(int control) {
        QWidget *w = WidgetOf(control);
        ASSERT_NE(w, nullptr) << "control " << control;
        QTest::mouseDClick(w, Qt::LeftButton, {}, w->rect().center());
    }

    // A track list of n items, as a folder scan would leave it, item `selected` selected.
    static void FillTrackList(int n, int selected) {
        ClearListItems(kTrackList);
        for (int i = 0; i < n; ++i)
            AddListItem(kTrackList, -1, "t" + std::to_string(i) + ".mp3");
        g.trackCount = n;
        SetControlText(kFolderLabel, "/nonexistent-folder/");
        SetControlValue(kTrackList, selected);
    }
};
