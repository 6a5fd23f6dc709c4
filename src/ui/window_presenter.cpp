#include "window_presenter.h"

#include <QBackingStore>
#include <QCoreApplication>
#include <QPainter>
#include <QWidget>
#include <QWindow>
#include <QtGlobal>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "device_pixels.h"
#include "image_control.h"
#include "pixel_rows.h"
#include "top_window.h"

namespace {

// The presenters with changes not yet sent, in the order of their first change.
std::vector<WindowPresenter *> g_toFlush;

// Whether way 3 is on for the Qt version assumed (-1: not yet judged), and its use.
int g_straightPathOn = -1;
const char *g_assumedQtVersion = nullptr;
std::uint64_t g_straightSends = 0;

// As QRect::intersects, inline: asked of every sibling of a control once per layout.
bool Overlap(const QRect &a, const QRect &b) {
    return !a.isEmpty() && !b.isEmpty() && a.left() <= b.right() && b.left() <= a.right() &&
           a.top() <= b.bottom() && b.top() <= a.bottom();
}

// The control's area `area` (in the window) copied into the store's device, where it is the
// control's pixels alone (an opaque control nothing covers).
void CopyToStore(const ImageControl &control, QPaintDevice *device, const QRect &area) {
    const QImage &image = control.ShownImage();
    const QRect from = area.translated(-control.pos());
    if (CopyOpaqueRows(image, from, device, area.topLeft())) return;
    QPainter painter(device);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRectF(area), image, QRectF(DeviceRect(from, image.devicePixelRatio())));
}

}  // namespace

bool StraightPathChecked(const char *qtVersion) {
    const char *version = qtVersion ? qtVersion : qVersion();
    // The versions whose backing store the header's account was checked against, by the
    // tests on an X server (tests/ui/x11) and the end-to-end screenshots.
    static constexpr const char *kChecked[] = {"6.4.2"};
    return version && std::any_of(std::begin(kChecked), std::end(kChecked),
                                  [&](const char *v) { return std::strcmp(v, version) == 0; });
}

void AssumeQtVersionForStraightPath(const char *qtVersion) {
    g_assumedQtVersion = qtVersion;
    g_straightPathOn = -1;
}

std::uint64_t StraightPathSends() {
    return g_straightSends;
}

WindowPresenter *PresenterOf(const ImageControl &control) {
    auto *top = dynamic_cast<TopWindow *>(control.parentWidget());
    return top ? &top->Presenter() : nullptr;
}

WindowPresenter::WindowPresenter(QWidget &window) : window_(window) {}

WindowPresenter::~WindowPresenter() {
    g_toFlush.erase(std::remove(g_toFlush.begin(), g_toFlush.end(), this), g_toFlush.end());
}

WindowPresenter::Entry &WindowPresenter::EntryOf(const ImageControl &control) {
    return entries_.try_emplace(&control).first->second;
}

void WindowPresenter::ControlGone(const ImageControl &control) {
    entries_.erase(&control);
    queued_.erase(std::remove(queued_.begin(), queued_.end(), &control), queued_.end());
}

void WindowPresenter::ControlReplaced(ImageControl &control) {
    EntryOf(control).mirror.Forget();
    control.update();
}

void WindowPresenter::RatioChanged() {
    for (auto &[control, entry] : entries_)
        entry.mirror.Forget();
    ForgetStoreCopies();
}

void WindowPresenter::ForgetStoreCopies() {
    currentInStore_.clear();
    currentInStoreRegion_ = QRegion();
    currentInStoreGeneration_ = layoutGeneration_;
}

bool WindowPresenter::CoveredFromAbove(const ImageControl &control, Entry &entry) const {
    if (entry.coveredGeneration == layoutGeneration_) return entry.covered;
    const QObjectList &siblings = window_.children();
    const QRect mine = control.geometry();
    bool covered = false;
    for (qsizetype i = siblings.indexOf(const_cast<ImageControl *>(&control)) + 1;
         i > 0 && i < siblings.size() && !covered; ++i) {
        if (!siblings[i]->isWidgetType()) continue;
        const auto *sibling = static_cast<const QWidget *>(siblings[i]);
        covered =
            sibling->isVisible() && !sibling->isWindow() && Overlap(sibling->geometry(), mine);
    }
    entry.covered = covered;
    entry.coveredGeneration = layoutGeneration_;
    return covered;
}

bool WindowPresenter::CanPaintInStore(const ImageControl &control, Entry &entry) const {
    if (control.parentWidget() != &window_ || !control.testAttribute(Qt::WA_OpaquePaintEvent) ||
        !control.isVisible())
        return false;
    const QWindow *native = window_.windowHandle();
    const QBackingStore *store = window_.backingStore();
    // A store of another size is about to be made anew by Qt, which then repaints it all.
    // Pixels go to the store only where every pixel of the window is a square of them.
    return native && native->isExposed() && store && store->size() == window_.size() &&
           WholeRatio(native->devicePixelRatio()) != 0 &&
           native->devicePixelRatio() == control.ShownImage().devicePixelRatio() &&
           !CoveredFromAbove(control, entry);
}

bool WindowPresenter::GoesStraightToServer(const ImageControl &control) const {
    if (g_straightPathOn < 0) g_straightPathOn = StraightPathChecked(g_assumedQtVersion) ? 1 : 0;
    return g_straightPathOn == 1 && control.ShownImage().format() == QImage::Format_RGB32 &&
           CanSendToX11Window(window_.windowHandle());
}

bool WindowPresenter::WindowFormatHasNoAlpha() {
    // A window gets another format only as a new native window, which is shown anew, and
    // showing is a change of the layout.
    if (formatGeneration_ != layoutGeneration_) {
        formatHasNoAlpha_ = window_.windowHandle() && !window_.windowHandle()->format().hasAlpha();
        formatGeneration_ = layoutGeneration_;
    }
    return formatHasNoAlpha_;
}

void WindowPresenter::QueueForFlush(ImageControl &control, Entry &entry) {
    if (!entry.pending.isEmpty()) return;
    if (queued_.empty() && paintedInStore_.isEmpty()) g_toFlush.push_back(this);
    queued_.push_back(&control);
}

void WindowPresenter::RepaintByQt(ImageControl &control, const QRect &rows, int dx) {
    // Qt repaints, from the new image, the columns that come into view, and the whole
    // rectangle where it cannot move the pixels (something else repainted there meanwhile).
    if (dx != 0) {
        // Qt moves the pixels on the server too (see the header).
        ForgetStoreCopies();
        control.scroll(dx, 0, rows);
    } else {
        control.update(rows);
    }
}

void WindowPresenter::ControlChanged(ImageControl &control, const QRect &rows, int dx) {
    Entry &entry = EntryOf(control);
    if (!CanPaintInStore(control, entry)) {
        entry.mirror.Forget();
        RepaintByQt(control, rows, dx);
        return;
    }
    if (GoesStraightToServer(control)) {
        // The whole changed rows go into the store, where nothing moves, and to the server,
        // which moves what it has where it can.
        QueueForFlush(control, entry);
        entry.dx = entry.pending.isEmpty() ? dx : 0;  // two changes in a tick are no move
        entry.toServer = true;
        entry.pending |= rows;
        return;
    }
    entry.mirror.Forget();
    QBackingStore *store = window_.backingStore();
    const QRect area = rows.translated(control.pos());
    QRect paint = area;
    // Only pixels the window shows may be moved: not while this control's own earlier change
    // still waits to be copied, and not before Qt has repainted what it means to.
    if (dx != 0 && entry.pending.isEmpty()) {
        QCoreApplication::sendPostedEvents(&window_, QEvent::UpdateRequest);
        const int k = std::abs(dx);
        const QRect from = dx < 0 ? area.adjusted(k, 0, 0, 0) : area.adjusted(0, 0, -k, 0);
        ForgetStoreCopies();
        if (store->scroll(from, dx, 0))
            paint =
                QRect(dx < 0 ? area.right() - k + 1 : area.left(), area.top(), k, area.height());
    }
    QueueForFlush(control, entry);
    entry.pending |= paint.translated(-control.pos());
    paintedInStore_ += area;
}

// All the controls' pixels in one paint of the store, then one flush.
//
// Qt keeps a record of the store's areas painted since it last sent them itself, and adds
// each painted area to it (see the header). The controls that go to the server straight are
// never sent by Qt, so the record keeps them; adding a rectangle that changes from tick to
// tick (the rows the scrolling text covers) to such a record makes Qt build a new region,
// twice a tick. So what is given to Qt is the same region every tick, the whole areas of
// those controls. Each one's pixels in the store are current: the first copy of a control
// copies all of them, and anything that could leave older ones there (a move on the server
// by Qt, a change of the layout) starts the set anew.
void WindowPresenter::Flush() {
    if (currentInStoreGeneration_ != layoutGeneration_) ForgetStoreCopies();
    // Qt clears what it is told of in the store of a window with alpha (the image of an
    // opaque window may have an alpha channel too, for speed): there only the copied areas.
    const bool sameRegion = WindowFormatHasNoAlpha();
    QRegion exact;  // the areas of the other copies
    copies_.clear();
    for (ImageControl *queued : queued_) {
        auto found = entries_.find(queued);
        if (found == entries_.end()) continue;
        Entry &entry = found->second;
        ImageControl &control = *queued;
        const QRect area = entry.pending.translated(control.pos());
        const bool toServer = entry.toServer;
        const int dx = entry.dx;
        entry.pending = QRect();
        entry.toServer = false;
        entry.dx = 0;
        if (area.isEmpty()) continue;
        if (!CanPaintInStore(control, entry)) {
            // Covered or out of view since: Qt repaints the area the usual way.
            entry.mirror.Forget();
            control.update(area.translated(-control.pos()));
            continue;
        }
        QRect toStore = area;
        if (sameRegion && toServer) {
            const QRect whole = control.geometry();
            if (std::find(currentInStore_.begin(), currentInStore_.end(), whole) ==
                currentInStore_.end()) {
                currentInStore_.push_back(whole);
                currentInStoreRegion_ += whole;
                toStore = whole;
            }
        } else {
            exact += area;
        }
        copies_.push_back({queued, &entry, area, toStore, toServer, dx});
    }
    queued_.clear();
    QBackingStore *store = window_.backingStore();
    QWindow *native = window_.windowHandle();
    if (!copies_.empty() && store) {
        store->beginPaint(exact.isEmpty() ? currentInStoreRegion_ : exact + currentInStoreRegion_);
        if (QPaintDevice *device = store->paintDevice())
            for (const Copy &copy : copies_)
                CopyToStore(*copy.control, device, copy.toStore);
        store->endPaint();
        // The server has the window's device pixels (CanPaintInStore: a whole ratio). What
        // cannot go to it straight goes with Qt's flush.
        for (const Copy &copy : copies_) {
            if (!copy.toServer) continue;
            const QImage &image = copy.control->ShownImage();
            const int k = WholeRatio(image.devicePixelRatio());
            const QPoint at = copy.control->pos();
            if (k == 0 ||
                !copy.entry->mirror.Send(native, image, DeviceRect(copy.area.translated(-at), k),
                                         copy.dx * k, at * k)) {
                copy.entry->mirror.Forget();
                paintedInStore_ += copy.area;
            } else {
                ++g_straightSends;
            }
        }
        FlushX11Requests();
    }
    copies_.clear();
    const QRegion painted = std::exchange(paintedInStore_, QRegion());
    if (painted.isEmpty() || !store || !native || !native->isExposed()) return;
    store->flush(painted, native);
}

void FlushStorePaints() {
    for (WindowPresenter *presenter : g_toFlush)
        presenter->Flush();
    g_toFlush.clear();
}
