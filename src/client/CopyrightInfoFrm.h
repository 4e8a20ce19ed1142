#pragma once

#include "skin/BaseFrm.h"

class QLabel;

namespace tunelix::skin {
class PictureButton;
} // namespace tunelix::skin

namespace tunelix::client {

// The client's about window: the logo and three lines of text, centred on the
// desktop and above other windows. GUI thread only.
class TCopyrightInfoFrm : public skin::TBaseFrm
{
    Q_OBJECT
public:
    explicit TCopyrightInfoFrm(ProgramFolder folder, QWidget *parent = nullptr);

    // Loads the frame pictures, then centres the window (also when a picture is missing).
    void FormShow() override;
    void BtnCloseClick(QObject *Sender);

    skin::PictureButton *BtnClose;
    QLabel *sePngImageView1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
};

} // namespace tunelix::client
