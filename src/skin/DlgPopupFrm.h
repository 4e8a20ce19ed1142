#pragma once

#include "skin/BaseFrm.h"
#include "skin/PopupAnimator.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace tunelix::skin {

// Where a popup of `windowSize` sits in the bottom-right corner of `workArea` (the
// desktop without the task bar): left = width - window width, top = height - window
// height, counted from the work area's own origin so that a task bar on the left or
// top, or a second screen, does not push the popup off its place.
QPoint bottomRightPosition(const QRect &workArea, const QSize &windowSize);

// A skinned window that places itself at the bottom-right corner of the work area
// when shown and fades in over 1000 ms; closing it fades it out over 1000 ms and then
// hides it (derived windows may switch the hide animation off). GUI thread only.
class TDlgPopupFrm : public TBaseFrm
{
    Q_OBJECT
public:
    explicit TDlgPopupFrm(ProgramFolder folder, QWidget *parent = nullptr);

    // Loads the frame pictures, then places the window. The window is placed also
    // when a picture is missing; the error then leaves this handler.
    void FormShow() override;

    void setHideAnimation(bool on) { m_hideAnimation = on; }
    bool hideAnimation() const { return m_hideAnimation; }
    PopupAnimator *seAnimationForm1() const { return m_animator; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void placeAtBottomRight();

    PopupAnimator *m_animator;
    bool m_hideAnimation = true;
};

} // namespace tunelix::skin
