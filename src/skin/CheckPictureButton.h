#pragma once

#include <QPixmap>
#include <QWidget>

#include <functional>

namespace tunelix::skin {

// A check-able picture button: one picture when unchecked, another when checked, a
// lighter look under the pointer, and a hint (tool tip). A click toggles it.
// onCheckChange runs (and checkChanged is emitted after it) on every setChecked(),
// also when the program sets the state it has already: handlers that must run on each
// set rely on that. The handler runs at once, so it may set the state again from
// inside itself; an exception from it leaves setChecked() (a click shows it in the
// error box). GUI thread only.
class CheckPictureButton : public QWidget
{
    Q_OBJECT
public:
    explicit CheckPictureButton(QWidget *parent = nullptr);

    void setPictures(const QPixmap &unchecked, const QPixmap &checked);
    void setHint(const QString &hint) { setToolTip(hint); }

    bool isChecked() const { return m_checked; }
    void setChecked(bool checked);

    std::function<void(bool checked)> onCheckChange;

    QSize sizeHint() const override;

signals:
    void checkChanged(bool checked);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QPixmap m_unchecked;
    QPixmap m_checkedPicture;
    bool m_checked = false;
    bool m_hover = false;
    bool m_pressed = false;
};

} // namespace tunelix::skin
