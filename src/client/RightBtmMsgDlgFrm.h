#pragma once

#include "skin/DlgPopupFrm.h"

class QLabel;

namespace tunelix::client {

// The client's status popup at the bottom right of the work area: the name of the
// file now playing and of the file now downloading. Its showing fades in; closing it
// hides it at once. The name labels keep their last text while it is hidden.
// GUI thread only: work of other threads reaches the setters through queued calls.
class TRightBtmMsgDlgFrm : public skin::TDlgPopupFrm
{
    Q_OBJECT
public:
    explicit TRightBtmMsgDlgFrm(ProgramFolder folder, QWidget *parent = nullptr);

    // PlayCurrentFile writes the shown name, StopPlaying the empty text.
    void setPlayFileName(const QString &name);
    // StartNextDownload writes the FileName value, DownloadCompleted the empty text.
    void setDownloadFileName(const QString &name);

    QLabel *lblPlay;
    QLabel *lblPlayFilename;
    QLabel *lblDownload;
    QLabel *lblDownLoadFileName;

signals:
    // One of the name labels changed (the tray's hint follows it).
    void statusChanged();
};

} // namespace tunelix::client
