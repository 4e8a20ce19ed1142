#include "transfer/DownloadQueue.h"

#include "catalogue/TxDataModule.h"
#include "extlib/LinkCodec.h"
#include "transfer/TransmitManager.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tunelix::transfer {

QList<QByteArray> decodedAddresses(const catalogue::CatalogueRow &row)
{
    QList<QByteArray> out;
    const QByteArray key = extlib::linkKey(row.fileId);
    for (const QString &link : row.webLinks) {
        if (link.trimmed().isEmpty())
            continue;
        char buffer[extlib::kHashDecodeBufferSize] = {};
        const QByteArray stored = link.toLatin1();
        extlib::HashDecode(stored.constData(), key.constData(), buffer);
        out.append(QByteArray(buffer, qstrnlen(buffer, sizeof buffer)).trimmed());
    }
    return out;
}

std::shared_ptr<TTransmitManager> startDownload(TransferEngine &engine, const catalogue::CatalogueRow &row,
                                                const QString &ringFolder)
{
    const std::optional<QString> path = ringFilePath(ringFolder, row.fileName);
    if (!path)
        return nullptr;
    auto manager = std::make_shared<TTransmitManager>(engine);
    manager->FileName = row.fileName;
    manager->FileMD5Code = row.md5Code;
    manager->Filesize = static_cast<std::uint32_t>(row.fileSize.value_or(0));
    // Current from here on: a failure below leaves a manager the inactivity time-out releases.
    engine.setTheTransmitManager(manager);
    const QString mapPath = *path + QStringLiteral(".map");
    QString loadPath = mapPath;
    if (!QFileInfo::exists(mapPath))
        loadPath = manager->CreateDownloadMap(*path, manager->Filesize, kSegmentSize, manager->FileMD5Code);
    manager->LoadDownloadMap(loadPath);
    for (const QByteArray &address : decodedAddresses(row))
        manager->addUrl(address);
    return manager;
}

DownloadQueue::DownloadQueue(TransferEngine &engine, catalogue::TTxDataModule &data, QString ringFolder,
                             std::atomic<bool> &playingNow, std::atomic<bool> &autoDownloadOn,
                             DownloadQueueHost &host, QObject *parent)
    : QObject(parent), m_engine(engine), m_data(data), m_ringFolder(std::move(ringFolder)),
      PlayingNow(playingNow), AutoDownloadOn(autoDownloadOn), m_host(host)
{
    qRegisterMetaType<DownloadProgress>();
    qRegisterMetaType<DownloadOutcome>();
    // Raised on the manager thread: only a queued call leaves it, nothing waits.
    m_engine.DownloadCompleted = [this](const QString &md5, std::uint64_t generation) {
        QMetaObject::invokeMethod(this, [this, md5, generation] { onEngineCompleted(md5, generation); },
                                  Qt::QueuedConnection);
    };
    m_engine.ManagerReleased = [this](std::uint64_t generation, DownloadOutcome outcome) {
        QMetaObject::invokeMethod(this, [this, generation, outcome] { onEngineReleased(generation, outcome); },
                                  Qt::QueuedConnection);
    };
    m_progressTimer.setInterval(250);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] {
        if (m_engine.TheTransmitManager())
            emit progressChanged(progress());
        else
            m_progressTimer.stop();
    });
    m_engine.startManagerThread();
}

DownloadQueue::~DownloadQueue()
{
    shutdown();
    m_engine.DownloadCompleted = nullptr;
    m_engine.ManagerReleased = nullptr;
}

void DownloadQueue::StartNextDownload(const QString &fileIdText)
{
    if (QCoreApplication::closingDown() || m_engine.TheTransmitManager())
        return;
    bool ok = false;
    const qint32 fileId = fileIdText.trimmed().toInt(&ok);
    if (!ok)
        throw std::invalid_argument("not a FileID: " + fileIdText.toStdString());
    const std::vector<catalogue::CatalogueRow> rows = m_data.rowsAtOrBelow(fileId, 2);
    const catalogue::CatalogueRow *found = nullptr;
    for (const catalogue::CatalogueRow &row : rows) {
        const std::optional<QString> path = ringFilePath(m_ringFolder, row.fileName);
        // A name that would leave Ring/ is skipped like a file that is there.
        if (path && !QFileInfo(*path).isFile()) {
            found = &row;
            break;
        }
        if (!AutoDownloadOn.load())
            break;
    }
    if (!found)
        return;
    const auto manager = startDownload(m_engine, *found, m_ringFolder);
    if (!manager)
        return;
    m_currentName = found->fileName;
    m_currentGeneration = manager->generation();
    emit downloadStarted(m_currentName);
    m_progressTimer.start();
}

void DownloadQueue::NextFileTimerTimer()
{
    try {
        if (AutoDownloadOn.load() && m_host.viewHasRows())
            StartNextDownload(QString::number(m_host.currentFileId()));
    } catch (...) {
    }
}

void DownloadQueue::DownloadCompleted(const QString &md5)
{
    try {
        m_data.markDownloaded(md5);
        emit downloadFinished(m_currentName, md5);
        if (!PlayingNow.load())
            m_host.PlayCurrentFile();
        AutoDownloadOn = m_host.autoDownloadChecked();
    } catch (...) {
    }
}

void DownloadQueue::onEngineCompleted(const QString &md5, std::uint64_t)
{
    // The file is verified and in place whichever download it was: mark its rows.
    DownloadCompleted(md5);
}

void DownloadQueue::onEngineReleased(std::uint64_t generation, DownloadOutcome outcome)
{
    if (generation == m_currentGeneration) {
        emit progressChanged(progress());
        emit downloadEnded(m_currentName, outcome);
    }
}

void DownloadQueue::stopTransfer()
{
    const auto manager = m_engine.TheTransmitManager();
    m_engine.HttpThreadList.abortAll(false);
    m_engine.releaseManager(manager, DownloadOutcome::Stopped);
}

void DownloadQueue::shutdown()
{
    m_progressTimer.stop();
    m_engine.shutdown();
}

DownloadProgress DownloadQueue::progress() const
{
    DownloadProgress p;
    const auto manager = m_engine.TheTransmitManager();
    if (!manager)
        return p;
    p.fileName = manager->FileName;
    p.bytesDone = manager->bytesDone();
    p.fileSize = manager->Filesize;
    p.generation = manager->generation();
    p.workers = m_engine.HttpThreadList.Count(manager->generation());
    return p;
}

} // namespace tunelix::transfer
