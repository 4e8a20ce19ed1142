#include "client/CopyrightInfoFrm.h"

#include "skin/Artwork.h"
#include "skin/PictureButton.h"

#include <QLabel>

namespace tunelix::client {

TCopyrightInfoFrm::TCopyrightInfoFrm(ProgramFolder folder, QWidget *parent)
    : TBaseFrm(std::move(folder), parent)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowTitle(QStringLiteral("About-Tunelix"));
    setClientSize(247, 118); // centre band 83 high

    setCaptionText(windowTitle());

    BtnClose = new skin::PictureButton(TopMiddle);
    BtnClose->setFaces(skin::artwork(QStringLiteral("btnClose-normal")), skin::artwork(QStringLiteral("btnClose-hot")),
        skin::artwork(QStringLiteral("btnClose-pressed")));
    BtnClose->setGeometry(200, 1, 37, 17);
    connect(BtnClose, &skin::PictureButton::clicked, this, [this] { BtnCloseClick(BtnClose); });

    sePngImageView1 = new QLabel(CenterMiddle);
    sePngImageView1->setGeometry(16, 16, 36, 36);
    sePngImageView1->setPixmap(skin::artwork(QStringLiteral("logo")));

    auto line = [this](int top, const QString &text) {
        auto *label = new QLabel(text, CenterMiddle);
        label->setGeometry(64, top, 177, 16);
        label->setFont(skin::uiFont(11));
        return label;
    };
    Label2 = line(12, QStringLiteral("无需安装，双击即可试听"));
    Label3 = line(28, QStringLiteral("试听完成请删除试听文件"));
    Label4 = line(44, QStringLiteral("如果喜欢音乐请支持正版"));
}

void TCopyrightInfoFrm::FormShow()
{
    try {
        TBaseFrm::FormShow();
    } catch (...) {
        skin::moveToDesktopCentre(*this);
        throw;
    }
    skin::moveToDesktopCentre(*this);
}

void TCopyrightInfoFrm::BtnCloseClick(QObject *) { close(); }

} // namespace tunelix::client
