#pragma once

#include <QColor>
#include <QWidget>

namespace tunelix::skin {

// A text with a soft halo in its glow colour around the letters. With auto size on,
// the label takes the size of its text. It leaves mouse presses to its parent, so a
// drag-to-move panel under it still drags. GUI thread only.
class GlowLabel : public QWidget
{
    Q_OBJECT
public:
    explicit GlowLabel(const QString &text = {}, QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_text; }

    void setTextColour(const QColor &colour);
    void setGlowColour(const QColor &colour);
    QColor glowColour() const { return m_glow; }
    void setAutoSize(bool on);
    void setAlignment(Qt::Alignment alignment);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void fitToText();

    QString m_text;
    QColor m_colour = Qt::black;
    QColor m_glow = Qt::white;
    bool m_autoSize = false;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

} // namespace tunelix::skin
