// List controls over QListWidget. Each item keeps the player's bytes next to the text shown,
// so file names come back exactly as they were added.
#include "list_control.h"

#include <QApplication>
#include <QByteArray>
#include <QMouseEvent>

#include "event_queue.h"
#include "ui_internal.h"

ListControl::ListControl(QWidget *parent, int number, int window)
    : QListWidget(parent), number_(number), window_(window) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setDragEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
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
