#include "client/song/SeekSlider.h"

#include <QFileInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <stdexcept>

namespace tunelix::client {

namespace {
QRect toRect(const SeekSlider::SmallRect &r) { return QRect(QPoint(r[0], r[1]), QPoint(r[2] - 1, r[3] - 1)); }
} // namespace

SeekSlider::SeekSlider(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
}

void SeekSlider::setMin(std::int16_t value)
{
    m_min = value;
    m_max = std::max(m_max, m_min);
    m_position = std::clamp(m_position, m_min, m_max);
    update();
}

void SeekSlider::setMax(std::int16_t value)
{
    m_max = value;
    m_min = std::min(m_min, m_max);
    m_position = std::clamp(m_position, m_min, m_max);
    update();
}

void SeekSlider::setPosition(std::int16_t value)
{
    const std::int16_t clamped = std::clamp(value, m_min, m_max);
    if (clamped != m_position) {
        m_position = clamped;
        update();
    }
}

void SeekSlider::loadSkinPicture(const QString &path)
{
    const bool png = path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive);
    QImageReader reader(path, png ? "png" : "bmp");
    const QImage image = reader.read();
    if (image.isNull()) {
        m_picture = QPixmap();
        update();
        const QString reason
            = QFileInfo::exists(path) ? reader.errorString() : QStringLiteral("No such file or directory");
        throw std::runtime_error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason).toStdString());
    }
    m_picture = QPixmap::fromImage(image);
    update();
}

void SeekSlider::setThumbOrigins(QPoint normal, QPoint pressed, QPoint highlighted)
{
    m_normal = normal;
    m_pressedOrigin = pressed;
    m_highlighted = highlighted;
    update();
}

void SeekSlider::setTrackRects(const SmallRect &first, const SmallRect &second)
{
    m_track = first;
    m_trackDone = second;
    update();
}

QRect SeekSlider::thumbRect() const
{
    const int span = std::max(0, width() - m_thumbSize.width());
    const int range = m_max - m_min;
    const int x = range > 0 ? static_cast<int>(static_cast<long long>(span) * (m_position - m_min) / range) : 0;
    return QRect(x, (height() - m_thumbSize.height()) / 2, m_thumbSize.width(), m_thumbSize.height());
}

void SeekSlider::drawTrack(QPainter &p, const SmallRect &source, int right) const
{
    const QRect src = toRect(source);
    if (src.width() <= 0 || src.height() <= 0 || right <= 0)
        return;
    const int border = std::clamp(m_border, 0, src.width() / 2);
    const int top = (height() - src.height()) / 2;
    const int h = src.height();
    // Ends as they are, the middle stretched.
    p.drawPixmap(QRect(0, top, border, h), m_picture, QRect(src.left(), src.top(), border, h));
    p.drawPixmap(QRect(border, top, std::max(0, right - 2 * border), h), m_picture,
        QRect(src.left() + border, src.top(), src.width() - 2 * border, h));
    p.drawPixmap(
        QRect(right - border, top, border, h), m_picture, QRect(src.right() + 1 - border, src.top(), border, h));
}

void SeekSlider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect thumb = thumbRect();
    if (m_picture.isNull()) {
        p.fillRect(QRect(0, height() / 2 - 2, width(), 4), QColor(159, 184, 214));
        p.fillRect(thumb, m_pressed ? QColor(36, 79, 125) : m_hover ? QColor(90, 144, 204) : QColor(47, 109, 181));
        return;
    }
    drawTrack(p, m_track, width());
    drawTrack(p, m_trackDone, thumb.center().x());
    const QPoint origin = m_pressed                                  ? m_pressedOrigin
        : (m_hover && thumb.contains(mapFromGlobal(QCursor::pos()))) ? m_highlighted
                                                                     : m_normal;
    p.drawPixmap(thumb, m_picture, QRect(origin, m_thumbSize));
}

void SeekSlider::mousePressEvent(QMouseEvent *event)
{
    m_pressed = true;
    update();
    emit mouseDown(event->button(), qRound(event->position().x()));
}

void SeekSlider::mouseReleaseEvent(QMouseEvent *)
{
    m_pressed = false;
    update();
}

void SeekSlider::enterEvent(QEnterEvent *)
{
    m_hover = true;
    update();
}

void SeekSlider::leaveEvent(QEvent *)
{
    m_hover = false;
    update();
}

} // namespace tunelix::client
