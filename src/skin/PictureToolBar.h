#pragma once

#include <QColor>
#include <QPixmap>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>
#include <vector>

namespace tunelix::skin {

// A row of picture items over a stretched background, each with a glow and a
// reflection under it. One item is always selected and stays selected.
//
// Selecting an item (a left press on it, or selectItem()) runs the item's own click
// handler first, whenever it has one, also when the item was selected already; then,
// only when the selected item changed, the toolbar's change handler with the new index.
// An exception from a handler leaves selectItem() (the mouse route shows it in the
// error box); the selection has moved by then when the click handler returned.
// GUI thread only.
class PictureToolBar : public QWidget
{
    Q_OBJECT
public:
    struct Item
    {
        QPixmap normal;
        QPixmap selected;
        QColor glow;
        std::function<void()> onClick; // empty: the item has no click handler
    };

    explicit PictureToolBar(QWidget *parent = nullptr);

    void setBackground(const QPixmap &picture);
    void setItemSize(const QSize &size);
    void setItemSpacing(int pixels);
    void addItem(Item item);
    int count() const { return static_cast<int>(m_items.size()); }
    Item &item(int index) { return m_items.at(static_cast<size_t>(index)); }

    int selectedIndex() const { return m_selected; }
    // Sets the selection without running any handler (the design's initial item).
    void setSelectedIndex(int index);

    // What a left press on item `index` does.
    void selectItem(int index);

    // Runs with the new index when the selection changed.
    std::function<void(int)> onChange;

    // Where item `index` is drawn; the item under a point, or -1.
    QRect itemRect(int index) const;
    int itemAt(const QPoint &pos) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void paintItem(QPainter &p, int index, qreal selectedness);

    std::vector<Item> m_items;
    QPixmap m_background;
    QSize m_itemSize { 61, 60 };
    int m_spacing = 20;
    int m_selected = 0;
    int m_previous = 0;
    QVariantAnimation m_fade; // 200 ms glow move from the old item to the new one
};

} // namespace tunelix::skin
