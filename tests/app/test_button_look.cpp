// Hover looks of the skinned buttons and the pointer shape, driven by real pointer moves.
#include <QCursor>
#include <QGuiApplication>

#include "button_look.h"
#include "playback_controller.h"
#include "player_fixture.h"
#include "ui_internal.h"

namespace {

class ButtonLook : public PlayerTest {
  protected:
    // Moves the pointer to a point of the main window and lets the loop see the move.
    static void MoveTo(QPoint local) {
        auto *widget = reinterpret_cast<QWidget *>(NativeWindowHandle(kMainWindow));
        QCursor::setPos(widget->mapToGlobal(local));
        QTest::mouseMove(WindowOf(kMainWindow), local);
        RunTurns(80);
    }

    static QSize SizeOf(int control) {
        const ScreenRect r = ControlScreenRect(NativeControlHandle(control));
        return QSize(r.right - r.left, r.bottom - r.top);
    }

    static bool HandShown() {
        const QCursor *c = QGuiApplication::overrideCursor();
        return c && c->shape() == Qt::PointingHandCursor;
    }
};

TEST_F(ButtonLook, ExitButton_GrowsToItsLitImageAndKeepsThatSize) {
    EXPECT_EQ(SizeOf(kExitButton), QSize(22, 12));
    MoveTo(QPoint(470, 92));
    EXPECT_EQ(g.closeHover, 1);
    EXPECT_EQ(SizeOf(kExitButton), QSize(30, 20));
    MoveTo(QPoint(40, 40));
    EXPECT_EQ(g.closeHover, 0);
    EXPECT_EQ(SizeOf(kExitButton), QSize(30, 20));
    // The grown area now counts as the button: (490, 105) lies outside 22 x 12.
    MoveTo(QPoint(490, 105));
    EXPECT_EQ(g.closeHover, 1);
}

TEST_F(ButtonLook, PanelButtons_BecomeThirtyByTwenty) {
    MoveTo(QPoint(470, 212));
    EXPECT_EQ(g.plHover, 1);
    EXPECT_EQ(SizeOf(kTrackPanelButton), QSize(30, 20));
    MoveTo(QPoint(110, 210));
    EXPECT_EQ(g.fmHover, 1);
    EXPECT_EQ(g.plHover, 0);
    EXPECT_EQ(SizeOf(kStationPanelButton), QSize(30, 20));
}

TEST_F(ButtonLook, HoverFlags_OnlyTheButtonUnderThePointer) {
    MoveTo(QPoint(300, 220));  // play
    EXPECT_EQ(g.playHover, 1);
    EXPECT_EQ(g.pauseHover + g.prevHover + g.nextHover + g.openHover, 0);
    MoveTo(QPoint(225, 220));  // pause
    EXPECT_EQ(g.playHover, 0);
    EXPECT_EQ(g.pauseHover, 1);
}

TEST_F(ButtonLook, RightAndBottomEdges_AreOutside) {
    // Play is 30 x 27 at (291, 209): x 321 and y 236 lie just outside.
    MoveTo(QPoint(320, 235));
    EXPECT_EQ(g.playHover, 1);
    MoveTo(QPoint(321, 220));
    EXPECT_EQ(g.playHover, 0);
    MoveTo(QPoint(300, 236));
    EXPECT_EQ(g.playHover, 0);
}

TEST_F(ButtonLook, ClickWithoutMove_ChangesNoLook) {
    MoveTo(QPoint(300, 220));
    ASSERT_EQ(g.playHover, 1);
    UpdateButtonLook(kPlayButton, kControlEvent);
    EXPECT_EQ(g.playHover, 1);
}

TEST_F(ButtonLook, HandOverActiveControlsOnly) {
    MoveTo(QPoint(300, 220));  // play
    EXPECT_TRUE(HandShown());
    MoveTo(QPoint(40, 40));  // backdrop
    EXPECT_FALSE(HandShown());
    MoveTo(QPoint(141, 100));  // volume dot 401
    EXPECT_TRUE(HandShown());
    MoveTo(QPoint(300, 180));  // seek bar
    EXPECT_TRUE(HandShown());
    MoveTo(QPoint(250, 160));  // spectrum bars: not active
    EXPECT_FALSE(HandShown());
}

TEST_F(ButtonLook, SpeakerHighlight_StaysOverActiveControls_GoesElsewhere) {
    SetVolumeStep(407);
    const QSize speaker = SizeOf(kSpeaker);
    MoveTo(QPoint(149, 100));  // volume dot 402: an active control
    EXPECT_EQ(SizeOf(kSpeaker), speaker);
    auto *widget = reinterpret_cast<QWidget *>(NativeWindowHandle(kMainWindow));
    const QImage lit = widget->grab(QRect(116, 92, 14, 16)).toImage();
    MoveTo(QPoint(40, 40));
    const QImage cleared = widget->grab(QRect(116, 92, 14, 16)).toImage();
    EXPECT_NE(lit, cleared);
    MoveTo(QPoint(149, 100));  // the highlight does not come back by itself
    EXPECT_EQ(widget->grab(QRect(116, 92, 14, 16)).toImage(), cleared);
}

}  // namespace
