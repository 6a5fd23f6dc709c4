#include "x11_pixels.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QImage>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

// What was learnt about a native window, and the graphics context for drawing on it; a
// window made anew gets a new id.
struct WindowInfo {
    bool takesPixels = false;
    xcb_gcontext_t gc = 0;
};
std::unordered_map<xcb_window_t, WindowInfo> g_windows;
// Counts the connections: ids made on an earlier one mean nothing on the next.
std::uint64_t g_connection = 1;
bool g_requestsQueued = false;
// A moving control's copy on the server is this many columns wider than its image, so that a
// move need not shift the copy's pixels: the part shown slides along it instead, and only when
// it reaches an end is everything sent again (every twenty seconds or so of the scrolling
// line).
constexpr int kRunway = 1024;
std::vector<std::uint8_t> g_gathered;  // the pixels of one request, kept for their capacity

// The application's connection, looked up once: every changed control asks for it each tick.
bool g_connectionLookedUp = false;
xcb_connection_t *g_xcb = nullptr;
// The most a request to it may carry, learnt at the first put: xcb takes its lock to answer.
std::size_t g_maxRequestBytes = 0;

xcb_connection_t *Connection() {
    if (g_connectionLookedUp) return g_xcb;
    if (!qGuiApp) return nullptr;
    g_connectionLookedUp = true;
    auto *x11 = QGuiApplication::platformName() == QLatin1String("xcb")
                    ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                    : nullptr;
    g_xcb = x11 ? x11->connection() : nullptr;
    return g_xcb;
}

// A 24-bit TrueColor window with 8-bit red, green and blue at bits 16, 8 and 0, whose
// server keeps such pixels in 32 bits in this machine's byte order: then an RGB32 image's
// words are the request's bytes.
bool TakesStorePixels(xcb_connection_t *connection, xcb_window_t window) {
    const xcb_setup_t *setup = xcb_get_setup(connection);
    const auto host =
        Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST;
    if (setup->image_byte_order != host) return false;
    bool formatFits = false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
        if (it.data->depth == 24)
            formatFits = it.data->bits_per_pixel == 32 && it.data->scanline_pad == 32;
    if (!formatFits) return false;

    const ReplyPtr<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    const ReplyPtr<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr));
    if (!geometry || !attributes || geometry->depth != 24) return false;
    for (auto screen = xcb_setup_roots_iterator(setup); screen.rem; xcb_screen_next(&screen)) {
        for (auto depth = xcb_screen_allowed_depths_iterator(screen.data); depth.rem;
             xcb_depth_next(&depth)) {
            if (depth.data->depth != 24) continue;
            for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem;
                 xcb_visualtype_next(&visual)) {
                const xcb_visualtype_t *v = visual.data;
                if (v->visual_id != attributes->visual) continue;
                return v->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v->red_mask == 0xFF0000u &&
                       v->green_mask == 0x00FF00u && v->blue_mask == 0x0000FFu;
            }
        }
    }
    return false;
}

// A graphics context for one drawable. Each drawable has its own: the server checks a
// context against the drawable it was last used on, and goes through all its state again
// for another one, which a shared context would make it do twice a tick.
xcb_gcontext_t CreateGc(xcb_connection_t *connection, xcb_drawable_t drawable) {
    // No GraphicsExpose or NoExpose events: the copies here read a pixmap, never a window, so
    // no source pixels can be missing.
    const std::uint32_t noExposures = 0;
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    xcb_create_gc(connection, gc, drawable, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    return gc;
}

// The native window to draw on and its graphics context, or 0.
xcb_window_t TargetOf(QWindow *window, xcb_connection_t **connection, xcb_gcontext_t *gc) {
    *connection = Connection();
    if (!*connection || !window || !window->handle()) return 0;
    const auto id = static_cast<xcb_window_t>(window->winId());
    auto known = g_windows.find(id);
    if (known == g_windows.end())
        known = g_windows.emplace(id, WindowInfo{TakesStorePixels(*connection, id), 0}).first;
    if (!known->second.takesPixels) return 0;
    if (known->second.gc == 0) known->second.gc = CreateGc(*connection, id);
    *gc = known->second.gc;
    return id;
}

// Queues the pixels of `from` (inside the image) for `drawable` at `to`, split into requests
// the server accepts.
void PutImage(xcb_connection_t *connection, xcb_drawable_t drawable, xcb_gcontext_t gc,
              const QImage &image, const QRect &from, QPoint to) {
    // Every server takes 4096 words; a connection in error answers 0.
    if (g_maxRequestBytes == 0)
        g_maxRequestBytes =
            std::max<std::size_t>(xcb_get_maximum_request_length(connection), 4096) * 4 - 64;
    const std::size_t maxBytes = g_maxRequestBytes;
    const std::size_t rowBytes = static_cast<std::size_t>(from.width()) * 4;
    const int rowsPerRequest = static_cast<int>(std::max<std::size_t>(1, maxBytes / rowBytes));
    // Whole rows of an image without padding are sent as they lie; anything else is
    // gathered row by row first.
    const bool contiguous =
        from.width() == image.width() && static_cast<std::size_t>(image.bytesPerLine()) == rowBytes;
    for (int top = from.top(); top <= from.bottom(); top += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, from.bottom() - top + 1);
        const std::size_t bytes = rowBytes * static_cast<std::size_t>(rows);
        const std::uint8_t *data = image.constScanLine(top);
        if (!contiguous) {
            g_gathered.resize(bytes);
            for (int row = 0; row < rows; ++row)
                std::memcpy(
                    g_gathered.data() + rowBytes * static_cast<std::size_t>(row),
                    image.constScanLine(top + row) + static_cast<std::size_t>(from.left()) * 4,
                    rowBytes);
            data = g_gathered.data();
        }
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, gc,
                      static_cast<std::uint16_t>(from.width()), static_cast<std::uint16_t>(rows),
                      static_cast<std::int16_t>(to.x()),
                      static_cast<std::int16_t>(to.y() + (top - from.top())), 0, 24,
                      static_cast<std::uint32_t>(bytes), data);
    }
}

void CopyArea(xcb_connection_t *connection, xcb_drawable_t from, xcb_drawable_t to,
              xcb_gcontext_t gc, const QRect &area, QPoint at) {
    xcb_copy_area(connection, from, to, gc, static_cast<std::int16_t>(area.x()),
                  static_cast<std::int16_t>(area.y()), static_cast<std::int16_t>(at.x()),
                  static_cast<std::int16_t>(at.y()), static_cast<std::uint16_t>(area.width()),
                  static_cast<std::uint16_t>(area.height()));
}

// True when every row of the image outside `rows` looks the same moved k pixels sideways
// (one colour, as the scrolling line's rows above and below its text).
bool OtherRowsStay(const QImage &image, const QRect &rows, int k) {
    const auto bytes = static_cast<std::size_t>(image.width() - k) * 4;
    for (int y = 0; y < image.height(); ++y) {
        if (y == rows.top()) y = rows.bottom() + 1;
        if (y >= image.height()) break;
        const uchar *row = image.constScanLine(y);
        if (std::memcmp(row, row + static_cast<std::size_t>(k) * 4, bytes) != 0) return false;
    }
    return true;
}

// Coordinates the X protocol can carry.
bool FitsProtocol(const QRect &area) {
    return area.left() >= -32768 && area.right() < 32768 && area.top() >= -32768 &&
           area.bottom() < 32768;
}

}  // namespace

bool CanSendToX11Window(QWindow *window) {
    xcb_connection_t *connection = nullptr;
    xcb_gcontext_t gc = 0;
    return TargetOf(window, &connection, &gc) != 0;
}

X11Mirror::~X11Mirror() {
    // A pixmap of a connection that is gone went with it.
    if (xcb_connection_t *connection = Connection(); connection && connection_ == g_connection)
        FreePixmap(connection);
}

void X11Mirror::FreePixmap(xcb_connection_t *connection) {
    if (pixmap_ == 0) return;
    xcb_free_gc(connection, gc_);
    xcb_free_pixmap(connection, pixmap_);
    g_requestsQueued = true;
    pixmap_ = 0;
    gc_ = 0;
}

bool X11Mirror::Send(QWindow *window, const QImage &image, const QRect &changed, int dx,
                     QPoint at) {
    xcb_connection_t *connection = nullptr;
    xcb_gcontext_t windowGc = 0;
    const xcb_window_t target = TargetOf(window, &connection, &windowGc);
    if (target == 0 || image.format() != QImage::Format_RGB32 || image.width() > 32767 ||
        image.height() > 32767 || !FitsProtocol(QRect(at, image.size())))
        return false;
    const QRect rows = changed & image.rect();
    if (rows.isEmpty()) return true;
    g_requestsQueued = true;
    if (connection_ != g_connection) {
        pixmap_ = 0;  // made on a connection that is gone
        gc_ = 0;
        connection_ = g_connection;
    }
    if (pixmap_ == 0 && dx == 0) {
        // Until the first move the rows go to the window as they are: most controls never
        // move, and a copy on the server would only double their requests.
        PutImage(connection, target, windowGc, image, rows, at + rows.topLeft());
        return true;
    }
    if (pixmap_ != 0 && size_ != image.size()) FreePixmap(connection);
    if (pixmap_ == 0) {
        runway_ = std::min(kRunway, 32767 - image.width());  // what the protocol can carry
        pixmap_ = xcb_generate_id(connection);
        xcb_create_pixmap(connection, 24, pixmap_, target,
                          static_cast<std::uint16_t>(image.width() + runway_),
                          static_cast<std::uint16_t>(image.height()));
        gc_ = CreateGc(connection, pixmap_);
        size_ = image.size();
        origin_ = 0;
        current_ = false;
    }
    const int k = std::abs(dx);
    const bool move = current_ && dx != 0 && k < rows.width();
    if (move && runway_ > 0 && rows.width() == image.width() && OtherRowsStay(image, rows, k)) {
        // The part of the copy that is shown slides along it, against the move: only the
        // columns that come into view are sent, beside it, down the whole height (the rows that
        // did not change look the same moved). At the end of the runway everything is sent
        // again, at the end that leaves the most room for more moves the same way.
        int origin = origin_ - dx;
        if (origin < 0 || origin > runway_) {
            origin = dx < 0 ? 0 : runway_;
            PutImage(connection, pixmap_, gc_, image, image.rect(), QPoint(origin, 0));
        } else {
            const QRect entering(dx < 0 ? image.width() - k : 0, 0, k, image.height());
            PutImage(connection, pixmap_, gc_, image, entering, QPoint(origin + entering.x(), 0));
        }
        origin_ = origin;
    } else if (!current_) {
        PutImage(connection, pixmap_, gc_, image, image.rect(), QPoint(origin_, 0));
        current_ = true;
    } else if (move) {
        // The rows move inside the copy; only the columns that come into view are sent.
        const QRect kept = dx < 0 ? rows.adjusted(k, 0, 0, 0) : rows.adjusted(0, 0, -k, 0);
        CopyArea(connection, pixmap_, pixmap_, gc_, kept.translated(origin_, 0),
                 kept.topLeft() + QPoint(origin_ + dx, 0));
        const QRect entering(dx < 0 ? rows.right() - k + 1 : rows.left(), rows.top(), k,
                             rows.height());
        PutImage(connection, pixmap_, gc_, image, entering,
                 entering.topLeft() + QPoint(origin_, 0));
    } else {
        PutImage(connection, pixmap_, gc_, image, rows, rows.topLeft() + QPoint(origin_, 0));
    }
    CopyArea(connection, pixmap_, target, windowGc, rows.translated(origin_, 0),
             at + rows.topLeft());
    return true;
}

void FlushX11Requests() {
    if (!g_requestsQueued) return;
    g_requestsQueued = false;
    if (xcb_connection_t *connection = Connection()) xcb_flush(connection);
}

void ForgetX11Connection() {
    g_connectionLookedUp = false;
    g_xcb = nullptr;
    g_maxRequestBytes = 0;
    g_windows.clear();
    g_requestsQueued = false;
    ++g_connection;
}
