#include "skin/SkinPanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace tunelix::skin {

SkinPanel::SkinPanel(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SkinPanel::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void SkinPanel::setDrawType(DrawType type)
{
    m_drawType = type;
    update();
}

void SkinPanel::setPlainColour(const QColor &colour)
{
    m_plainColour = colour;
    update();
}

void SkinPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_picture.isNull()) {
        p.fillRect(rect(), m_plainColour);
        return;
    }
    if (m_drawType == DrawType::Tile) {
        p.drawTiledPixmap(rect(), m_picture);
    } else {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(rect(), m_picture);
    }
}

void SkinPanel::mousePressEvent(QMouseEvent *event)
{
    if (!m_formDrag) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Where the window system moves windows itself (Wayland, most X11 window
    // managers), let it; otherwise follow the pointer ourselves.
    if (QWindow *handle = window()->windowHandle(); handle && handle->startSystemMove()) {
        event->accept();
        return;
    }
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
    event->accept();
}

void SkinPanel::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    window()->move(event->globalPosition().toPoint() - m_dragOffset);
    event->accept();
}

void SkinPanel::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

} // namespace tunelix::skin
