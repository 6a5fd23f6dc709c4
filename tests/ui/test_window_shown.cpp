// Whether a window is in view, the callback of its return, and control serials: what lets a
// caller stop drawing while nothing is in view and skip drawings a control already shows.
#include <QCoreApplication>
#include <QWidget>

#include "layer_test_support.h"

namespace {

int g_calls = 0;
int g_visibleDuringCall = -1;

void CountCall() {
    ++g_calls;
    if (const auto *window = reinterpret_cast<QWidget *>(NativeWindowHandle(1)))
        g_visibleDuringCall = window->isVisible();
}

class WindowShownTest : public LayerTest {
  protected:
    void SetUp() override {
        LayerTest::SetUp();
        g_calls = 0;
        g_visibleDuringCall = -1;
        SetWindowShownCallback(CountCall);
    }
};

TEST_F(WindowShownTest, WindowShowing_FollowsVisibilityAndNumbers) {
    EXPECT_EQ(WindowShowing(0), 0);
    EXPECT_EQ(WindowShowing(-1), 0);
    CreateTopWindow(1, 0, 0, 50, 40, "окно", kWindowBorderless | kWindowHidden);
    EXPECT_EQ(WindowShowing(1), 0);
    SetWindowVisible(1, 1);
    EXPECT_EQ(WindowShowing(1), 1);
    SetWindowVisible(1, 0);
    TakeAllEvents();
    EXPECT_EQ(WindowShowing(1), 0);
    CloseTopWindow(1);
    EXPECT_EQ(WindowShowing(1), 0);
}

TEST_F(WindowShownTest, SetWindowVisible_HiddenWindow_CallbackRunsBeforeItShows) {
    CreateTopWindow(1, 0, 0, 50, 40, "окно", kWindowBorderless | kWindowHidden);
    SetWindowVisible(1, 1);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(g_visibleDuringCall, 0);
    TakeAllEvents();
    // Already in view, or hidden: no call.
    SetWindowVisible(1, 1);
    SetWindowVisible(1, 0);
    TakeAllEvents();
    EXPECT_EQ(g_calls, 1);
    SetWindowVisible(1, 1);
    EXPECT_EQ(g_calls, 2);
    SetWindowShownCallback(nullptr);
    SetWindowVisible(1, 0);
    SetWindowVisible(1, 1);  // no callback: nothing runs
    EXPECT_EQ(g_calls, 2);
}

TEST_F(WindowShownTest, ControlSerial_NewForEveryCreationZeroForNone) {
    ShowWindow(0, 100, 60);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(ControlSerial(5), 0u);
    CreateImageControl(5, 0, 0, 10, 10, 0);
    const std::uint64_t first = ControlSerial(5);
    EXPECT_NE(first, 0u);
    EXPECT_EQ(ControlSerial(5), first);
    CreateImageControl(5, 0, 0, 10, 10, 0);  // the same number, a new control
    const std::uint64_t second = ControlSerial(5);
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, first);
    CreateTextLabel(6, 0, 20, 10, 10, "", 0);
    EXPECT_NE(ControlSerial(6), second);
    CloseTopWindow(0);
    EXPECT_EQ(ControlSerial(5), 0u);
    EXPECT_EQ(ControlSerial(6), 0u);
}

}  // namespace
