// The life of the widget layer: the application object and the release of everything.
#include <QApplication>
#include <QSettings>
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

}  // namespace

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
