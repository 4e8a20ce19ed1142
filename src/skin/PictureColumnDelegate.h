#pragma once

#include <QHash>
#include <QList>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace tunelix::skin {

// Draws the cells of a data grid: a picture column draws picture number v of its own
// list (v from the model's picture role) at the picture's own size, centred in the
// cell, and nothing where the model gives no number or one beyond the list; text
// columns draw their display text, cut off with an ellipsis, and give a hint with the
// whole text only where it was cut off. No focus frame. GUI thread only.
class PictureColumnDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    PictureColumnDelegate(int pictureRole, QObject *parent = nullptr);

    void setPictureList(int column, const QList<QPixmap> &pictures);
    // The picture a cell draws, or null for none.
    QPixmap pictureFor(const QModelIndex &index) const;

    void setSelectionColours(const QColor &background, const QColor &text);
    void setTextColour(const QColor &text) { m_text = text; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;

private:
    int m_pictureRole;
    QHash<int, QList<QPixmap>> m_lists;
    QColor m_selectedBackground { 52, 122, 206 };
    QColor m_selectedText { Qt::white };
    QColor m_text { 27, 42, 65 };
};

} // namespace tunelix::skin
