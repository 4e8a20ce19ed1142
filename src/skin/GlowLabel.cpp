#include "skin/GlowLabel.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace tunelix::skin {

namespace {
constexpr int kHalo = 3; // room for the glow around the letters, in pixels
}

GlowLabel::GlowLabel(const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_text(text)
{
    // Mouse presses are left to the parent (QWidget ignores them), so a drag-to-move
    // panel under the label still drags; hover stays, so the label's hint shows.
}

void GlowLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    fitToText();
    update();
}

void GlowLabel::setTextColour(const QColor &colour)
{
    m_colour = colour;
    update();
}

void GlowLabel::setGlowColour(const QColor &colour)
{
    m_glow = colour;
    update();
}

void GlowLabel::setAutoSize(bool on)
{
    m_autoSize = on;
    fitToText();
}

void GlowLabel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

QSize GlowLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    return { fm.horizontalAdvance(m_text) + 2 * kHalo, fm.height() + 2 * kHalo };
}

void GlowLabel::fitToText()
{
    if (m_autoSize)
        resize(sizeHint());
}

void GlowLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        fitToText();
    QWidget::changeEvent(event);
}

void GlowLabel::paintEvent(QPaintEvent *)
{
    if (m_text.isEmpty())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm(font());
    const QRect area = rect().adjusted(kHalo, 0, -kHalo, 0);
    const QString shown = fm.elidedText(m_text, Qt::ElideRight, area.width());
    const int textWidth = fm.horizontalAdvance(shown);
    qreal x = area.left();
    if (m_alignment & Qt::AlignHCenter)
        x = area.left() + (area.width() - textWidth) / 2.0;
    else if (m_alignment & Qt::AlignRight)
        x = area.right() - textWidth;
    const qreal y = (height() - fm.height()) / 2.0 + fm.ascent();

    QPainterPath path;
    path.addText(QPointF(x, y), font(), shown);
    // The halo: wide, faint strokes under a narrower, stronger one.
    for (int width : { 6, 4, 2 }) {
        QColor c = m_glow;
        c.setAlphaF(width == 6 ? 0.18 : width == 4 ? 0.35 : 0.7);
        p.strokePath(path, QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    p.setPen(m_colour);
    p.drawText(QPointF(x, y), shown);
}

} // namespace tunelix::skin
