// How a window's changed controls reach the screen. An image control only says what changed
// (which rows of its image, and whether they moved sideways); the presenter of its window
// decides, here alone, where each change goes, keeps the copies of the controls' pixels on
// the X server, and is the one part of the layer that relies on how Qt works inside.
//
// A change goes one of three ways:
//
//  1. Qt's own repaint (update(), or scroll() for a sideways move) for anything but an opaque
//     control that nothing covers, in a window in view whose pixels are whole squares of
//     device pixels (ratio 1, 2, 3) and whose store Qt is not about to make anew.
//  2. Into the window's backing store, copied when the window flushes after the tick (all of
//     a tick's controls in one paint, then one flush): Qt's repaint scheduling costs many
//     times the copying of a tick's few changed rows. A move is a scroll of the store.
//  3. On X11, an RGB32 control on a 24-bit TrueColor window: its rows are copied into the
//     store as in 2 (for Qt's own later repaints), and sent to the server straight
//     (X11Mirror, x11_pixels.h), where a move costs two requests.
//
// Qt's internals relied on, checked with Qt 6.4.2 (Debian 12) and no other version:
//
//  - qtbase src/plugins/platforms/xcb/qxcbbackingstore.cpp, QXcbBackingStore::beginPaint and
//    QXcbBackingStoreImage::preparePaint: a region painted between beginPaint and endPaint
//    joins m_pendingFlush, and QXcbBackingStoreImage::put (through flushPixmap) uploads the
//    pending part of what it flushes into Qt's own pixmap before copying from that pixmap to
//    the window. Way 3 leaves Qt's pixmap stale behind the pixels it sends, which is safe only
//    because every pixel sent is painted into the store too: Qt uploads it before it ever
//    copies from there. (With MIT-SHM, put reads the store's memory, which is current.)
//  - The same beginPaint fills the region it is given with transparency when the store's image
//    has alpha: in such a window only the areas really copied are given.
//  - The region of the straight controls is never flushed by Qt, so it stays in m_pendingFlush;
//    a union with a region it already holds returns at once, so the same region (the whole
//    areas of those controls) is given each tick, never the rows that changed.
//  - qtbase src/widgets/kernel/qwidgetrepaintmanager.cpp, QWidgetPrivate::scrollRect, and
//    QXcbBackingStoreImage::scroll: Qt's scroll of an opaque widget moves pixels in its pixmap
//    on the server, so the store's copies of the straight controls may be older than
//    what is shown: after such a move each one is copied whole again.
//
// On any other Qt version way 3 is off and way 2 serves X11 too, which relies only on what
// QBackingStore promises (beginPaint, paintDevice, endPaint, flush, scroll).
#pragma once

#include <QRect>
#include <QRegion>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "x11_pixels.h"

class ImageControl;
class QWidget;

class WindowPresenter {
  public:
    explicit WindowPresenter(QWidget &window);
    ~WindowPresenter();
    WindowPresenter(const WindowPresenter &) = delete;
    WindowPresenter &operator=(const WindowPresenter &) = delete;

    // Must: called by an image control of this window right after the image it shows changed
    // in `rows` (the control's own logical pixels) and nowhere else, the new pixels in place;
    // dx is their sideways move in whole logical pixels (0: no move, or not known).
    void ControlChanged(ImageControl &control, const QRect &rows, int dx);
    // Must: called when a control's image changed in any other way (replaced by one of another
    // size or format, or taken away): Qt repaints all of it.
    void ControlReplaced(ImageControl &control);
    // Only called by a control going away.
    void ControlGone(const ImageControl &control);

    // Must: called by the window whenever one of its children may have moved, changed its
    // size, visibility or stacking, come or gone, and when the window itself shows or hides:
    // what was learnt of the layout (what covers what, the window's format) holds until then.
    void LayoutChanged() { ++layoutGeneration_; }
    // Must: called when the window's images have been made at another ratio.
    void RatioChanged();

    // Sends what the controls changed since the last call. Only called by FlushStorePaints.
    void Flush();

  private:
    // What the presenter keeps of one control.
    struct Entry {
        X11Mirror mirror;  // its pixels on the server (way 3)
        QRect pending;     // in the control: rows still to copy at the flush
        bool toServer = false;
        int dx = 0;
        // Whether a sibling lies above it, and the layout that holds for.
        bool covered = false;
        std::uint64_t coveredGeneration = 0;
    };
    Entry &EntryOf(const ImageControl &control);
    bool CoveredFromAbove(const ImageControl &control, Entry &entry) const;
    // Way 2 or 3 is right for this control now.
    bool CanPaintInStore(const ImageControl &control, Entry &entry) const;
    bool GoesStraightToServer(const ImageControl &control) const;
    // Way 1.
    void RepaintByQt(ImageControl &control, const QRect &rows, int dx);
    void QueueForFlush(ImageControl &control, Entry &entry);
    // The store's pixels of the straight controls may be older than what is shown.
    void ForgetStoreCopies();
    bool WindowFormatHasNoAlpha();

    QWidget &window_;
    std::uint64_t layoutGeneration_ = 1;
    std::unordered_map<const ImageControl *, Entry> entries_;
    std::vector<ImageControl *> queued_;  // in the order of their first change
    QRegion paintedInStore_;              // store areas to flush (in the window)
    // The whole areas of the straight controls whose every pixel in the store is current, and
    // their union (see Flush); they hold for one layout.
    std::vector<QRect> currentInStore_;
    QRegion currentInStoreRegion_;
    std::uint64_t currentInStoreGeneration_ = 0;
    bool formatHasNoAlpha_ = false;
    std::uint64_t formatGeneration_ = 0;
    struct Copy {
        const ImageControl *control;
        Entry *entry;
        QRect area;     // what changed, in the window
        QRect toStore;  // what is copied into the store, in the window
        bool toServer;
        int dx;
    };
    std::vector<Copy> copies_;  // kept for its capacity
};

// The presenter of the control's window, or null when the control's parent is no top window
// of the layer (then Qt alone repaints it).
WindowPresenter *PresenterOf(const ImageControl &control);

// Whether way 3 may be taken with the Qt of this version ("6.4.2"): only with one the tests
// have checked. Null: the running Qt's.
bool StraightPathChecked(const char *qtVersion = nullptr);
// For tests: the presenters judge way 3 as for this Qt version from now on (null: the running
// one's), and how many changes went that way so far.
void AssumeQtVersionForStraightPath(const char *qtVersion);
std::uint64_t StraightPathSends();

// Sends what the image controls of every window changed since the last call to the window
// system: one flush per window for all the controls a tick changed. Must: called after each
// tick and before the layer waits for events.
void FlushStorePaints();
