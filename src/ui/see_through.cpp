// Compositing and input regions. Checked against Qt 6.4's xcb plugin (qxcbwindow.cpp):
// QXcbWindow::setMask sets the bounding shape, and Qt touches a window's input shape only for
// Qt::WindowTransparentForInput (setTransparentForMouseEvents, which leaves it alone while
// that flag stays off), so the input shape set here stays as set. And against its Wayland
// plugin (qwaylandwindow.cpp): setMask sets the surface's input region, and the opaque region
// only for a window without alpha.
#include "see_through.h"

#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "device_pixels.h"

namespace {

struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

bool OnX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

xcb_connection_t *X11Connection() {
    if (!qGuiApp || !OnX11()) return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The display's screen (the number after the dot of DISPLAY, as Xlib and xcb read it) and
// its compositing manager's selection.
struct CompositorSelection {
    xcb_window_t root = 0;
    xcb_atom_t atom = 0;
};

CompositorSelection SelectionOf(xcb_connection_t *connection) {
    int screenNumber = 0;
    char *host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screenNumber) == 0) screenNumber = 0;
    std::free(host);
    CompositorSelection selection;
    int index = 0;
    for (auto screen = xcb_setup_roots_iterator(xcb_get_setup(connection)); screen.rem;
         xcb_screen_next(&screen), ++index)
        if (index == screenNumber || selection.root == 0) selection.root = screen.data->root;
    const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber);
    const ReplyPtr<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr));
    if (atom) selection.atom = atom->atom;
    return selection;
}

bool SelectionOwned(xcb_connection_t *connection, const CompositorSelection &selection) {
    if (selection.atom == 0) return false;
    const ReplyPtr<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection.atom), nullptr));
    return owner && owner->owner != XCB_NONE;
}

// The X server's notes of the selection's owner changing, among the events Qt reads.
class CompositorWatch : public QAbstractNativeEventFilter {
  public:
    CompositorWatch(std::uint8_t firstEvent, xcb_atom_t atom)
        : firstEvent_(firstEvent), atom_(atom) {}
    void (*changed)() = nullptr;

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override {
        if (type != "xcb_generic_event_t" || !changed) return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7F) != firstEvent_ + XCB_XFIXES_SELECTION_NOTIFY)
            return false;
        const auto *notify = static_cast<const xcb_xfixes_selection_notify_event_t *>(message);
        if (notify->selection == atom_) changed();
        return false;  // Qt follows the same selection for itself
    }

  private:
    std::uint8_t firstEvent_;
    xcb_atom_t atom_;
};

std::unique_ptr<CompositorWatch> g_watch;
// The application whose connection the watch listens on: a layer made anew watches anew.
const QCoreApplication *g_watchedApplication = nullptr;

}  // namespace

bool DesktopComposites() {
    if (!qGuiApp) return false;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return true;
    xcb_connection_t *connection = X11Connection();
    return connection && SelectionOwned(connection, SelectionOf(connection));
}

QRegion OpaquePart(const QImage &image) {
    if (image.isNull()) return {};
    const QImage pixels = image.format() == QImage::Format_ARGB32 ||
                                  image.format() == QImage::Format_ARGB32_Premultiplied
                              ? image
                              : image.convertToFormat(QImage::Format_ARGB32);
    const double ratio = pixels.devicePixelRatio();
    // Rows of runs, each row's runs merged with the rows above while they are the same.
    std::vector<QRect> rects;
    std::vector<std::pair<int, int>> runs, above;
    int aboveFrom = 0;
    auto close = [&](int y) {
        for (const auto &[x0, x1] : above)
            rects.emplace_back(x0, aboveFrom, x1 - x0, y - aboveFrom);
    };
    for (int y = 0; y < pixels.height(); ++y) {
        runs.clear();
        const auto *row = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width();) {
            if (qAlpha(row[x]) != 255) {
                ++x;
                continue;
            }
            const int from = x;
            while (x < pixels.width() && qAlpha(row[x]) == 255)
                ++x;
            runs.emplace_back(from, x);
        }
        if (runs != above) {
            close(y);
            above = runs;
            aboveFrom = y;
        }
    }
    close(pixels.height());
    QRegion region;
    for (const QRect &rect : rects)
        region += ratio == 1.0 ? rect : CoveringRect(rect, ratio);
    return region;
}

void SetInputRegion(QWindow *window, const std::optional<QRegion> &region) {
    if (!window || !qGuiApp) return;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        window->setMask(region.value_or(QRegion()));
        return;
    }
    xcb_connection_t *connection = X11Connection();
    if (!connection) return;
    const xcb_query_extension_reply_t *shape = xcb_get_extension_data(connection, &xcb_shape_id);
    if (!shape || !shape->present) return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    if (!region) {
        // Back to the default: the window's whole (bounding) shape.
        xcb_shape_mask(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, id, 0, 0, XCB_NONE);
    } else {
        // The native window's pixels are the window's times Qt's own scale factor.
        const double scale = window->devicePixelRatio();
        std::vector<xcb_rectangle_t> rects;
        for (const QRect &r : *region) {
            const QRect native = scale == 1.0 ? r : DeviceRect(r, scale);
            rects.push_back({static_cast<std::int16_t>(native.x()),
                             static_cast<std::int16_t>(native.y()),
                             static_cast<std::uint16_t>(native.width()),
                             static_cast<std::uint16_t>(native.height())});
        }
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                             XCB_CLIP_ORDERING_UNSORTED, id, 0, 0,
                             static_cast<std::uint32_t>(rects.size()), rects.data());
    }
    xcb_flush(connection);
}

void WatchCompositing(void (*changed)()) {
    if (g_watch && g_watchedApplication == QCoreApplication::instance()) {
        g_watch->changed = changed;
        return;
    }
    g_watch.reset();  // the application that had it installed is gone
    xcb_connection_t *connection = X11Connection();
    if (!connection) return;
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) return;
    // A client states the version it speaks before its first request (Qt has for the same
    // connection already; saying it again changes nothing).
    const ReplyPtr<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
        connection, xcb_xfixes_query_version(connection, 5, 0), nullptr));
    const CompositorSelection selection = SelectionOf(connection);
    if (!version || selection.atom == 0) return;
    xcb_xfixes_select_selection_input(connection, selection.root, selection.atom,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(connection);
    g_watch = std::make_unique<CompositorWatch>(xfixes->first_event, selection.atom);
    g_watch->changed = changed;
    QCoreApplication::instance()->installNativeEventFilter(g_watch.get());
    g_watchedApplication = QCoreApplication::instance();
}
