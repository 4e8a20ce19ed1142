#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace tunelix::skin {

// A skin panel: its background picture tiled or stretched, or its plain colour where
// it has no picture (or an empty one). With drag-to-move on, pressing a mouse button
// on the panel (or on a child that leaves the press alone, such as a label) and
// moving the mouse moves the whole window. GUI thread only.
class SkinPanel : public QWidget
{
    Q_OBJECT
public:
    enum class DrawType { Tile, Stretch };

    explicit SkinPanel(QWidget *parent = nullptr);

    void setPicture(const QPixmap &picture);
    QPixmap picture() const { return m_picture; }
    bool hasPicture() const { return !m_picture.isNull(); }

    void setDrawType(DrawType type);
    DrawType drawType() const { return m_drawType; }

    void setPlainColour(const QColor &colour);
    QColor plainColour() const { return m_plainColour; }

    void setFormDrag(bool on) { m_formDrag = on; }
    bool formDrag() const { return m_formDrag; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
    DrawType m_drawType = DrawType::Stretch;
    QColor m_plainColour = Qt::white;
    bool m_formDrag = true;
    bool m_dragging = false;
    QPoint m_dragOffset; // pointer position relative to the window's top-left corner
};

} // namespace tunelix::skin
