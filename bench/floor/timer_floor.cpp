// What any program pays on this machine for what the player does 28.6 times a second, with
// nothing of the player in it: the floor under the player's own CPU figures.
//
//   timer_floor timer      a shown 600 x 400 window and a 35 ms timer that does nothing
//   timer_floor x-scroll   and on each tick the least an X11 program sends to move the
//                          scrolling line: a copy of a 267 x 25 strip one pixel sideways
//                          inside the window and the 1 x 25 column that comes into view,
//                          both straight to the X server, past any backing store
//
// bench/floor/floor_scenarios.py runs each under Xvfb as bench/process_scenarios.py runs
// the player.
#include <xcb/xcb.h>

#include <QBackingStore>
#include <QGuiApplication>
#include <QPainter>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const QRect kStrip(221, 126, 267, 25);

void Paint(QBackingStore &store, const QRect &area, QColor colour) {
    store.beginPaint(area);
    QPainter painter(store.paintDevice());
    painter.fillRect(area, colour);
    painter.end();
    store.endPaint();
}

}  // namespace

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray("timer");
    if (mode != "timer" && mode != "x-scroll") {
        std::fprintf(stderr, "usage: timer_floor timer|x-scroll\n");
        return 2;
    }
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
        const QColor colour = (++tick / 8) % 2 ? QColor(196, 198, 204) : QColor(28, 35, 41);
        const QRect entering(kStrip.right(), kStrip.top(), 1, kStrip.height());
        if (mode == "x-scroll") {
            const xcb_window_t id = static_cast<xcb_window_t>(window.winId());
            if (!gc) {
                const std::uint32_t no_exposures = 0;
                gc = xcb_generate_id(connection);
                xcb_create_gc(connection, gc, id, XCB_GC_GRAPHICS_EXPOSURES, &no_exposures);
            }
            xcb_copy_area(connection, id, id, gc, kStrip.left() + 1, kStrip.top(), kStrip.left(),
                          kStrip.top(), kStrip.width() - 1, kStrip.height());
            std::fill(column.begin(), column.end(), colour.rgb() & 0xFFFFFFu);
            xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, id, gc, 1, kStrip.height(),
                          entering.left(), entering.top(), 0, 24,
                          static_cast<std::uint32_t>(column.size() * 4),
                          reinterpret_cast<const std::uint8_t *>(column.data()));
            xcb_flush(connection);
        }
    });
    timer.start(35);
    return app.exec();
}
