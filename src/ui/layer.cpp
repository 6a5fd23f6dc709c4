// The life of the widget layer: the application object and the release of everything.
#include <QApplication>
#include <QSettings>
#include <cstdlib>
#include <memory>

#include "event_queue.h"
#include "input_state.h"
#include "layer_life.h"
#include "layer_tables.h"
#include "ui_internal.h"
#include "x11_pixels.h"

namespace {

int g_argc = 1;
char g_programName[] = "volnar";
char *g_argv[] = {g_programName, nullptr};
std::unique_ptr<QApplication> g_application;

// The repeating timer's ticks skip the application's own look at every event (input state,
// the receiver's kind and thread, event filters): nothing filters them, and they are most of
// the events an idle player gets.
class LayerApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override {
        return TakeTimerEvent(receiver, event) || QApplication::notify(receiver, event);
    }
};

void (*g_displayLost)() = nullptr;

// Qt's platform plugins call exit(1) when the display connection breaks (xcb: "The X11
// connection broke", from its event reader). The exit handlers then run while every window
// is alive, and the application object, a static here, would be destroyed by them and take
// its windows down through a display that is gone: a SIGSEGV, with the player's state never
// written. Registered right after the application object is made, this handler runs before
// that destruction: it lets the player keep its state, then ends the process at once. Every
// ordinary end of the player releases the layer before it exits.
void EndWithoutTheDisplay() {
    // Released first, or no player above that asked: an ordinary end.
    if (!g_application || !g_displayLost) return;
    g_displayLost();
    std::_Exit(1);
}

}  // namespace

void SetDisplayLostHandler(void (*handler)()) {
    g_displayLost = handler;
}

void InitWidgetLayer() {
    if (QCoreApplication::instance()) return;
    // Qt's own file dialog keeps its history in a per-user settings file. The player writes
    // no files, so such settings go to a place where nothing can be stored.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
    // The scrolling line repaints a strip of the window 28 times a second. With X's shared
    // memory images each repaint first waits for the server to finish reading the previous
    // one; strips this small cost less sent through the socket. Qt's own event dispatcher
    // also wakes less than the GLib one. Both cut the idle player's CPU by about a third.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    g_application = std::make_unique<LayerApplication>(g_argc, g_argv);
    static bool exitHandlerRegistered = false;
    if (!exitHandlerRegistered) exitHandlerRegistered = std::atexit(EndWithoutTheDisplay) == 0;
    // The name of the installed menu entry: Wayland compositors find the icon and the task
    // bar entry through it, X11 ones match the windows' class "volnar" against it.
    QGuiApplication::setDesktopFileName(QStringLiteral("volnar"));
    // Windows are closed by the player alone; closing the last one ends nothing here.
    QGuiApplication::setQuitOnLastWindowClosed(false);
}

void ReleaseWindowsAndEvents() {
    StopRepeatingTimer();
    SetWindowShownCallback(nullptr);
    RestorePointerShape();
    DestroyAllWindows();
    ClearEventQueue();
    SetFileChooserForTesting({});
}

void ReleaseWidgetLayer() {
    ReleaseWindowsAndEvents();
    ReleaseImagesAndFonts();
    ForgetX11Connection();
    g_application.reset();
}
