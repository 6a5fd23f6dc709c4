// The widget layer: numbered windows, controls, image slots and font slots over Qt 6, an event
// queue of the layer's own, a repeating timer, one open-file dialog and off-screen drawing.
//
// Everything here runs on the one user-interface thread. Objects are addressed by small
// non-negative numbers chosen by the caller; each number space grows on demand, and creating
// an object under a number in use destroys the old one first. Operations on a number that
// holds nothing, and on native handle 0, do nothing and answer 0, -1 or empty text.
//
// Texts are UTF-8 byte strings; what is shown on screen goes through DecodeDisplayText.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Opaque, non-zero for a live object: the address of the layer's record of it.
using NativeHandle = std::uintptr_t;

// red + 256 * green + 65536 * blue.
using Colour = std::uint32_t;
constexpr Colour RGB(int r, int g, int b) {
    return static_cast<Colour>((r & 255) | ((g & 255) << 8) | ((b & 255) << 16));
}
constexpr Colour kDefaultColour = 0xFFFFFFFFu;      // -1: the platform's colour
constexpr Colour kTransparentColour = 0xFF000000u;  // as a background: the parent shows

// Window flags of CreateTopWindow; the player always passes the first three.
enum WindowFlags : int {
    kWindowBorderless = 1,
    kWindowHidden = 2,
    kWindowCentred = 4,
    // Where the desktop composites when the window is made (a compositing manager runs on
    // X11; always on Wayland), the window gets an alpha channel: while the desktop goes on
    // compositing it shows its see-through image (SetWindowSeeThroughImage) in place of its
    // background, and only that image's opaque part and the controls take the pointer; the
    // rest passes it to what lies beneath. Elsewhere, and while no compositing manager runs,
    // it is a window like any other.
    kWindowSeeThrough = 8,
};

// Event kinds returned by WaitNextEvent / PollNextEvent (0: PollNextEvent found none).
enum EventKind : int {
    kNoEvent = 0,
    kMouseMove,
    kLeftButtonDown,
    kLeftDoubleClick,
    kRightButtonUp,
    kCloseRequest,
    kControlEvent,
    kTimerTick,
    kWindowMoved,
    kWindowResized,
    kWindowActivated,
    kWindowRepainted,
    kKeyEvent,
    kOtherEvent,
    kKeyPress,  // a key pressed in a window: see key_events.h
    kDrop,      // files or addresses dropped on a window: see drop_events.h
};

// Subtypes of kControlEvent.
enum EventSubtype : int {
    kNoSubtype = 0,
    kLeftClick,
    kRightClick,
    kDoubleClick,
    kRightDoubleClick,
    kDragStart,
    // A notch of the mouse wheel (or its worth of a touchpad's scroll) over an image control:
    // forward (away from the user, "up") or back. One event a notch.
    kWheelForward,
    kWheelBack,
};

enum PointerShape : int {
    kArrowPointer = 0,
    kHandPointer = 1,
};

// SetControlColour's "which".
enum ColourRole : int {
    kTextColour = 1,
    kBackColour = 2,
};

// Style flags of CreateFontInSlot.
enum FontStyle : int {
    kFontUnderline = 4,
    kFontStrikeOut = 8,
    kFontHighQuality = 16,
    kFontBold = 256,
    kFontItalic = 512,
};

// ResizeControl: leave this coordinate or size as it is.
constexpr int kKeep = -65535;

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};
struct ScreenPoint {
    int x = 0, y = 0;
};

// --- Life of the layer -------------------------------------------------------------------

// Creates the application object; must run before anything else of the layer.
void InitWidgetLayer();
// Destroys every window, control, image and font and the application object.
void ReleaseWidgetLayer();
// Called once when the connection to the display (the X server, the Wayland compositor) is
// lost, after which the process ends at once with status 1. Only called from inside exit():
// Qt's platform plugins end the process so when the connection breaks. Must: only read from
// the widget layer (texts, values, window places), never draw, show or wait: its windows live
// on a display that is gone. nullptr: none.
void SetDisplayLostHandler(void (*handler)());
// True where losing the display ends the process at once, without that handler: Qt 6.4's
// Wayland plugin calls _exit(1) from its own event thread when the compositor goes away.
bool DisplayLossEndsAtOnce();

// --- Windows -----------------------------------------------------------------------------

NativeHandle CreateTopWindow(int window, int x, int y, int width, int height,
                             const std::string &title, int flags);
void SetWindowVisible(int window, int visible);
// 1 while the window is visible and the window system has not taken it out of view
// (minimised, unmapped); 0 otherwise and for a number that holds no window.
int WindowShowing(int window);
// Called on the user-interface thread, inside the layer's waits like the timer, whenever a
// window comes into view again: before SetWindowVisible shows it, and when the window
// system brings it back, before it is painted. A caller that stopped drawing while nothing
// was in view brings its images up to date here. nullptr: none.
using WindowShownCallback = void (*)();
void SetWindowShownCallback(WindowShownCallback callback);
NativeHandle NativeWindowHandle(int window);
void SetWindowBackgroundImage(NativeHandle window, NativeHandle image);
// See kWindowSeeThrough; the image's alpha is its transparency.
void SetWindowSeeThroughImage(NativeHandle window, NativeHandle image);
// Follows a press of the left button on the window's background until it is released or has
// become a move of the window. True when the window was moved (or handed to the window
// system to move); false for a press released where it was, which is then a click.
bool StartWindowDrag(int window);
// True while the left mouse button is held down.
bool LeftButtonHeld();
// Waits for the next input or timer firing inside the layer (timers and repaints go on);
// for a command that follows the pointer while the button is held.
void WaitForMoreInput();
void CloseTopWindow(int window);
// False where the window system keeps windows' places to itself (Wayland): positions are
// then neither known nor settable.
bool WindowPlacesKnown();
// Top-left corner of a window on the screen; (0, 0) for none.
ScreenPoint WindowPosition(int window);
// Moves a window's top-left corner to (x, y) when enough of it would then lie on one of the
// screens to be seen and dragged back; false (window not moved) otherwise.
bool MoveTopWindowOnScreen(int window, int x, int y);
// Shows a window, brings it to the front and asks for the input focus for it.
// Iconifies the window (back from the task bar, or with RaiseTopWindow).
void MinimiseTopWindow(int window);
void RaiseTopWindow(int window);

// --- Controls (created in the current parent) --------------------------------------------

NativeHandle CreateImageControl(int control, int x, int y, int width, int height,
                                NativeHandle image);
NativeHandle CreateContainer(int control, int x, int y, int width, int height);
void EndContainer();
NativeHandle CreateListControl(int control, int x, int y, int width, int height);
NativeHandle CreateTextLabel(int control, int x, int y, int width, int height,
                             const std::string &text, int centred);
NativeHandle CreateLinkLabel(int control, int x, int y, int width, int height,
                             const std::string &text, Colour hoverColour);
NativeHandle CreateCheckBox(int control, int x, int y, int width, int height,
                            const std::string &text);

// Image control: an image handle or 0. List: item index, -1 clears. Check box: 0 or 1.
void SetControlValue(int control, std::intptr_t value);
int GetControlValue(int control);
void SetControlText(int control, const std::string &text);
std::string GetControlText(int control);
void AddListItem(int control, int position, const std::string &text);
// The text of a list's item `index` exactly as added; empty for none. Selects nothing.
std::string ListItemText(int control, int index);
void ClearListItems(int control);
// The index of a list's first item whose text is `text` exactly as added; -1 when none is
// (or the number holds no list). Selects nothing.
int FindListItem(int control, const std::string &text);
void SetControlFont(int control, NativeHandle font);  // (NativeHandle)-1: default font
void SetControlColour(int control, int which, Colour colour);
void SetControlColours(int control, Colour text, Colour background);
int ControlLeft(int control);
void ResizeControl(int control, int x, int y, int width, int height);
NativeHandle NativeControlHandle(int control);
// A number given to each control when it is created, never given again (0: no control), so
// that a caller that remembers what it last showed in a control can tell a new control
// under the same number from the old one.
std::uint64_t ControlSerial(int control);
ScreenRect ControlScreenRect(NativeHandle control);

// --- Events and pointer ------------------------------------------------------------------

int WaitNextEvent();
int PollNextEvent();
int LastEventWindow();
int LastEventControl();
int LastEventSubtype();
int PointerXInWindow(int window);
// The pointer's row in the window; -1 outside it, as PointerXInWindow.
int PointerYInWindow(int window);
ScreenPoint PointerScreenPosition();
void SetPointerShape(int shape);

// --- Timer, pause and dialog -------------------------------------------------------------

using TimerCallback = void (*)();
void StartRepeatingTimer(NativeHandle window, int periodMs, TimerCallback callback);
void PauseMilliseconds(int ms);
// The modal open dialog, in Russian: the full path of the file or folder chosen (a folder
// without its final "/"), or empty when cancelled. It opens in startFolder, else (empty or no
// folder) the user's music folder, else the home folder.
std::string ChooseFileToOpen(const std::string &title, const std::string &defaultFile,
                             const std::string &filter, int filterIndex,
                             const std::string &startFolder = "");
// Cancels the open-file dialog, when one is open: ChooseFileToOpen returns empty as if the
// user had cancelled it.
void CancelFileChooser();
// Tests replace the modal dialog with a function of their own, given the start folder the
// player asked for; an empty function restores it.
void SetFileChooserForTesting(std::function<std::string(const std::string &startFolder)> chooser);

// --- Images ------------------------------------------------------------------------------

// Sizes are in pixels of the windows; the pixels are kept at the screens' resolution (at a
// device pixel ratio of 2 a 5 x 5 image has 10 x 10 device pixels). A decoded single file is
// enlarged to that resolution.
NativeHandle CreateBlankImage(int slot, int width, int height);
NativeHandle DecodeImageFromMemory(int slot, const void *data, std::size_t length);
// One picture as encoded files (PNG) drawn for 1, 2 and 3 device pixels per pixel: file k
// has k times the pixels of file 1 each way. The slot holds the file that fits the screens'
// ratio (the next larger one, scaled down once, for a ratio between), decoded again when the
// ratio changes. Must: the bytes stay unchanged in memory until the process ends (the files
// linked into the executable). A file that does not decode leaves the slot empty.
struct EncodedImageSet {
    const void *data[3];
    std::size_t length[3];
};
NativeHandle DecodeImageSetFromMemory(int slot, const EncodedImageSet &set);
NativeHandle NativeImageHandle(int slot);

// --- Fonts -------------------------------------------------------------------------------

NativeHandle CreateFontInSlot(int slot, const std::string &face, int points, int style);
NativeHandle NativeFontHandle(int slot);
void RegisterFontFromMemory(const void *data, std::size_t length);
// The program's icon, one PNG file in memory per size: every window carries it (task bar,
// window switcher). Files that do not decode are left out.
void SetProgramIcon(const std::vector<std::pair<const void *, std::size_t>> &pngFiles);

// --- Drawing (one drawing at a time) -----------------------------------------------------

using DrawingTarget = std::uintptr_t;
DrawingTarget WindowDrawingTarget(int window);
DrawingTarget ImageDrawingTarget(int slot);
int BeginDrawing(DrawingTarget target);
void EndDrawing();
void SetDrawingFont(NativeHandle font);
void SetDrawingMode(int transparentText);
void SetPenColour(Colour colour);
void SetTextBackColour(Colour colour);
void FillBox(int x, int y, int width, int height, Colour colour);
void DrawLine(int x1, int y1, int x2, int y2, Colour colour);
void DrawTextAt(int x, int y, const std::string &text);
void DrawTextAt(int x, int y, const std::string &text, Colour colour);
int TextPixelWidth(const std::string &text);
void DrawImageScaled(NativeHandle image, int x, int y, int width, int height);
