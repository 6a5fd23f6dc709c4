// List controls over QListWidget. Each item keeps the player's bytes next to the text shown,
// so file names come back exactly as they were added.
#include "list_control.h"

#include <QApplication>
#include <QByteArray>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "event_queue.h"
#include "ui_internal.h"

namespace {

// Items ask for no width of their own: a vertical list then lays each out as wide as its
// viewport, and the item view cuts a longer text with an ellipsis.
class OneLineDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        return QSize(1, QStyledItemDelegate::sizeHint(option, index).height());
    }
};

// The knob's colours: at rest, under the pointer, held.
constexpr int kKnobHoverLighter = 150, kKnobHeldLighter = 200;
constexpr int kGrooveDarker = 140;
constexpr int kScrollBarWidth = 8, kKnobMinimumHeight = 20;

}  // namespace

ListControl::ListControl(QWidget *parent, int number, int window)
    : QListWidget(parent), number_(number), window_(window) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setDragEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideRight);
    setItemDelegate(new OneLineDelegate(this));
    setUniformItemSizes(true);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!quiet_) QueueControlEvent(number_, kLeftClick, window_);
    });
}

void ListControl::SelectQuietly(int index) {
    quiet_ = true;
    if (index >= 0 && index < count()) {
        setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
        scrollToItem(item(index));
    } else {
        selectionModel()->clear();
    }
    quiet_ = false;
}

int ListControl::SelectedIndex() const {
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

std::string ListControl::SelectedText() const {
    const QList<QListWidgetItem *> selected = selectedItems();
    if (selected.isEmpty()) return {};
    const QByteArray bytes = selected.first()->data(Qt::UserRole).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string ListControl::ItemText(int index) const {
    const QListWidgetItem *entry = index >= 0 && index < count() ? item(index) : nullptr;
    if (!entry) return {};
    const QByteArray bytes = entry->data(Qt::UserRole).toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

int ListControl::IndexOf(const std::string &text) const {
    const QByteArray wanted =
        QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size()));
    for (int i = 0; i < count(); ++i)
        if (item(i)->data(Qt::UserRole).toByteArray() == wanted) return i;
    return -1;
}

void ListControl::AddItem(int position, const std::string &text) {
    auto *entry = new QListWidgetItem(DecodeDisplayText(text));
    entry->setData(Qt::UserRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    quiet_ = true;
    if (position >= 0 && position < count())
        insertItem(position, entry);
    else
        addItem(entry);
    quiet_ = false;
}

void ListControl::RemoveAllItems() {
    quiet_ = true;
    clear();
    quiet_ = false;
}

void ListControl::MatchScrollBarToColours() {
    const QColor groove = palette().color(QPalette::Base).darker(kGrooveDarker);
    const QColor knob = palette().color(QPalette::Text);
    // A style sheet on the scroll bar alone: the list itself keeps the plain style, whose
    // painting of many rows the sheet would slow down.
    verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: %1; width: %4px; margin: 0; border: 0; }"
                       "QScrollBar::handle:vertical { background: %2; min-height: %5px;"
                       " border-radius: 3px; margin: 1px; }"
                       "QScrollBar::handle:vertical:hover { background: %3; }"
                       "QScrollBar::handle:vertical:pressed { background: %6; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical"
                       " { height: 0; border: 0; background: none; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical"
                       " { background: none; }")
            .arg(groove.name(), knob.name(), knob.lighter(kKnobHoverLighter).name())
            .arg(kScrollBarWidth)
            .arg(kKnobMinimumHeight)
            .arg(knob.lighter(kKnobHeldLighter).name()));
}

void ListControl::StartPress(QMouseEvent *event) {
    pressOnItem_ =
        event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid();
    dragReported_ = false;
    pressPosition_ = event->globalPosition().toPoint();
}

void ListControl::mousePressEvent(QMouseEvent *event) {
    StartPress(event);
    // Only the left button selects, as in the player's original lists.
    if (event->button() == Qt::LeftButton)
        QListWidget::mousePressEvent(event);
    else
        event->accept();
}

void ListControl::mouseMoveEvent(QMouseEvent *event) {
    QListWidget::mouseMoveEvent(event);
    if (!pressOnItem_ || dragReported_ || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint moved = event->globalPosition().toPoint() - pressPosition_;
    if (moved.manhattanLength() > QApplication::startDragDistance()) {
        dragReported_ = true;
        QueueControlEvent(number_, kDragStart, window_);
    }
}

void ListControl::mouseReleaseEvent(QMouseEvent *event) {
    QListWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) return;
    // A press that turned into a drag is not a click.
    if (pressOnItem_ && !dragReported_) QueueControlEvent(number_, kLeftClick, window_);
    pressOnItem_ = false;
}

void ListControl::mouseDoubleClickEvent(QMouseEvent *event) {
    const bool onItem =
        event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid();
    QListWidget::mouseDoubleClickEvent(event);
    StartPress(event);
    if (onItem) QueueControlEvent(number_, kDoubleClick, window_);
}
