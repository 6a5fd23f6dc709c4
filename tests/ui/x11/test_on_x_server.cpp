// Real input from the X server (xdotool through XTEST): typing a path into the file dialog,
// dragging a borderless window with no window manager running, and pointer positions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <string>

#include "layer_life.h"
#include "widgets.h"

namespace {

QWidget *Window(int window) {
    return reinterpret_cast<QWidget *>(NativeWindowHandle(window));
}

// Runs xdotool and waits for it; its input reaches the program at its next event processing.
void Xdotool(const std::string &arguments) {
    ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
}

std::string At(QPoint global) {
    return std::to_string(global.x()) + " " + std::to_string(global.y());
}

// Waits (processing events) for the next event of the kind, up to two seconds.
bool WaitForKind(int kind) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000) {
        if (PollNextEvent() == kind) return true;
        QTest::qWait(2);
    }
    return false;
}

class OnXServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ReleaseWindowsAndEvents();
        CreateTopWindow(0, 0, 0, 300, 200, "Плеер",
                        kWindowBorderless | kWindowHidden | kWindowCentred);
        SetWindowVisible(0, 1);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window(0)));
        while (PollNextEvent() != kNoEvent) {
        }
    }
    void TearDown() override { ReleaseWindowsAndEvents(); }
};

TEST_F(OnXServerTest, FileDialog_PathTypedAndReturn_ReturnsThatPath) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.path() + QStringLiteral("/track_without_dot");
    QFile(file).open(QIODevice::WriteOnly);
    auto *typist = new QTimer;
    typist->setInterval(20);
    QObject::connect(typist, &QTimer::timeout, typist, [typist, file] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isActiveWindow() || !QApplication::focusWidget()) return;
        typist->stop();
        typist->deleteLater();
        Xdotool("type --delay 2 '" + file.toStdString() + "'");
        Xdotool("key Return");
    });
    typist->start();
    EXPECT_EQ(ChooseFileToOpen("", "", "*.*|*.*", 0), QFile::encodeName(file).toStdString());
}

TEST_F(OnXServerTest, StartWindowDrag_PointerMovedWithButtonDown_MovesWindowAlong) {
    const QPoint start = Window(0)->pos();
    Xdotool("mousemove " + At(Window(0)->mapToGlobal(QPoint(50, 50))) + " mousedown 1");
    ASSERT_TRUE(WaitForKind(kLeftButtonDown));
    QTimer::singleShot(30, [] { Xdotool("mousemove_relative 40 30"); });
    QTimer::singleShot(120, [] { Xdotool("mouseup 1"); });
    StartWindowDrag(0);
    EXPECT_EQ(Window(0)->pos(), start + QPoint(40, 30));
}

TEST_F(OnXServerTest, StartWindowDrag_QuickClick_LeavesWindowInPlace) {
    const QPoint start = Window(0)->pos();
    CreateLinkLabel(258, 280, 1, 10, 10, "*", 0);
    Xdotool("mousemove " + At(Window(0)->mapToGlobal(QPoint(284, 5))) + " click 1");
    ASSERT_TRUE(WaitForKind(kLeftButtonDown));
    StartWindowDrag(0);
    EXPECT_EQ(Window(0)->pos(), start);
    ASSERT_TRUE(WaitForKind(kControlEvent));
    EXPECT_EQ(LastEventControl(), 258);
    EXPECT_EQ(LastEventSubtype(), kLeftClick);
}

// The player starts a drag at every LeftButtonDown; a double click on a list item must
// still reach the list as the pair LeftDoubleClick (carrying the list) and DoubleClick.
TEST_F(OnXServerTest, ListDoubleClick_WithDragAfterFirstPress_ReachesTheList) {
    CreateListControl(13, 10, 10, 200, 120);
    AddListItem(13, -1, "first.mp3");
    AddListItem(13, -1, "second.mp3");
    QTest::qWait(50);
    while (PollNextEvent() != kNoEvent) {
    }
    const QPoint item = Window(0)->mapToGlobal(QPoint(40, 16));
    Xdotool("mousemove " + At(item) + " mousedown 1");
    ASSERT_TRUE(WaitForKind(kLeftButtonDown));
    QTimer::singleShot(10, [] { Xdotool("mouseup 1"); });
    StartWindowDrag(0);
    Xdotool("click 1");
    ASSERT_TRUE(WaitForKind(kLeftDoubleClick));
    EXPECT_EQ(LastEventControl(), 13);
    ASSERT_TRUE(WaitForKind(kControlEvent));
    while (LastEventSubtype() == kLeftClick)
        ASSERT_TRUE(WaitForKind(kControlEvent));
    EXPECT_EQ(LastEventSubtype(), kDoubleClick);
    EXPECT_EQ(GetControlText(13), "first.mp3");
}

TEST_F(OnXServerTest, PointerXInWindow_RealPointer_MinusOneFromTheWidthOn) {
    const QPoint origin = Window(0)->mapToGlobal(QPoint(0, 0));
    Xdotool("mousemove " + At(origin + QPoint(299, 10)));
    EXPECT_TRUE(WaitForKind(kMouseMove));
    EXPECT_EQ(PointerXInWindow(0), 299);
    Xdotool("mousemove " + At(origin + QPoint(300, 10)));
    EXPECT_EQ(PointerXInWindow(0), -1);
    EXPECT_EQ(PointerScreenPosition().x, origin.x() + 300);
}

}  // namespace

// A window manager minimises a window by unmapping it. The window then counts as out of view;
// when it is mapped again the shown callback runs, before Qt handles the exposure, so what
// the callback changes is painted with it.
int g_shownCalls = 0;
bool g_showingDuringCall = false;

TEST_F(OnXServerTest, WindowShowing_UnmappedByOthersThenMapped_CallbackOnReturn) {
    g_shownCalls = 0;
    SetWindowShownCallback([] {
        ++g_shownCalls;
        g_showingDuringCall = WindowShowing(0) != 0;
    });
    const std::string id = std::to_string(Window(0)->winId());
    EXPECT_EQ(WindowShowing(0), 1);

    Xdotool("windowunmap --sync " + id);
    QElapsedTimer clock;
    clock.start();
    while (WindowShowing(0) && clock.elapsed() < 2000)
        QTest::qWait(5);
    EXPECT_EQ(WindowShowing(0), 0);
    EXPECT_EQ(g_shownCalls, 0);

    Xdotool("windowmap --sync " + id);
    clock.restart();
    while (!WindowShowing(0) && clock.elapsed() < 2000)
        QTest::qWait(5);
    QTest::qWait(50);
    EXPECT_EQ(WindowShowing(0), 1);
    EXPECT_EQ(g_shownCalls, 1);
    EXPECT_TRUE(g_showingDuringCall);
    SetWindowShownCallback(nullptr);
}
