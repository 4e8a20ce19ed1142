#include "skin/DlgPopupFrm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

namespace tunelix::skin {

QPoint bottomRightPosition(const QRect &workArea, const QSize &windowSize)
{
    return { workArea.x() + workArea.width() - windowSize.width(),
        workArea.y() + workArea.height() - windowSize.height() };
}

TDlgPopupFrm::TDlgPopupFrm(ProgramFolder folder, QWidget *parent)
    : TBaseFrm(std::move(folder), parent)
    , m_animator(new PopupAnimator(this))
{
    setClientSize(217, 148); // centre band 113 high
}

void TDlgPopupFrm::placeAtBottomRight()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    move(bottomRightPosition(screen->availableGeometry(), size()));
}

void TDlgPopupFrm::FormShow()
{
    try {
        TBaseFrm::FormShow();
    } catch (...) {
        placeAtBottomRight();
        throw;
    }
    placeAtBottomRight();
}

void TDlgPopupFrm::showEvent(QShowEvent *event)
{
    TBaseFrm::showEvent(event);
    if (!event->spontaneous())
        m_animator->playShow();
}

void TDlgPopupFrm::closeEvent(QCloseEvent *event)
{
    if (!m_hideAnimation || m_animator->duration() <= 0) {
        event->accept();
        return;
    }
    // The window stays on screen while it fades, then hides.
    event->ignore();
    m_animator->playHideThenHide();
}

} // namespace tunelix::skin
