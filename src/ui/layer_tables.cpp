// The window and control tables. Controls die with their window or container (Qt deletes
// children): their records are cleared before that happens.
#include "layer_tables.h"

#include <unordered_map>
#include <vector>

#include "top_window.h"

namespace {

std::vector<std::unique_ptr<TopWindow>> g_windows;
std::vector<ControlRecord> g_controls;
std::unordered_map<NativeHandle, int> g_controlOfHandle;

std::uint64_t g_lastSerial = 0;  // never reset, so a serial is never given twice

int g_currentWindow = -1;
QPointer<QWidget> g_currentContainer;

void ForgetControl(int control) {
    ControlRecord &record = g_controls[static_cast<std::size_t>(control)];
    const auto handle = reinterpret_cast<NativeHandle>(record.widget);
    auto found = g_controlOfHandle.find(handle);
    if (found != g_controlOfHandle.end() && found->second == control)
        g_controlOfHandle.erase(found);
    record = ControlRecord{};
}

}  // namespace

TopWindow *WindowAt(int window) {
    if (window < 0 || static_cast<std::size_t>(window) >= g_windows.size()) return nullptr;
    return g_windows[static_cast<std::size_t>(window)].get();
}

int WindowNumberOfHandle(NativeHandle handle) {
    if (!handle) return -1;
    for (std::size_t i = 0; i < g_windows.size(); ++i)
        if (reinterpret_cast<NativeHandle>(g_windows[i].get()) == handle)
            return static_cast<int>(i);
    return -1;
}

void StoreWindow(int window, std::unique_ptr<TopWindow> widget) {
    if (window < 0) return;
    DestroyWindow(window);
    if (static_cast<std::size_t>(window) >= g_windows.size())
        g_windows.resize(static_cast<std::size_t>(window) + 1);
    g_windows[static_cast<std::size_t>(window)] = std::move(widget);
    g_currentWindow = window;
    g_currentContainer = nullptr;
}

void DestroyWindow(int window) {
    if (!WindowAt(window)) return;
    for (std::size_t i = 0; i < g_controls.size(); ++i)
        if (g_controls[i].window == window) ForgetControl(static_cast<int>(i));
    g_windows[static_cast<std::size_t>(window)].reset();
    if (g_currentWindow == window) g_currentWindow = -1;
}

ControlRecord *ControlAt(int control) {
    if (control < 0 || static_cast<std::size_t>(control) >= g_controls.size()) return nullptr;
    ControlRecord &record = g_controls[static_cast<std::size_t>(control)];
    return record.widget ? &record : nullptr;
}

ControlRecord *ControlOfHandle(NativeHandle handle) {
    if (!handle) return nullptr;
    auto found = g_controlOfHandle.find(handle);
    if (found == g_controlOfHandle.end()) return nullptr;
    ControlRecord *record = ControlAt(found->second);
    return record && reinterpret_cast<NativeHandle>(record->widget) == handle ? record : nullptr;
}

void DestroyControl(int control) {
    if (control < 0 || static_cast<std::size_t>(control) >= g_controls.size()) return;
    QWidget *widget = g_controls[static_cast<std::size_t>(control)].widget;
    if (!widget) return;
    // Qt deletes the controls inside a container along with it.
    for (std::size_t i = 0; i < g_controls.size(); ++i)
        if (g_controls[i].widget && widget->isAncestorOf(g_controls[i].widget))
            ForgetControl(static_cast<int>(i));
    ForgetControl(control);
    delete widget;
}

NativeHandle StoreControl(int control, ControlKind kind, QWidget *widget, int window) {
    if (control < 0 || !widget) return 0;
    if (static_cast<std::size_t>(control) >= g_controls.size())
        g_controls.resize(static_cast<std::size_t>(control) + 1);
    ControlRecord &record = g_controls[static_cast<std::size_t>(control)];
    record.kind = kind;
    record.widget = widget;
    record.window = window;
    record.serial = ++g_lastSerial;
    const auto handle = reinterpret_cast<NativeHandle>(widget);
    g_controlOfHandle[handle] = control;
    return handle;
}

QWidget *CurrentParent() {
    if (g_currentContainer) return g_currentContainer.data();
    return WindowAt(g_currentWindow);
}

int CurrentParentWindow() {
    return WindowAt(g_currentWindow) ? g_currentWindow : -1;
}

void EnterContainer(QWidget *container) {
    g_currentContainer = container;
}

void LeaveContainer() {
    g_currentContainer = nullptr;
}

void DestroyAllWindows() {
    g_controls.clear();
    g_controlOfHandle.clear();
    g_windows.clear();
    g_currentWindow = -1;
    g_currentContainer = nullptr;
}
