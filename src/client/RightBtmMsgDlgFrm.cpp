#include "client/RightBtmMsgDlgFrm.h"

#include "skin/Artwork.h"

#include <QLabel>

namespace tunelix::client {

namespace {

QLabel *fixedLabel(QWidget *parent, int left, int top, int width, const QString &text)
{
    auto *label = new QLabel(text, parent);
    // 13 is the design's line height; CJK glyphs need a little more to stay whole.
    label->setGeometry(left, top, width, 16);
    label->setFont(skin::uiFont(11));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(pal);
    return label;
}

} // namespace

TRightBtmMsgDlgFrm::TRightBtmMsgDlgFrm(ProgramFolder folder, QWidget *parent)
    : TDlgPopupFrm(std::move(folder), parent)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setClientSize(217, 127); // centre band 92 high
    setHideAnimation(false);
    setWindowTitle(QStringLiteral("Tunelix-Mobri"));
    setCaptionText(windowTitle());

    lblPlay = fixedLabel(CenterMiddle, 8, 8, 65, QStringLiteral("播放："));
    lblPlayFilename = fixedLabel(CenterMiddle, 8, 24, 201, QStringLiteral("停止"));
    lblDownload = fixedLabel(CenterMiddle, 8, 48, 89, QStringLiteral("下载："));
    lblDownLoadFileName = fixedLabel(CenterMiddle, 8, 64, 201, QStringLiteral("停止"));
}

void TRightBtmMsgDlgFrm::setPlayFileName(const QString &name)
{
    lblPlayFilename->setText(name);
    emit statusChanged();
}

void TRightBtmMsgDlgFrm::setDownloadFileName(const QString &name)
{
    lblDownLoadFileName->setText(name);
    emit statusChanged();
}

} // namespace tunelix::client
