#pragma once

#include <QPixmap>
#include <QPoint>
#include <QSize>
#include <QWidget>

#include <array>
#include <cstdint>

namespace tunelix::client {

// The song window's seek slider: horizontal, drawn from one skin picture that holds
// the track and the thumb. The track rectangle (left, top, right, bottom in the
// picture) is drawn across the slider's width with `border` pixels at each end kept
// unstretched; the thumb comes from its own place in the picture for the normal,
// pressed and highlighted (pointer over it) states. Min, Max and Position are 16-bit.
// Without a picture it draws a plain track and thumb. GUI thread only.
class SeekSlider : public QWidget
{
    Q_OBJECT
public:
    using SmallRect = std::array<std::int16_t, 4>;

    explicit SeekSlider(QWidget *parent = nullptr);

    void setMin(std::int16_t value);
    void setMax(std::int16_t value);
    void setPosition(std::int16_t value); // kept within Min..Max
    std::int16_t min() const { return m_min; }
    std::int16_t max() const { return m_max; }
    std::int16_t position() const { return m_position; }

    // Reads the skin picture; a ".png" name is read as PNG, any other as a bitmap.
    // Throws std::runtime_error naming the file when it cannot be read (the slider then
    // keeps drawing without a picture).
    void loadSkinPicture(const QString &path);
    bool hasSkinPicture() const { return !m_picture.isNull(); }

    void setThumbOrigins(QPoint normal, QPoint pressed, QPoint highlighted);
    void setThumbSize(QSize size)
    {
        m_thumbSize = size;
        update();
    }
    void setTrackRects(const SmallRect &first, const SmallRect &second);
    void setBorder(int pixels)
    {
        m_border = pixels;
        update();
    }

signals:
    // Any mouse button pressed at `x` pixels from the slider's left edge.
    void mouseDown(Qt::MouseButton button, int x);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QRect thumbRect() const;
    void drawTrack(class QPainter &p, const SmallRect &source, int right) const;

    QPixmap m_picture;
    std::int16_t m_min = 0;
    std::int16_t m_max = 100;
    std::int16_t m_position = 0;
    QPoint m_normal, m_pressedOrigin, m_highlighted;
    QSize m_thumbSize { 11, 12 };
    SmallRect m_track { 0, 0, 0, 0 };
    SmallRect m_trackDone { 0, 0, 0, 0 };
    int m_border = 0;
    bool m_pressed = false;
    bool m_hover = false;
};

} // namespace tunelix::client
