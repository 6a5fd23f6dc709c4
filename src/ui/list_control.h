// List controls: single selection, items in insertion order. Clicks, selection changes by
// mouse or keys, double clicks and drag starts become control events; changes made by the
// player itself produce none. Items are one line as wide as the list, a long name cut with
// an ellipsis: there is never a horizontal scroll bar.
#pragma once

#include <QListWidget>
#include <QPoint>
#include <string>

class ListControl : public QListWidget {
  public:
    ListControl(QWidget *parent, int number, int window);

    // Selects and shows item `index`; any index outside the items clears the selection.
    void SelectQuietly(int index);
    int SelectedIndex() const;
    // The selected item's text exactly as it was added; empty when none is selected.
    std::string SelectedText() const;
    // Item `index`'s text exactly as added; empty when there is no such item.
    std::string ItemText(int index) const;
    // The first item whose text is `text` exactly as added, -1 for none.
    int IndexOf(const std::string &text) const;
    // Position -1 (or any position outside the items) appends.
    void AddItem(int position, const std::string &text);
    void RemoveAllItems();
    // Gives the scroll bar the list's own colours (after the player set them): a groove a
    // shade darker than the background, a knob in the text's colour.
    void MatchScrollBarToColours();

  protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

  private:
    void StartPress(QMouseEvent *event);

    int number_;
    int window_;
    bool quiet_ = false;        // the player is changing the list: no events
    bool pressOnItem_ = false;  // left button went down on an item and is still down
    bool dragReported_ = false;
    QPoint pressPosition_;
};
