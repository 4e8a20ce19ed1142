#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QVariantAnimation>

namespace tunelix::skin {

// A picture button with three faces: normal, hot (pointer over it) and pressed.
// The change from one face to the next fades over fadeDuration() ms (100 by
// default; 0 switches at once). A face without a picture falls back to the normal one.
// Clicks arrive through QAbstractButton::clicked. GUI thread only.
class PictureButton : public QAbstractButton
{
    Q_OBJECT
public:
    enum Face { Normal, Hot, Pressed };

    explicit PictureButton(QWidget *parent = nullptr);

    void setFaces(const QPixmap &normal, const QPixmap &hot, const QPixmap &pressed);
    void setFadeDuration(int ms) { m_fade.setDuration(ms); }
    int fadeDuration() const { return m_fade.duration(); }

    // The face the button shows now (the one it fades towards).
    Face face() const { return m_face; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    Face wantedFace() const;
    void updateFace();
    const QPixmap &picture(Face face) const;

    QPixmap m_faces[3];
    Face m_face = Normal;
    Face m_previous = Normal;
    bool m_hover = false;
    QVariantAnimation m_fade;
};

} // namespace tunelix::skin
