// Text labels (QLabel, transparent to the mouse) and link labels: text at the top-left with
// no background, in the text colour or the hover colour while the pointer is over it.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>

QLabel *NewTextLabel(QWidget *parent, const QString &text, bool centred);

class LinkLabel : public QWidget {
  public:
    LinkLabel(QWidget *parent, int number, int window, const QString &text,
              const QColor &hoverColour);

    void SetText(const QString &text);
    // An invalid colour means the platform's text colour.
    void SetTextColour(const QColor &colour);
    QColor TextColour() const;
    bool Hovered() const { return hovered_; }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    int number_;
    int window_;
    QString text_;
    QColor textColour_;  // invalid: the palette's
    QColor hoverColour_;
    bool hovered_ = false;
};
