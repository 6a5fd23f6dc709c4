// Dragging a borderless window: a press without a move leaves the window and lets the
// release reach the control; a move beyond the drag distance carries the window along.
#include <QApplication>
#include <QCursor>
#include <QTimer>
#include <QWidget>

#include "layer_test_support.h"

namespace {

int g_ticks = 0;
void CountTick() {
    ++g_ticks;
}

QWidget *Window(int window) {
    return reinterpret_cast<QWidget *>(NativeWindowHandle(window));
}

QPoint Global(int window, QPoint at) {
    return Window(window)->mapToGlobal(at);
}

class WindowDragTest : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        ShowWindow(0, 200, 100);
        CreateLinkLabel(8, 150, 5, 30, 15, "*", 0);
        start_ = Window(0)->pos();
        g_ticks = 0;
        TakeAllEvents();
    }
    // Puts the pointer where the press will happen, as a real press has it.
    void PressWithPointerAt(QPoint at) {
        QCursor::setPos(Global(0, at));
        QCoreApplication::processEvents();
        PressAt(0, at);
    }
    QPoint start_;
};

TEST_F(WindowDragTest, StartWindowDrag_ButtonAlreadyReleased_ReturnsAtOnce) {
    ClickAt(0, QPoint(20, 20));
    ASSERT_EQ(TakeInputEvents().size(), 1u);
    StartWindowDrag(0);
    EXPECT_EQ(Window(0)->pos(), start_);
}

TEST_F(WindowDragTest, StartWindowDrag_ReleasedWithoutMoving_LeavesWindowAndClickArrives) {
    PressWithPointerAt(QPoint(160, 10));
    QTimer::singleShot(20, [] { ReleaseAt(0, QPoint(160, 10)); });
    StartWindowDrag(0);
    EXPECT_EQ(Window(0)->pos(), start_);
    const std::vector<SeenEvent> expected = {SeenEvent{kLeftButtonDown, 0, 0, 0},
                                             SeenEvent{kControlEvent, 0, 8, kLeftClick}};
    EXPECT_EQ(TakeInputEvents(), expected);
}

TEST_F(WindowDragTest, StartWindowDrag_SmallJitter_DoesNotMoveTheWindow) {
    PressWithPointerAt(QPoint(40, 40));
    const QPoint jitter(QApplication::startDragDistance() / 2, 0);
    QTimer::singleShot(10, [jitter] { QCursor::setPos(Global(0, QPoint(40, 40) + jitter)); });
    QTimer::singleShot(30, [jitter] { ReleaseAt(0, QPoint(40, 40) + jitter); });
    StartWindowDrag(0);
    EXPECT_EQ(Window(0)->pos(), start_);
}

TEST_F(WindowDragTest, StartWindowDrag_MovedBeyondDragDistance_WindowFollowsPointer) {
    PressWithPointerAt(QPoint(40, 40));
    const QPoint pressed = Global(0, QPoint(40, 40));
    QTimer::singleShot(10, [pressed] { QCursor::setPos(pressed + QPoint(12, 3)); });
    QTimer::singleShot(25, [pressed] { QCursor::setPos(pressed + QPoint(30, 20)); });
    QTimer::singleShot(40, [] { ReleaseAt(0, QPoint(40, 40)); });
    StartWindowDrag(0);
    EXPECT_EQ(Window(0)->pos(), start_ + QPoint(30, 20));
}

TEST_F(WindowDragTest, StartWindowDrag_Held_TimerKeepsFiring) {
    StartRepeatingTimer(NativeWindowHandle(0), 5, CountTick);
    PressWithPointerAt(QPoint(40, 40));
    QTimer::singleShot(60, [] { ReleaseAt(0, QPoint(40, 40)); });
    StartWindowDrag(0);
    EXPECT_GE(g_ticks, 3);
}

TEST_F(WindowDragTest, StartWindowDrag_WindowClosedDuringDrag_Returns) {
    PressWithPointerAt(QPoint(40, 40));
    QTimer::singleShot(10, [] { CloseTopWindow(0); });
    StartWindowDrag(0);
    EXPECT_EQ(NativeWindowHandle(0), 0u);
    ShowWindow(1);
    ReleaseAt(1, QPoint(5, 5));
}

}  // namespace
