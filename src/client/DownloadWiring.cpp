#include "client/DownloadWiring.h"

#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "client/MainFrm.h"
#include "client/RightBtmMsgDlgFrm.h"
#include "skin/CheckPictureButton.h"
#include "skin/GlowLabel.h"

#include <QLabel>

namespace tunelix::client {

namespace {

QString progressText(const transfer::DownloadProgress &p)
{
    return QStringLiteral("%1% (%2 / %3 KB)")
        .arg(p.percent())
        .arg(p.bytesDone / 1024)
        .arg(p.fileSize / 1024);
}

} // namespace

DownloadWiring::DownloadWiring(ClientContext &context, catalogue::TTxDataModule &data, TmainFrm &window)
    : m_context(context), m_data(data), m_window(window)
{
}

DownloadWiring::~DownloadWiring()
{
    if (m_queue)
        m_queue->shutdown();
}

void DownloadWiring::install()
{
    TmainFrmHooks &h = m_window.hooks;
    h.createTransferEngine = [this] { createQueue(); };
    h.releaseTransmitManager = [this] {
        if (m_queue)
            m_queue->stopTransfer();
    };
    h.StartNextDownload = [this](const QString &fileId) {
        if (m_queue)
            m_queue->StartNextDownload(fileId);
    };
    h.NextFileTimerTimer = [this] {
        if (m_queue)
            m_queue->NextFileTimerTimer();
    };
    h.StopTransfer = [this] { m_context.transferEngine.HttpThreadList.abortAll(true); };
    h.stopTransferEngine = [this] {
        if (m_queue)
            m_queue->shutdown();
    };
}

void DownloadWiring::createQueue()
{
    m_queue = std::make_unique<transfer::DownloadQueue>(m_context.transferEngine, m_data, m_context.RingFolder,
                                                         m_context.PlayingNow, m_context.AutoDownloadOn, *this);
    TmainFrm *w = &m_window;
    QObject::connect(m_queue.get(), &transfer::DownloadQueue::downloadStarted, w, [w](const QString &name) {
        w->DownFileLbl->setText(QStringLiteral("Download-") + name);
        w->DownFileLbl->setToolTip(QString());
        w->DownFileLbl->show();
        if (TRightBtmMsgDlgFrm *popup = w->statusPopup())
            popup->setDownloadFileName(name);
    });
    QObject::connect(m_queue.get(), &transfer::DownloadQueue::downloadFinished, w, [w] {
        w->DownFileLbl->hide();
        w->DownFileLbl->setToolTip(QString());
        w->setDownloadProgress(QString());
        if (TRightBtmMsgDlgFrm *popup = w->statusPopup()) {
            popup->setDownloadFileName(QString());
            popup->lblDownLoadFileName->setToolTip(QString());
        }
    });
    // How far the download is, without touching the captions: in the tool tips.
    QObject::connect(m_queue.get(), &transfer::DownloadQueue::progressChanged, w,
                     [w](const transfer::DownloadProgress &p) {
                         const QString text = progressText(p);
                         w->DownFileLbl->setToolTip(text);
                         w->setDownloadProgress(text);
                         if (TRightBtmMsgDlgFrm *popup = w->statusPopup())
                             popup->lblDownLoadFileName->setToolTip(text);
                     });
}

bool DownloadWiring::viewHasRows()
{
    return !m_data.qry1()->isEmpty();
}

qint32 DownloadWiring::currentFileId()
{
    const catalogue::ViewRow *row = m_data.qry1()->current();
    return row ? row->fileId : 0;
}

bool DownloadWiring::autoDownloadChecked()
{
    return m_window.seBtnAutoDownload->isChecked();
}

void DownloadWiring::PlayCurrentFile()
{
    m_window.PlayCurrentFile();
}

} // namespace tunelix::client
