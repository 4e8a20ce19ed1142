#include "skin/PictureButton.h"

#include <QEvent>
#include <QPainter>

namespace tunelix::skin {

PictureButton::PictureButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    m_fade.setStartValue(0.0);
    m_fade.setEndValue(1.0);
    m_fade.setDuration(100);
    connect(&m_fade, &QVariantAnimation::valueChanged, this, [this] { update(); });
    // isDown() changes on press and release; these signals tell us.
    connect(this, &QAbstractButton::pressed, this, &PictureButton::updateFace);
    connect(this, &QAbstractButton::released, this, &PictureButton::updateFace);
}

void PictureButton::setFaces(const QPixmap &normal, const QPixmap &hot, const QPixmap &pressed)
{
    m_faces[Normal] = normal;
    m_faces[Hot] = hot;
    m_faces[Pressed] = pressed;
    updateGeometry();
    update();
}

QSize PictureButton::sizeHint() const
{
    const QPixmap &pm = m_faces[Normal];
    if (pm.isNull())
        return { 16, 16 };
    return (QSizeF(pm.size()) / pm.devicePixelRatio()).toSize();
}

const QPixmap &PictureButton::picture(Face face) const
{
    return m_faces[face].isNull() ? m_faces[Normal] : m_faces[face];
}

PictureButton::Face PictureButton::wantedFace() const
{
    if (isDown())
        return Pressed;
    return m_hover && isEnabled() ? Hot : Normal;
}

void PictureButton::updateFace()
{
    const Face wanted = wantedFace();
    if (wanted == m_face)
        return;
    m_previous = m_face;
    m_face = wanted;
    m_fade.stop();
    if (m_fade.duration() > 0 && isVisible())
        m_fade.start();
    update();
}

void PictureButton::enterEvent(QEnterEvent *event)
{
    m_hover = true;
    updateFace();
    QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent *event)
{
    m_hover = false;
    updateFace();
    QAbstractButton::leaveEvent(event);
}

void PictureButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        updateFace();
    QAbstractButton::changeEvent(event);
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const bool fading = m_fade.state() == QAbstractAnimation::Running;
    const qreal t = fading ? m_fade.currentValue().toReal() : 1.0;
    if (fading) {
        p.setOpacity(1.0 - t);
        p.drawPixmap(rect(), picture(m_previous));
    }
    p.setOpacity(t);
    p.drawPixmap(rect(), picture(m_face));
    if (!isEnabled()) {
        p.setOpacity(0.45);
        p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        p.fillRect(rect(), QColor(200, 210, 225));
    }
}

} // namespace tunelix::skin
