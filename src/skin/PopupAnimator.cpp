#include "skin/PopupAnimator.h"

#include <QWidget>

namespace tunelix::skin {

PopupAnimator::PopupAnimator(QWidget *window)
    : QObject(window)
    , m_window(window)
    , m_animation(window, QByteArrayLiteral("windowOpacity"))
{
    m_animation.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_animation, &QPropertyAnimation::finished, this, [this] {
        if (m_hiding) {
            m_hiding = false;
            m_window->hide();
            m_window->setWindowOpacity(1.0);
        }
    });
}

void PopupAnimator::setDuration(int ms) { m_duration = ms; }

void PopupAnimator::playShow()
{
    m_animation.stop();
    m_hiding = false;
    if (m_duration <= 0) {
        m_window->setWindowOpacity(1.0);
        return;
    }
    m_animation.setDuration(m_duration);
    m_animation.setStartValue(0.0);
    m_animation.setEndValue(1.0);
    m_window->setWindowOpacity(0.0);
    m_animation.start();
}

void PopupAnimator::playHideThenHide()
{
    if (m_hiding)
        return;
    m_animation.stop();
    if (m_duration <= 0 || !m_window->isVisible()) {
        m_window->hide();
        m_window->setWindowOpacity(1.0);
        return;
    }
    m_hiding = true;
    m_animation.setDuration(m_duration);
    m_animation.setStartValue(m_window->windowOpacity());
    m_animation.setEndValue(0.0);
    m_animation.start();
}

} // namespace tunelix::skin
