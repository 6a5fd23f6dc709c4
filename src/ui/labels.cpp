// Text labels and link labels.
#include "labels.h"

#include <QMouseEvent>
#include <QPainter>

#include "event_queue.h"

QLabel *NewTextLabel(QWidget *parent, const QString &text, bool centred) {
    auto *label = new QLabel(parent);
    // Texts come from tags and station files: never read them as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setAlignment(Qt::AlignTop | (centred ? Qt::AlignHCenter : Qt::AlignLeft));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setAutoFillBackground(true);
    return label;
}

LinkLabel::LinkLabel(QWidget *parent, int number, int window, const QString &text,
                     const QColor &hoverColour)
    : QWidget(parent), number_(number), window_(window), text_(text), hoverColour_(hoverColour) {
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
}

void LinkLabel::SetText(const QString &text) {
    text_ = text;
    update();
}

void LinkLabel::SetTextColour(const QColor &colour) {
    textColour_ = colour;
    update();
}

QColor LinkLabel::TextColour() const {
    return textColour_.isValid() ? textColour_ : palette().color(QPalette::WindowText);
}

void LinkLabel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(hovered_ ? hoverColour_ : TextColour());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text_);
}

void LinkLabel::enterEvent(QEnterEvent *) {
    hovered_ = true;
    update();
}

void LinkLabel::leaveEvent(QEvent *) {
    hovered_ = false;
    update();
}

// Taking the press makes the release come back here, where the click is reported.
void LinkLabel::mousePressEvent(QMouseEvent *event) {
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        QueueControlEvent(number_, kLeftClick, window_);
    event->accept();
}
