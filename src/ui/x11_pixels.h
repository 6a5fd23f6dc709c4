// Pixels of image controls sent straight to their X11 window, past Qt's backing store: the
// presenter's third way (window_presenter.h says when that is safe; nothing here knows of
// Qt's store).
//
// Sending a strip that moved a pixel through a store's flush takes an upload of the changed
// rectangles and a copy to the window, with the graphics context's clip set and cleared
// between: eight requests and a heap of region arithmetic. Here a scrolling control keeps a
// pixmap of its own pixels on the server instead, wider than the control, so that each tick
// costs two requests: send the columns that came into view next to what is shown, copy the
// part of the pixmap now shown to the window.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>

class QImage;
class QWindow;
struct xcb_connection_t;

// True when the window is shown by an X server that takes a backing store's 32-bit pixels
// as they are (24-bit TrueColor, 32 bits a pixel, this machine's byte order). Learnt from the
// server once per native window.
bool CanSendToX11Window(QWindow *window);

// A copy of one control's image kept on the X server.
class X11Mirror {
  public:
    X11Mirror() = default;
    ~X11Mirror();
    X11Mirror(const X11Mirror &) = delete;
    X11Mirror &operator=(const X11Mirror &) = delete;

    // Shows `image`, whose rows `changed` differ from what was sent last, at `at` in the
    // window; dx is their sideways move (0: no move, or not known). The first move makes the
    // server-side copy, from then on a move sends only the columns that come into view.
    // False, and nothing sent, where CanSendToX11Window is not true.
    bool Send(QWindow *window, const QImage &image, const QRect &changed, int dx, QPoint at);
    // Something else changed the control's pixels: the copy no longer holds them.
    void Forget() { current_ = false; }

  private:
    void FreePixmap(xcb_connection_t *connection);

    std::uint64_t connection_ = 0;  // the connection whose pixmap and context ids these are
    std::uint32_t pixmap_ = 0;
    std::uint32_t gc_ = 0;  // for drawing on the pixmap
    QSize size_;            // the image's; the pixmap is runway_ columns wider
    int runway_ = 0;
    int origin_ = 0;  // the pixmap's column that holds the image's first
    bool current_ = false;
};

// Sends what Send queued to the server.
void FlushX11Requests();
// The connection to the X server is about to close: everything made on it goes with it.
void ForgetX11Connection();
