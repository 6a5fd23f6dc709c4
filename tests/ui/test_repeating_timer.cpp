// The repeating timer: the callback runs only inside the layer's waits and polls, on the
// user-interface thread, before its TimerTick, and never inside itself.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimerEvent>
#include <thread>

#include "layer_life.h"
#include "layer_test_support.h"

namespace {

int g_calls = 0;
int g_depth = 0;
int g_deepest = 0;
std::thread::id g_thread;

void CountCall() {
    ++g_calls;
    g_thread = std::this_thread::get_id();
}

// A callback that waits for events itself, as a careless tick could.
void PollingCallback() {
    ++g_calls;
    ++g_depth;
    g_deepest = std::max(g_deepest, g_depth);
    PauseMilliseconds(3);
    for (int i = 0; i < 5; ++i)
        PollNextEvent();
    --g_depth;
}

class RepeatingTimerTest : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        g_calls = g_depth = g_deepest = 0;
        g_thread = {};
    }
};

TEST_F(RepeatingTimerTest, Callback_OutsideWaitsAndPolls_DoesNotRun) {
    StartRepeatingTimer(ShowWindow(0), 2, CountCall);
    TakeAllEvents();
    g_calls = 0;
    PauseMilliseconds(40);
    EXPECT_EQ(g_calls, 0);
}

TEST_F(RepeatingTimerTest, WaitNextEvent_TimerFires_RunsCallbackOnThisThreadThenTick) {
    StartRepeatingTimer(ShowWindow(2), 5, CountCall);
    int kind = kNoEvent;
    while ((kind = WaitNextEvent()) != kTimerTick) {
    }
    EXPECT_GE(g_calls, 1);
    EXPECT_EQ(g_thread, std::this_thread::get_id());
    EXPECT_EQ(LastEventWindow(), 2);
}

TEST_F(RepeatingTimerTest, PollNextEvent_AfterPeriodPassed_RunsCallbackAndReturnsTick) {
    StartRepeatingTimer(ShowWindow(0), 5, CountCall);
    TakeAllEvents();
    g_calls = 0;
    PauseMilliseconds(12);
    EXPECT_EQ(g_calls, 0);
    EXPECT_EQ(PollNextEvent(), kTimerTick);
    EXPECT_EQ(g_calls, 1);
}

TEST_F(RepeatingTimerTest, Timer_ManyWaits_FiresAboutEveryPeriod) {
    StartRepeatingTimer(ShowWindow(0), 10, CountCall);
    QElapsedTimer clock;
    clock.start();
    int ticks = 0;
    while (ticks < 10)
        if (WaitNextEvent() == kTimerTick) ++ticks;
    EXPECT_GE(clock.elapsed(), 85);
    EXPECT_EQ(g_calls, 10);
}

TEST_F(RepeatingTimerTest, Callback_PollingInsideItself_IsNeverEnteredAgain) {
    StartRepeatingTimer(ShowWindow(0), 1, PollingCallback);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60)
        PollNextEvent();
    EXPECT_GE(g_calls, 2);
    EXPECT_EQ(g_deepest, 1);
}

// Another object's own timer, counting what reaches it.
class OtherTimer : public QObject {
  public:
    OtherTimer() : id(startTimer(3)) {}
    void timerEvent(QTimerEvent *) override { ++fired; }
    const int id;
    int fired = 0;
};

// Counts the timer events of one object that the application's event filters see.
class FilterSpy : public QObject {
  public:
    explicit FilterSpy(QObject *watched) : watched_(watched) { qApp->installEventFilter(this); }
    bool eventFilter(QObject *receiver, QEvent *event) override {
        if (receiver == watched_ && event->type() == QEvent::Timer) ++seen;
        return false;
    }
    int seen = 0;

  private:
    QObject *watched_;
};

// The layer's application hands the ticks to the timer before its own delivery; every other
// timer event goes the usual way, event filters and all.
TEST_F(RepeatingTimerTest, Ticks_TakenFirst_OtherTimersGoTheUsualWay) {
    OtherTimer other;
    FilterSpy spy(&other);
    StartRepeatingTimer(ShowWindow(0), 5, CountCall);
    StartRepeatingTimer(ShowWindow(0), 4, CountCall);  // restarted with another period
    QElapsedTimer clock;
    clock.start();
    int ticks = 0;
    while (ticks < 10)
        if (WaitNextEvent() == kTimerTick) ++ticks;
    EXPECT_EQ(g_calls, 10);
    EXPECT_GE(clock.elapsed(), 36);  // one tick each period, not two
    EXPECT_GE(other.fired, 5);
    EXPECT_EQ(spy.seen, other.fired);
    QTimerEvent othersTick(other.id);
    QEvent notATimer(QEvent::UpdateRequest);
    EXPECT_FALSE(TakeTimerEvent(&other, &othersTick));
    EXPECT_FALSE(TakeTimerEvent(&other, &notATimer));
    EXPECT_EQ(g_calls, 10);
}

TEST_F(RepeatingTimerTest, StartRepeatingTimer_HandleZeroOrStale_DoesNothing) {
    StartRepeatingTimer(0, 1, CountCall);
    const NativeHandle stale = ShowWindow(4);
    CloseTopWindow(4);
    StartRepeatingTimer(stale, 1, CountCall);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30)
        EXPECT_NE(PollNextEvent(), kTimerTick);
    EXPECT_EQ(g_calls, 0);
}

TEST_F(RepeatingTimerTest, PauseMilliseconds_Always_SleepsWithoutHandlingInput) {
    ShowWindow(0);
    TakeAllEvents();
    QElapsedTimer clock;
    clock.start();
    PauseMilliseconds(25);
    EXPECT_GE(clock.elapsed(), 25);
    PauseMilliseconds(-5);
    PauseMilliseconds(0);
    EXPECT_EQ(PollNextEvent(), kNoEvent);
}

}  // namespace
