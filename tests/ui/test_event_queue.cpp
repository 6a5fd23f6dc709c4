// The event queue's own rules: window-level events first and de-duplicated, the event
// record's control changed only by control events, polling and waiting.
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "event_queue.h"
#include "layer_test_support.h"

namespace {

QWidget *WindowWidget(int window) {
    return reinterpret_cast<QWidget *>(NativeWindowHandle(window));
}

int CountKind(const std::vector<SeenEvent> &seen, int kind) {
    int count = 0;
    for (const SeenEvent &event : seen)
        count += event.kind == kind;
    return count;
}

// Moving a window also exposes it again on some platforms; these tests look at the moves.
std::vector<SeenEvent> WithoutRepaints(const std::vector<SeenEvent> &seen) {
    std::vector<SeenEvent> kept;
    for (const SeenEvent &event : seen)
        if (event.kind != kWindowRepainted && event.kind != kMouseMove) kept.push_back(event);
    return kept;
}

class EventQueueTest : public LayerTest {};

TEST_F(EventQueueTest, PollNextEvent_NothingHappened_ReturnsZero) {
    ShowWindow(0);
    TakeAllEvents();
    EXPECT_EQ(PollNextEvent(), kNoEvent);
    EXPECT_EQ(PollNextEvent(), kNoEvent);
}

TEST_F(EventQueueTest, PollNextEvent_NoWindowsAtAll_ReturnsZero) {
    EXPECT_EQ(PollNextEvent(), kNoEvent);
}

TEST_F(EventQueueTest, ShowWindow_Exposed_QueuesRepaintedForThatWindow) {
    ShowWindow(3);
    const std::vector<SeenEvent> seen = TakeAllEvents();
    ASSERT_GE(CountKind(seen, kWindowRepainted), 1);
    for (const SeenEvent &event : seen)
        EXPECT_EQ(event.window, 3);
}

TEST_F(EventQueueTest, WindowEvent_AfterQueuedInput_IsReturnedFirst) {
    ShowWindow(0);
    TakeAllEvents();
    PressAt(0, QPoint(20, 20));  // queues LeftButtonDown
    WindowWidget(0)->move(WindowWidget(0)->pos() + QPoint(7, 3));
    const std::vector<SeenEvent> seen = WithoutRepaints(TakeAllEvents());
    ReleaseAt(0, QPoint(20, 20));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, kWindowMoved);
    EXPECT_EQ(seen[1].kind, kLeftButtonDown);
}

TEST_F(EventQueueTest, WindowEvent_SameKindAndWindowAsLastQueued_IsQueuedOnce) {
    QueueWindowEvent(kWindowMoved, 0);
    QueueWindowEvent(kWindowMoved, 0);
    QueueWindowEvent(kWindowResized, 0);
    QueueWindowEvent(kWindowResized, 0);
    QueueWindowEvent(kWindowMoved, 0);
    const std::vector<SeenEvent> expected = {SeenEvent{kWindowMoved, 0, 0, 0},
                                             SeenEvent{kWindowResized, 0, 0, 0},
                                             SeenEvent{kWindowMoved, 0, 0, 0}};
    EXPECT_EQ(TakeAllEvents(), expected);
}

TEST_F(EventQueueTest, WindowEvent_RepeatedMoves_AreReturnedOnceEach) {
    ShowWindow(0);
    TakeAllEvents();
    QWidget *window = WindowWidget(0);
    for (int step = 1; step <= 4; ++step)
        window->move(window->pos() + QPoint(1, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(WithoutRepaints(TakeAllEvents()),
              (std::vector<SeenEvent>{SeenEvent{kWindowMoved, 0, 0, 0}}));
}

TEST_F(EventQueueTest, WindowEvent_OtherWindowBetween_IsQueuedAgain) {
    ShowWindow(0);
    ShowWindow(1);
    TakeAllEvents();
    for (int window : {0, 1, 0}) {
        WindowWidget(window)->move(WindowWidget(window)->pos() + QPoint(1, 0));
        QCoreApplication::processEvents();
    }
    const std::vector<SeenEvent> expected = {SeenEvent{kWindowMoved, 0, 0, 0},
                                             SeenEvent{kWindowMoved, 1, 0, 0},
                                             SeenEvent{kWindowMoved, 0, 0, 0}};
    EXPECT_EQ(WithoutRepaints(TakeAllEvents()), expected);
}

TEST_F(EventQueueTest, WindowEvent_AfterControlEvent_KeepsRecordControlAndSubtype) {
    ShowWindow(0);
    ShowWindow(1);
    CreateImageControl(42, 5, 5, 10, 10, 0);
    TakeAllEvents();
    ClickAt(1, QPoint(8, 8), Qt::RightButton);  // RightButtonUp, then RightClick of 42
    WindowWidget(0)->move(WindowWidget(0)->pos() + QPoint(2, 2));
    const std::vector<SeenEvent> seen = WithoutRepaints(TakeAllEvents());
    ASSERT_EQ(seen.size(), 3u) << ::testing::PrintToString(seen);
    EXPECT_EQ(seen[0], (SeenEvent{kWindowMoved, 0, 0, 0}));
    EXPECT_EQ(seen[2], (SeenEvent{kControlEvent, 1, 42, kRightClick}));
    WindowWidget(0)->move(WindowWidget(0)->pos() + QPoint(2, 2));
    EXPECT_EQ(WithoutRepaints(TakeAllEvents()),
              (std::vector<SeenEvent>{SeenEvent{kWindowMoved, 0, 42, kRightClick}}));
}

TEST_F(EventQueueTest, WindowActivated_ByPlatform_QueuedForThatWindow) {
    ShowWindow(0);
    ShowWindow(1);
    TakeAllEvents();
    WindowWidget(0)->activateWindow();
    const std::vector<SeenEvent> seen = TakeAllEvents();
    ASSERT_EQ(CountKind(seen, kWindowActivated), 1);
    for (const SeenEvent &event : seen) {
        if (event.kind == kWindowActivated) {
            EXPECT_EQ(event.window, 0);
        }
    }
}

TEST_F(EventQueueTest, CloseRequest_FromPlatform_QueuesEventAndKeepsWindowOpen) {
    ShowWindow(0);
    ShowWindow(1);
    TakeAllEvents();
    NativeWindowOf(1)->close();
    const std::vector<SeenEvent> seen = TakeAllEvents();
    EXPECT_EQ(CountKind(seen, kCloseRequest), 1);
    EXPECT_EQ(LastEventWindow(), 1);
    ASSERT_NE(NativeWindowHandle(1), 0u);
    EXPECT_TRUE(WindowWidget(1)->isVisible());
}

TEST_F(EventQueueTest, CloseTopWindow_AfterCloseRequest_FreesNumberAndControls) {
    ShowWindow(1);
    CreateImageControl(28, 1, 1, 5, 5, 0);
    CreateLinkLabel(258, 10, 1, 7, 7, "*", 0);
    CloseTopWindow(1);
    EXPECT_EQ(NativeWindowHandle(1), 0u);
    EXPECT_EQ(NativeControlHandle(28), 0u);
    EXPECT_EQ(NativeControlHandle(258), 0u);
    EXPECT_EQ(CreateImageControl(29, 1, 1, 5, 5, 0), 0u);  // no parent window left
    ShowWindow(1);
    EXPECT_NE(CreateImageControl(28, 1, 1, 5, 5, 0), 0u);
}

TEST_F(EventQueueTest, WaitNextEvent_InputArrivesLater_BlocksUntilIt) {
    ShowWindow(0);
    TakeAllEvents();
    QTimer::singleShot(30, [] { ClickAt(0, QPoint(30, 30)); });
    int kind = WaitNextEvent();
    while (kind == kMouseMove)
        kind = WaitNextEvent();  // the pointer first moves there
    EXPECT_EQ(kind, kLeftButtonDown);
    EXPECT_EQ(LastEventWindow(), 0);
}

TEST_F(EventQueueTest, InputEvents_SeveralActions_KeepTheirOrder) {
    ShowWindow(0);
    CreateImageControl(7, 50, 50, 10, 10, 0);
    TakeAllEvents();
    ClickAt(0, QPoint(10, 10));
    ClickAt(0, QPoint(55, 55));
    ClickAt(0, QPoint(10, 10), Qt::RightButton);
    const std::vector<SeenEvent> expected = {SeenEvent{kLeftButtonDown, 0, 0, 0},
                                             SeenEvent{kControlEvent, 0, 7, kLeftClick},
                                             SeenEvent{kRightButtonUp, 0, 7, kLeftClick}};
    EXPECT_EQ(TakeInputEvents(), expected);
}

}  // namespace
