// What any program pays on this machine for what the player does 28.6 times a second, with
// nothing of the player in it: the floor under the player's own CPU figures.
//
//   timer_floor timer      a shown 600 x 400 window and a 35 ms timer that does nothing
//   timer_floor x-scroll   and on each tick the least an X11 program sends to move the
//                          scrolling line: a copy of a 267 x 25 strip one pixel sideways
//                          inside the window and the 1 x 25 column that comes into view,
//                          both straight to the X server, past any backing store
//   timer_floor bare       the timer of the first, with no toolkit: an X window made with
//                          xcb, a timerfd and poll(); what the kernel alone asks of a wake
//   timer_floor bare-scroll
//                          and the requests of x-scroll, again with no toolkit
//
// The toolkit's modes run Qt's own event dispatcher, as the player does (not GLib's).
//
// bench/floor/floor_scenarios.py runs each under Xvfb as bench/process_scenarios.py runs
// the player.
#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QBackingStore>
#include <QGuiApplication>
#include <QPainter>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const QRect kStrip(221, 126, 267, 25);
constexpr int kTickMs = 35;

// The two requests that move the scrolling line one pixel and show the column that came in.
void SendScroll(xcb_connection_t *connection, xcb_window_t window, xcb_gcontext_t gc,
                std::vector<std::uint32_t> &column, int tick) {
    const std::uint32_t colour = (tick / 8) % 2 ? 0xC4C6CCu : 0x1C2329u;
    xcb_copy_area(connection, window, window, gc, kStrip.left() + 1, kStrip.top(), kStrip.left(),
                  kStrip.top(), kStrip.width() - 1, kStrip.height());
    std::fill(column.begin(), column.end(), colour);
    xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, 1, kStrip.height(),
                  kStrip.right(), kStrip.top(), 0, 24,
                  static_cast<std::uint32_t>(column.size() * 4),
                  reinterpret_cast<const std::uint8_t *>(column.data()));
    xcb_flush(connection);
}

xcb_gcontext_t MakeGc(xcb_connection_t *connection, xcb_window_t window) {
    const std::uint32_t no_exposures = 0;
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    xcb_create_gc(connection, gc, window, XCB_GC_GRAPHICS_EXPOSURES, &no_exposures);
    return gc;
}

// No toolkit: a window of xcb's own, a timerfd, and a poll() on both.
int RunBare(bool scroll) {
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> owned(
        xcb_connect(nullptr, nullptr), xcb_disconnect);
    xcb_connection_t *connection = owned.get();
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "no X server\n");
        return 2;
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t values[] = {screen->black_pixel, XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 600, 400, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, 5, "floor");
    xcb_map_window(connection, window);
    const xcb_gcontext_t gc = MakeGc(connection, window);
    xcb_flush(connection);

    const int timer = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    const std::unique_ptr<const int, void (*)(const int *)> closeTimer(&timer, [](const int *fd) {
        if (*fd >= 0) close(*fd);
    });
    itimerspec period{};
    period.it_interval.tv_nsec = kTickMs * 1000000L;
    period.it_value = period.it_interval;
    if (timer < 0 || timerfd_settime(timer, 0, &period, nullptr) != 0) return 2;
    std::vector<std::uint32_t> column(kStrip.height());
    int tick = 0;
    for (;;) {
        pollfd fds[2] = {{timer, POLLIN, 0}, {xcb_get_file_descriptor(connection), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection))
            std::free(event);
        if (xcb_connection_has_error(connection)) return 1;
        std::uint64_t expired = 0;
        if ((fds[0].revents & POLLIN) && read(timer, &expired, sizeof expired) > 0 && scroll)
            SendScroll(connection, window, gc, column, ++tick);
    }
}

void Paint(QBackingStore &store, const QRect &area, QColor colour) {
    store.beginPaint(area);
    QPainter painter(store.paintDevice());
    painter.fillRect(area, colour);
    painter.end();
    store.endPaint();
}

}  // namespace

int main(int argc, char **argv) {
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray("timer");
    if (mode == "bare" || mode == "bare-scroll") return RunBare(mode == "bare-scroll");
    if (mode != "timer" && mode != "x-scroll") {
        std::fprintf(stderr, "usage: timer_floor timer|x-scroll|bare|bare-scroll\n");
        return 2;
    }
    qputenv("QT_NO_GLIB", "1");
    QGuiApplication app(argc, argv);
    QWindow window;
    window.setFlags(Qt::FramelessWindowHint);
    window.setTitle("floor");
    window.resize(600, 400);
    window.show();
    QBackingStore store(&window);
    store.resize(window.size());
    const QRect all(QPoint(0, 0), window.size());
    Paint(store, all, QColor(28, 35, 41));
    store.flush(all);

    xcb_connection_t *connection = nullptr;
    if (auto *x11 = app.nativeInterface<QNativeInterface::QX11Application>())
        connection = x11->connection();
    if (mode == "x-scroll" && !connection) {
        std::fprintf(stderr, "x-scroll needs X11\n");
        return 2;
    }
    xcb_gcontext_t gc = 0;
    std::vector<std::uint32_t> column(kStrip.height());
    int tick = 0;

    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++tick;
        if (mode != "x-scroll") return;
        const auto id = static_cast<xcb_window_t>(window.winId());
        if (!gc) gc = MakeGc(connection, id);
        SendScroll(connection, id, gc, column, tick);
    });
    timer.start(kTickMs);
    return app.exec();
}
