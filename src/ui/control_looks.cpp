// Fonts, colours and geometry of controls.
#include <QApplication>
#include <QPalette>

#include "labels.h"
#include "layer_tables.h"
#include "list_control.h"
#include "ui_internal.h"

namespace {

QPalette::ColorRole BackRole(ControlKind kind) {
    return kind == ControlKind::kList ? QPalette::Base : QPalette::Window;
}

// A list that was given colours shows its selection in them inverted, so the selection
// belongs to the list's own look rather than to the desktop's highlight colour; its scroll
// bar takes them too.
void InvertListSelection(QWidget *list, QPalette &palette) {
    palette.setColor(QPalette::Highlight, palette.color(QPalette::Text));
    palette.setColor(QPalette::HighlightedText, palette.color(QPalette::Base));
    list->setPalette(palette);
    static_cast<ListControl *>(list)->MatchScrollBarToColours();
}

void ApplyTextColour(ControlRecord &record, Colour colour) {
    QWidget *widget = record.widget;
    if (record.kind == ControlKind::kImage) return;
    if (record.kind == ControlKind::kLinkLabel) {
        static_cast<LinkLabel *>(widget)->SetTextColour(
            colour == kDefaultColour ? QColor() : ToQColor(colour));
        return;
    }
    // Labels draw with WindowText, lists with Text, check boxes with ButtonText.
    const QPalette defaults = QApplication::palette(widget);
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, colour == kDefaultColour ? defaults.color(role) : ToQColor(colour));
    widget->setPalette(palette);
    if (record.kind == ControlKind::kList) InvertListSelection(widget, palette);
}

void ApplyBackColour(ControlRecord &record, Colour colour) {
    QWidget *widget = record.widget;
    // Image controls have no background, link labels never fill theirs.
    if (record.kind == ControlKind::kImage || record.kind == ControlKind::kLinkLabel) return;
    const QPalette::ColorRole role = BackRole(record.kind);
    QPalette palette = widget->palette();
    QColor background;
    if (colour == kTransparentColour)
        background = Qt::transparent;
    else if (colour == kDefaultColour)
        background = record.kind == ControlKind::kContainer
                         ? QApplication::palette(widget).color(QPalette::Button)
                         : QApplication::palette(widget).color(role);
    else
        background = ToQColor(colour);
    palette.setColor(role, background);
    widget->setPalette(palette);
    if (record.kind == ControlKind::kList) InvertListSelection(widget, palette);
    if (record.kind != ControlKind::kList)
        widget->setAutoFillBackground(colour != kTransparentColour);
}

}  // namespace

QColor ToQColor(Colour colour) {
    return QColor(static_cast<int>(colour & 255), static_cast<int>((colour >> 8) & 255),
                  static_cast<int>((colour >> 16) & 255));
}

void SetControlFont(int control, NativeHandle font) {
    ControlRecord *record = ControlAt(control);
    if (!record) return;
    if (font == static_cast<NativeHandle>(-1)) {
        record->widget->setFont(QApplication::font());
    } else if (const FontRecord *chosen = FontFromHandle(font)) {
        record->widget->setFont(chosen->font);
    }
}

void SetControlColour(int control, int which, Colour colour) {
    ControlRecord *record = ControlAt(control);
    if (!record) return;
    if (which == kTextColour)
        ApplyTextColour(*record, colour);
    else if (which == kBackColour)
        ApplyBackColour(*record, colour);
}

// A link label keeps the text colour given to it alone when the pair's text is the default:
// the player sets the colour first and then the pair only for the transparent background.
void SetControlColours(int control, Colour text, Colour background) {
    ControlRecord *record = ControlAt(control);
    if (!record) return;
    if (!(record->kind == ControlKind::kLinkLabel && text == kDefaultColour))
        ApplyTextColour(*record, text);
    ApplyBackColour(*record, background);
}

int ControlLeft(int control) {
    ControlRecord *record = ControlAt(control);
    return record ? record->widget->x() : 0;
}

void ResizeControl(int control, int x, int y, int width, int height) {
    ControlRecord *record = ControlAt(control);
    if (!record) return;
    const QRect now = record->widget->geometry();
    record->widget->setGeometry(x == kKeep ? now.x() : x, y == kKeep ? now.y() : y,
                                width == kKeep ? now.width() : std::max(width, 0),
                                height == kKeep ? now.height() : std::max(height, 0));
}

ScreenRect ControlScreenRect(NativeHandle control) {
    ControlRecord *record = ControlOfHandle(control);
    if (!record) return {};
    const QPoint topLeft = record->widget->mapToGlobal(QPoint(0, 0));
    return ScreenRect{topLeft.x(), topLeft.y(), topLeft.x() + record->widget->width(),
                      topLeft.y() + record->widget->height()};
}
