#include "layer_test_support.h"

#include <QCoreApplication>
#include <QTest>
#include <QWidget>

#include "layer_life.h"
#include "ui_internal.h"

std::ostream &operator<<(std::ostream &out, const SeenEvent &event) {
    return out << "{kind " << event.kind << ", window " << event.window << ", control "
               << event.control << ", subtype " << event.subtype << "}";
}

void LayerTest::SetUp() {
    ReleaseWindowsAndEvents();
    QCoreApplication::processEvents();
    ReleaseWindowsAndEvents();
}

void LayerTest::TearDown() {
    ReleaseWindowsAndEvents();
}

NativeHandle ShowWindow(int window, int width, int height) {
    const NativeHandle handle = CreateTopWindow(window, 0, 0, width, height, "Плеер",
                                                kWindowBorderless | kWindowHidden | kWindowCentred);
    SetWindowVisible(window, 1);
    auto *widget = reinterpret_cast<QWidget *>(handle);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(widget));
    return handle;
}

QWindow *NativeWindowOf(int window) {
    auto *widget = reinterpret_cast<QWidget *>(NativeWindowHandle(window));
    return widget ? widget->windowHandle() : nullptr;
}

std::vector<SeenEvent> TakeAllEvents() {
    std::vector<SeenEvent> seen;
    while (const int kind = PollNextEvent())
        seen.push_back(SeenEvent{kind, LastEventWindow(), LastEventControl(), LastEventSubtype()});
    return seen;
}

std::vector<SeenEvent> TakeInputEvents() {
    std::vector<SeenEvent> input;
    for (const SeenEvent &event : TakeAllEvents()) {
        switch (event.kind) {
            case kMouseMove:
            case kWindowMoved:
            case kWindowResized:
            case kWindowActivated:
            case kWindowRepainted:
                break;
            default:
                input.push_back(event);
        }
    }
    return input;
}

void PressAt(int window, QPoint at, Qt::MouseButton button) {
    QTest::mousePress(NativeWindowOf(window), button, Qt::NoModifier, at);
}

void ReleaseAt(int window, QPoint at, Qt::MouseButton button) {
    QTest::mouseRelease(NativeWindowOf(window), button, Qt::NoModifier, at);
}

void ClickAt(int window, QPoint at, Qt::MouseButton button) {
    QTest::mouseClick(NativeWindowOf(window), button, Qt::NoModifier, at);
}

void DoubleClickAt(int window, QPoint at, Qt::MouseButton button) {
    QTest::mouseDClick(NativeWindowOf(window), button, Qt::NoModifier, at);
}

void MoveTo(int window, QPoint at) {
    QTest::mouseMove(NativeWindowOf(window), at);
}

NativeHandle FilledImage(int slot, int width, int height, unsigned argb) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(argb);
    return StoreImage(slot, image);
}
