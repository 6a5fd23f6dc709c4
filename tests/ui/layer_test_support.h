// What the window, control and event tests share: a fixture that starts from an empty layer,
// shown windows, simulated input at window coordinates and the events it produced.
#pragma once

#include <gtest/gtest.h>

#include <QPoint>
#include <QWindow>
#include <ostream>
#include <vector>

#include "widgets.h"

struct SeenEvent {
    int kind = 0;
    int window = 0;
    int control = 0;
    int subtype = 0;
    bool operator==(const SeenEvent &) const = default;
};
std::ostream &operator<<(std::ostream &out, const SeenEvent &event);

class LayerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// Creates a shown window (borderless, at the given size) and waits until it is exposed.
NativeHandle ShowWindow(int window, int width = 200, int height = 100);
QWindow *NativeWindowOf(int window);

// Polls until the queue stays empty; returns every event with the record after it.
std::vector<SeenEvent> TakeAllEvents();
// The same without window-level events and pointer moves: the input rows of the table.
std::vector<SeenEvent> TakeInputEvents();

// Simulated input through the platform's window-system queue, as real input arrives.
void PressAt(int window, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void ReleaseAt(int window, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void ClickAt(int window, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void DoubleClickAt(int window, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void MoveTo(int window, QPoint at);

// A blank image of the given size in a slot, filled with one colour.
NativeHandle FilledImage(int slot, int width, int height, unsigned argb);
