// Creating controls in the current parent, and their values, texts and list items.
#include <QCheckBox>
#include <QLabel>
#include <algorithm>
#include <climits>

#include "event_queue.h"
#include "image_control.h"
#include "labels.h"
#include "layer_tables.h"
#include "list_control.h"
#include "ui_internal.h"

namespace {

// Destroys what the number held, then creates the widget in the current parent.
template <typename Make>
NativeHandle AddControl(int control, ControlKind kind, int x, int y, int width, int height,
                        Make make) {
    if (control < 0 || control >= kNumberLimit) return 0;
    DestroyControl(control);
    QWidget *parent = CurrentParent();
    const int window = CurrentParentWindow();
    if (!parent || window < 0) return 0;
    QWidget *widget = make(parent, window);
    widget->setGeometry(x, y, std::max(width, 0), std::max(height, 0));
    widget->setMouseTracking(true);
    widget->show();
    return StoreControl(control, kind, widget, window);
}

template <typename Widget>
Widget *ControlAs(int control, ControlKind kind) {
    ControlRecord *record = ControlAt(control);
    if (!record || record->kind != kind) return nullptr;
    return static_cast<Widget *>(record->widget);
}

}  // namespace

NativeHandle CreateImageControl(int control, int x, int y, int width, int height,
                                NativeHandle image) {
    const NativeHandle handle = AddControl(
        control, ControlKind::kImage, x, y, width, height,
        [&](QWidget *parent, int window) { return new ImageControl(parent, control, window); });
    // An image given at creation sets the size; width and height count only without one.
    if (handle && ImageFromHandle(image))
        SetControlValue(control, static_cast<std::intptr_t>(image));
    return handle;
}

NativeHandle CreateContainer(int control, int x, int y, int width, int height) {
    const NativeHandle handle =
        AddControl(control, ControlKind::kContainer, x, y, width, height, [](QWidget *parent, int) {
            auto *widget = new QWidget(parent);
            QPalette palette = widget->palette();
            palette.setColor(QPalette::Window, palette.color(QPalette::Button));
            widget->setPalette(palette);
            widget->setAutoFillBackground(true);
            return widget;
        });
    if (handle) EnterContainer(ControlAt(control)->widget);
    return handle;
}

void EndContainer() {
    LeaveContainer();
}

NativeHandle CreateListControl(int control, int x, int y, int width, int height) {
    return AddControl(
        control, ControlKind::kList, x, y, width, height,
        [&](QWidget *parent, int window) { return new ListControl(parent, control, window); });
}

NativeHandle CreateTextLabel(int control, int x, int y, int width, int height,
                             const std::string &text, int centred) {
    const NativeHandle handle = AddControl(
        control, ControlKind::kTextLabel, x, y, width, height, [&](QWidget *parent, int) {
            return NewTextLabel(parent, DecodeDisplayText(text), centred != 0);
        });
    if (handle) ControlAt(control)->text = text;
    return handle;
}

NativeHandle CreateLinkLabel(int control, int x, int y, int width, int height,
                             const std::string &text, Colour hoverColour) {
    const NativeHandle handle = AddControl(
        control, ControlKind::kLinkLabel, x, y, width, height, [&](QWidget *parent, int window) {
            return new LinkLabel(parent, control, window, DecodeDisplayText(text),
                                 ToQColor(hoverColour));
        });
    if (handle) ControlAt(control)->text = text;
    return handle;
}

NativeHandle CreateCheckBox(int control, int x, int y, int width, int height,
                            const std::string &text) {
    const NativeHandle handle = AddControl(
        control, ControlKind::kCheckBox, x, y, width, height, [&](QWidget *parent, int window) {
            auto *box = new QCheckBox(DecodeDisplayText(text), parent);
            QObject::connect(box, &QCheckBox::clicked, box,
                             [control, window] { QueueControlEvent(control, kLeftClick, window); });
            return box;
        });
    if (handle) ControlAt(control)->text = text;
    return handle;
}

void SetControlValue(int control, std::intptr_t value) {
    if (auto *image = ControlAs<ImageControl>(control, ControlKind::kImage)) {
        const ImageRecord *record = ImageFromHandle(static_cast<NativeHandle>(value));
        image->ShowImage(record ? record->image : QImage(), static_cast<NativeHandle>(value));
    } else if (auto *list = ControlAs<ListControl>(control, ControlKind::kList)) {
        list->SelectQuietly(value < 0 || value > INT_MAX ? -1 : static_cast<int>(value));
    } else if (auto *box = ControlAs<QCheckBox>(control, ControlKind::kCheckBox)) {
        box->setChecked(value != 0);
    }
}

int GetControlValue(int control) {
    if (auto *list = ControlAs<ListControl>(control, ControlKind::kList))
        return list->SelectedIndex();
    if (auto *box = ControlAs<QCheckBox>(control, ControlKind::kCheckBox))
        return box->isChecked() ? 1 : 0;
    return 0;
}

void SetControlText(int control, const std::string &text) {
    ControlRecord *record = ControlAt(control);
    if (!record) return;
    switch (record->kind) {
        case ControlKind::kTextLabel:
            static_cast<QLabel *>(record->widget)->setText(DecodeDisplayText(text));
            break;
        case ControlKind::kLinkLabel:
            static_cast<LinkLabel *>(record->widget)->SetText(DecodeDisplayText(text));
            break;
        case ControlKind::kCheckBox:
            static_cast<QCheckBox *>(record->widget)->setText(DecodeDisplayText(text));
            break;
        default:
            return;
    }
    record->text = text;
}

std::string GetControlText(int control) {
    ControlRecord *record = ControlAt(control);
    if (!record) return {};
    if (record->kind == ControlKind::kList)
        return static_cast<ListControl *>(record->widget)->SelectedText();
    return record->text;
}

void AddListItem(int control, int position, const std::string &text) {
    if (auto *list = ControlAs<ListControl>(control, ControlKind::kList))
        list->AddItem(position, text);
}

std::string ListItemText(int control, int index) {
    auto *list = ControlAs<ListControl>(control, ControlKind::kList);
    return list ? list->ItemText(index) : std::string();
}

int FindListItem(int control, const std::string &text) {
    auto *list = ControlAs<ListControl>(control, ControlKind::kList);
    return list ? list->IndexOf(text) : -1;
}

void ClearListItems(int control) {
    if (auto *list = ControlAs<ListControl>(control, ControlKind::kList)) list->RemoveAllItems();
}

std::uint64_t ControlSerial(int control) {
    ControlRecord *record = ControlAt(control);
    return record ? record->serial : 0;
}

NativeHandle NativeControlHandle(int control) {
    ControlRecord *record = ControlAt(control);
    return record ? reinterpret_cast<NativeHandle>(record->widget) : 0;
}
