#include "skin/PictureToolBar.h"

#include "skin/ErrorBox.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>

namespace tunelix::skin {

namespace {
constexpr int kTopMargin = 2;
constexpr int kReflection = 16; // height of the mirrored picture under an item
} // namespace

PictureToolBar::PictureToolBar(QWidget *parent)
    : QWidget(parent)
{
    m_fade.setStartValue(0.0);
    m_fade.setEndValue(1.0);
    m_fade.setDuration(200);
    connect(&m_fade, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

void PictureToolBar::setBackground(const QPixmap &picture)
{
    m_background = picture;
    update();
}

void PictureToolBar::setItemSize(const QSize &size)
{
    m_itemSize = size;
    update();
}

void PictureToolBar::setItemSpacing(int pixels)
{
    m_spacing = pixels;
    update();
}

void PictureToolBar::addItem(Item item)
{
    m_items.push_back(std::move(item));
    update();
}

void PictureToolBar::setSelectedIndex(int index)
{
    if (index < 0 || index >= count())
        return;
    m_selected = m_previous = index;
    update();
}

void PictureToolBar::selectItem(int index)
{
    if (index < 0 || index >= count())
        return;
    const bool changed = index != m_selected;
    if (changed) {
        m_previous = m_selected;
        m_selected = index;
        m_fade.stop();
        if (isVisible())
            m_fade.start();
        update();
    }
    // Copies: a handler may rebuild the items or the handlers.
    if (const auto onClick = m_items[static_cast<size_t>(index)].onClick)
        onClick();
    if (changed && onChange) {
        const auto change = onChange;
        change(index);
    }
}

QRect PictureToolBar::itemRect(int index) const
{
    const int n = count();
    const int total = n * m_itemSize.width() + std::max(0, n - 1) * m_spacing;
    const int left = (width() - total) / 2;
    return { QPoint(left + index * (m_itemSize.width() + m_spacing), kTopMargin), m_itemSize };
}

int PictureToolBar::itemAt(const QPoint &pos) const
{
    for (int i = 0; i < count(); ++i) {
        if (itemRect(i).contains(pos))
            return i;
    }
    return -1;
}

void PictureToolBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int index = itemAt(event->position().toPoint());
    if (index < 0) {
        event->ignore(); // the panel under the toolbar may drag the window
        return;
    }
    event->accept();
    runHandler(this, [&] { selectItem(index); });
}

void PictureToolBar::paintItem(QPainter &p, int index, qreal selectedness)
{
    const Item &it = m_items[static_cast<size_t>(index)];
    const QRect r = itemRect(index);
    if (selectedness > 0.0) {
        // The glow: a soft ellipse of the item's colour behind and under the picture.
        QColor inner = it.glow;
        inner.setAlphaF(0.55 * selectedness);
        QColor outer = it.glow;
        outer.setAlphaF(0.0);
        const QPointF centre(r.center().x() + 0.5, r.bottom() - r.height() * 0.25);
        QRadialGradient g(centre, r.width() * 0.62);
        g.setColorAt(0.0, inner);
        g.setColorAt(1.0, outer);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(centre, r.width() * 0.62, r.height() * 0.42);
    }
    const QPixmap &pm = (selectedness >= 0.5 && !it.selected.isNull()) ? it.selected : it.normal;
    if (pm.isNull())
        return;
    p.drawPixmap(r, pm);

    // The reflection: the picture's lower part mirrored, fading out downwards.
    const QRect mirror(r.left(), r.bottom() + 1, r.width(), kReflection);
    QImage flipped = pm.toImage().mirrored(false, true).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter mask(&flipped);
        mask.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        QLinearGradient fade(0, 0, 0, flipped.height() * kReflection / qreal(r.height()));
        fade.setColorAt(0.0, QColor(0, 0, 0, 90));
        fade.setColorAt(1.0, QColor(0, 0, 0, 0));
        mask.fillRect(flipped.rect(), fade);
    }
    const int srcHeight = int(flipped.height() * kReflection / qreal(r.height()));
    p.drawImage(mirror, flipped, QRect(0, 0, flipped.width(), srcHeight));
}

void PictureToolBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_background.isNull())
        p.fillRect(rect(), QColor(222, 235, 250));
    else
        p.drawPixmap(rect(), m_background);

    const bool fading = m_fade.state() == QAbstractAnimation::Running;
    const qreal t = fading ? m_fade.currentValue().toReal() : 1.0;
    for (int i = 0; i < count(); ++i) {
        qreal s = 0.0;
        if (i == m_selected)
            s = t;
        else if (fading && i == m_previous)
            s = 1.0 - t;
        paintItem(p, i, s);
    }
}

} // namespace tunelix::skin
