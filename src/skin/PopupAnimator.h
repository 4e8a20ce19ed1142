#pragma once

#include <QObject>
#include <QPropertyAnimation>

class QWidget;

namespace tunelix::skin {

// The show and hide animation of a popup window: the window fades in (show) or out
// (hide) over duration() ms, 1000 by default. Where the platform cannot make windows
// translucent the window simply appears and disappears. GUI thread only.
class PopupAnimator : public QObject
{
    Q_OBJECT
public:
    explicit PopupAnimator(QWidget *window);

    void setDuration(int ms);
    int duration() const { return m_duration; }

    // Starts the show animation; call from the window's show event.
    void playShow();
    // Fades the window out and then hides it. Returns at once.
    void playHideThenHide();
    bool isHiding() const { return m_hiding; }

private:
    QWidget *m_window;
    QPropertyAnimation m_animation;
    int m_duration = 1000;
    bool m_hiding = false;
};

} // namespace tunelix::skin
