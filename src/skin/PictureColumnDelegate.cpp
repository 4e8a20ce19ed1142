#include "skin/PictureColumnDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace tunelix::skin {

PictureColumnDelegate::PictureColumnDelegate(int pictureRole, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_pictureRole(pictureRole)
{
}

void PictureColumnDelegate::setPictureList(int column, const QList<QPixmap> &pictures)
{
    m_lists.insert(column, pictures);
}

void PictureColumnDelegate::setSelectionColours(const QColor &background, const QColor &text)
{
    m_selectedBackground = background;
    m_selectedText = text;
}

QPixmap PictureColumnDelegate::pictureFor(const QModelIndex &index) const
{
    const auto list = m_lists.constFind(index.column());
    if (list == m_lists.constEnd())
        return {};
    const QVariant v = index.data(m_pictureRole);
    if (!v.isValid() || v.isNull())
        return {};
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok || n < 0 || n >= list->size())
        return {};
    return list->at(n);
}

void PictureColumnDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(option.rect, m_selectedBackground);

    if (m_lists.contains(index.column())) {
        const QPixmap pm = pictureFor(index);
        if (!pm.isNull()) {
            const QSizeF size = QSizeF(pm.size()) / pm.devicePixelRatio();
            const QPointF topLeft(option.rect.left() + (option.rect.width() - size.width()) / 2.0,
                option.rect.top() + (option.rect.height() - size.height()) / 2.0);
            painter->setRenderHint(QPainter::SmoothPixmapTransform);
            painter->drawPixmap(QRectF(topLeft, size), pm, QRectF(pm.rect()));
        }
    } else {
        const QString text = index.data(Qt::DisplayRole).toString();
        const QRect area = option.rect.adjusted(3, 0, -3, 0);
        painter->setFont(option.font);
        painter->setPen(selected ? m_selectedText : m_text);
        const QString shown = option.fontMetrics.elidedText(text, Qt::ElideRight, area.width());
        painter->drawText(area, Qt::AlignVCenter | Qt::AlignLeft, shown);
    }
    painter->restore();
}

bool PictureColumnDelegate::helpEvent(
    QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip || m_lists.contains(index.column()))
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString text = index.data(Qt::DisplayRole).toString();
    const int room = option.rect.width() - 6;
    if (text.isEmpty() || option.fontMetrics.horizontalAdvance(text) <= room) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(event->globalPos(), text, view);
    return true;
}

} // namespace tunelix::skin
