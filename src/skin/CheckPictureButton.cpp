#include "skin/CheckPictureButton.h"

#include "skin/ErrorBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace tunelix::skin {

CheckPictureButton::CheckPictureButton(QWidget *parent)
    : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void CheckPictureButton::setPictures(const QPixmap &unchecked, const QPixmap &checked)
{
    m_unchecked = unchecked;
    m_checkedPicture = checked;
    update();
}

void CheckPictureButton::setChecked(bool checked)
{
    m_checked = checked;
    update();
    if (const auto handler = onCheckChange)
        handler(checked);
    emit checkChanged(checked);
}

QSize CheckPictureButton::sizeHint() const { return { 22, 20 }; }

void CheckPictureButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CheckPictureButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        event->accept();
        if (rect().contains(event->position().toPoint()))
            runHandler(this, [this] { setChecked(!m_checked); });
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CheckPictureButton::enterEvent(QEnterEvent *event)
{
    m_hover = true;
    update();
    QWidget::enterEvent(event);
}

void CheckPictureButton::leaveEvent(QEvent *event)
{
    m_hover = false;
    update();
    QWidget::leaveEvent(event);
}

void CheckPictureButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPixmap &pm = m_checked ? m_checkedPicture : m_unchecked;
    if (!pm.isNull()) {
        const QSizeF size = QSizeF(pm.size()) / pm.devicePixelRatio();
        const QRectF target(QPointF((width() - size.width()) / 2.0, (height() - size.height()) / 2.0), size);
        p.drawPixmap(target, pm, QRectF(pm.rect()));
    }
    if (m_hover) {
        p.setCompositionMode(QPainter::CompositionMode_Plus);
        p.setOpacity(0.18);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(rect().adjusted(2, 1, -2, -1));
    }
}

} // namespace tunelix::skin
