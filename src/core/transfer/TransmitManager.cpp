#include "transfer/TransmitManager.h"

#include "extlib/Md5.h"
#include "transfer/HttpDownload.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace tunelix::transfer {

using Lock = std::lock_guard<std::recursive_mutex>;

bool secondAssignmentAllowed(const TDownloadMap &map, int endGameLimit)
{
    return map.IncompleteCount() < endGameLimit && map.AllInUse();
}

QList<QByteArray> splitResolvedAddresses(const QByteArray &resolved)
{
    QList<QByteArray> out;
    if (!resolved.toLower().contains("http://"))
        return out;
    QByteArray rest = resolved;
    for (;;) {
        rest = rest.mid(7); // its leading http://
        const qsizetype next = rest.toLower().indexOf("http://");
        out.append(QByteArrayLiteral("http://") + (next < 0 ? rest : rest.left(next)));
        if (next < 0)
            break;
        rest = rest.mid(next);
    }
    return out;
}

bool isDirectFileAddress(const QByteArray &address)
{
    return address.toLower().contains(".mp3");
}

std::optional<QString> ringFilePath(const QString &ringFolder, const QString &fileName)
{
    if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String("..")
        || fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\'))
        || fileName.contains(QChar(0)) || QDir::isAbsolutePath(fileName))
        return std::nullopt;
    QString root = QDir::cleanPath(ringFolder);
    const QString path = QDir::cleanPath(root + QLatin1Char('/') + fileName);
    if (!path.startsWith(root + QLatin1Char('/')))
        return std::nullopt;
    return path;
}

void replaceFile(const QString &path, const QByteArray &content)
{
    // Written beside and renamed into place, so a crash at any moment leaves the old
    // map or the new one. No fsync: it would cost more than a segment's transfer on a
    // fast mirror, and a lost map only means segments are fetched again.
    const QString beside = path + QStringLiteral(".new");
    QFile file(beside);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot create " + beside.toStdString());
    if (file.write(content) != content.size() || !file.flush()) {
        file.close();
        QFile::remove(beside);
        throw std::runtime_error("cannot write " + beside.toStdString());
    }
    file.close();
    if (std::rename(QFile::encodeName(beside).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(beside);
        throw std::runtime_error("cannot replace " + path.toStdString());
    }
}

TTransmitManager::TTransmitManager(TransferEngine &engine)
    : m_engine(engine), m_generation(engine.newGeneration()), FLastActiveTick(engine.now())
{
}

TTransmitManager::~TTransmitManager() = default;

TDownloadMap TTransmitManager::mapSnapshot() const
{
    Lock lock(m_engine.TransferLock);
    return m_map;
}

bool TTransmitManager::mapAllCompleted() const
{
    Lock lock(m_engine.TransferLock);
    return m_map.AllCompleted();
}

void TTransmitManager::layOutAndSave(const QString &mapPath, std::uint32_t size, std::uint32_t segmentSize,
                                     const QString &md5)
{
    TDownloadMap fresh;
    layOutDownloadMap(fresh, size, segmentSize, md5);
    replaceFile(mapPath, TTextComponentStreamer::toText(fresh));
}

QString TTransmitManager::CreateDownloadMap(const QString &path, std::uint32_t size, std::uint32_t segmentSize,
                                            const QString &md5)
{
    FilePath = path;
    QString p = path;
    p.remove(QStringLiteral(".data"), Qt::CaseInsensitive);
    FDataFileName = p + QStringLiteral(".data");
    FMapFileName = p + QStringLiteral(".map");
    // The folder must exist; nothing here changes the process's current folder.
    if (!QFileInfo(QFileInfo(FMapFileName).absolutePath()).isDir())
        throw std::runtime_error("the map's folder does not exist");
    layOutAndSave(FMapFileName, size, segmentSize, md5);
    return FMapFileName;
}

void TTransmitManager::discardFiles()
{
    QFile::remove(FMapFileName);
    QFile::remove(FDataFileName);
}

void TTransmitManager::LoadDownloadMap(const QString &mapPath)
{
    if (m_active)
        return;
    Lock lock(m_engine.TransferLock);
    if (m_released)
        return;
    try {
        FMapFileName = mapPath;
        const QFileInfo info(mapPath);
        FDataFileName = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".data");
        if (!QFileInfo(info.absolutePath()).isDir())
            return;

        TDownloadMap loaded;
        bool usable = false;
        {
            QFile file(mapPath);
            if (file.open(QIODevice::ReadOnly)) {
                try {
                    TTextComponentStreamer().LoadComponent(file, loaded);
                    usable = loaded.Size == Filesize && loaded.FileMD5Code == FileMD5Code;
                } catch (const MapFormatError &) {
                    usable = false;
                }
            }
        }
        if (!usable) {
            // A map that does not read, or that belongs to another version of the file,
            // would block the file for ever: start again from scratch.
            discardFiles();
            layOutAndSave(mapPath, Filesize, kSegmentSize, FileMD5Code);
            loaded = TDownloadMap();
            QFile file(mapPath);
            if (!file.open(QIODevice::ReadOnly))
                return;
            TTextComponentStreamer().LoadComponent(file, loaded);
        }

        auto data = std::make_unique<QFile>(FDataFileName);
        // Unbuffered: every write reaches the file before the map records it.
        if (!data->open(QIODevice::ReadWrite | QIODevice::Unbuffered))
            return;
        m_map = std::move(loaded);
        FDataStream = std::move(data);
        recountProgress();
        m_active = true;
    } catch (...) {
        // The manager stays inactive; the inactivity time-out releases it.
    }
}

void TTransmitManager::recountProgress()
{
    m_bytesDone = m_map.BytesDone();
    m_segmentCount = m_map.Segments().Count();
}

void TTransmitManager::SaveDownloadMap()
{
    QBuffer text;
    text.open(QIODevice::ReadWrite);
    TTextComponentStreamer().SaveComponent(m_map, text);
    replaceFile(FMapFileName, text.data());
}

std::optional<int> TTransmitManager::GetFreeSegment()
{
    Lock lock(m_engine.TransferLock);
    if (!m_active || m_released)
        return std::nullopt;
    const bool second = secondAssignmentAllowed(m_map, FEndGameLimit);
    for (int i = 0; i < m_map.Segments().Count(); ++i) {
        const TSegment &s = m_map.Segments().Items(i);
        if (!s.Completed && (!s.InUse || second))
            return i;
    }
    if (m_engine.settings().endGameTakeOver)
        return takeOverCandidate();
    return std::nullopt;
}

std::optional<int> TTransmitManager::takeOverCandidate() const
{
    std::optional<int> best;
    std::uint32_t most = 0;
    for (int i = 0; i < m_map.Segments().Count(); ++i) {
        const TSegment &s = m_map.Segments().Items(i);
        const bool taken = std::size_t(i) < m_takenOver.size() && m_takenOver[std::size_t(i)];
        if (!s.Completed && s.InUse && !taken && s.SegmentEnd - s.SegmentStart > most) {
            most = s.SegmentEnd - s.SegmentStart;
            best = i;
        }
    }
    return best;
}

bool TTransmitManager::AssignSegment(int position)
{
    Lock lock(m_engine.TransferLock);
    try {
        if (m_released || position < 0 || position >= m_map.Segments().Count())
            return false;
        TSegment &s = m_map.Segments().Items(position);
        if (!s.InUse || secondAssignmentAllowed(m_map, FEndGameLimit)) {
            s.InUse = true;
            return true;
        }
        if (m_engine.settings().endGameTakeOver && takeOverCandidate() == position) {
            m_takenOver.resize(std::size_t(m_map.Segments().Count()));
            m_takenOver[std::size_t(position)] = true;
            return true;
        }
    } catch (...) {
    }
    return false;
}

std::optional<SegmentRange> TTransmitManager::segmentRange(int position) const
{
    Lock lock(m_engine.TransferLock);
    if (position < 0 || position >= m_map.Segments().Count())
        return std::nullopt;
    const TSegment &s = m_map.Segments().Items(position);
    return SegmentRange{s.SegmentStart, s.SegmentEnd, s.SegmentMD5, s.Completed};
}

std::uint32_t TTransmitManager::WriteSegmentData(int position, const char *buffer, std::uint32_t count,
                                                 std::uint32_t offset)
{
    Lock lock(m_engine.TransferLock);
    if (m_released || !FDataStream || position < 0 || position >= m_map.Segments().Count())
        return 0;
    const TSegment &s = m_map.Segments().Items(position);
    if (s.Completed)
        return 0;
    if (std::uint64_t(offset) + count > m_map.Size)
        return 0;
    // Only the segment's own bytes: the inclusive range brings one byte of the next.
    if (offset < s.SegmentBegin || offset >= s.SegmentEnd)
        return 0;
    const std::uint32_t n = std::min<std::uint32_t>(count, s.SegmentEnd - offset);
    if (!FDataStream->seek(offset) || FDataStream->write(buffer, n) != qint64(n))
        return 0;
    return n;
}

void TTransmitManager::UpdateSegment(int position, std::uint32_t offset, std::uint32_t written,
                                     const QString &expectedMd5)
{
    Lock lock(m_engine.TransferLock);
    if (m_released || position < 0 || position >= m_map.Segments().Count())
        return;
    TSegment &s = m_map.Segments().Items(position);
    if (s.Completed)
        return;
    struct ClearInUse {
        TSegment &s;
        ~ClearInUse() { s.InUse = false; }
    } clear{s};
    if (written == 0)
        return;
    // Advance only over bytes that were written from SegmentStart on: a second worker's
    // reply that starts earlier or ends sooner never counts bytes twice.
    const std::uint64_t end = std::uint64_t(offset) + written;
    if (offset > s.SegmentStart || end <= s.SegmentStart)
        return;
    s.SegmentStart = static_cast<std::uint32_t>(std::min<std::uint64_t>(end, s.SegmentEnd));
    if (s.SegmentStart >= s.SegmentEnd) {
        if (!expectedMd5.trimmed().isEmpty() && GetSegmentMD5(position) != expectedMd5) {
            s.SegmentStart = s.SegmentBegin;
            s.SegmentMD5.clear();
            s.Completed = false;
        } else {
            s.SegmentStart = s.SegmentEnd;
            s.Completed = true;
            s.SegmentMD5 = expectedMd5;
            SaveDownloadMap();
            FLastActiveTick = m_engine.now();
        }
    }
    recountProgress();
}

QString TTransmitManager::GetSegmentMD5(int position)
{
    Lock lock(m_engine.TransferLock);
    const TSegment &s = m_map.Segments().Items(position);
    if (!FDataStream || !FDataStream->seek(s.SegmentBegin))
        return {};
    QByteArray bytes = FDataStream->read(qint64(s.SegmentEnd) - s.SegmentBegin);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return extlib::StreamMD5(buffer);
}

void TTransmitManager::CheckCompleted()
{
    Lock lock(m_engine.TransferLock);
    if (m_map.AllCompleted()) {
        AbortHttpThreads();
        FAllReceived = true;
    }
}

void TTransmitManager::CheckFinished()
{
    if (FAllReceived && m_engine.HttpThreadList.Count(m_generation) == 0)
        FinishDownload();
}

void TTransmitManager::FinishDownload()
{
    Lock lock(m_engine.TransferLock);
    if (!m_map.AllCompleted() || m_released || !FDataStream || FFinished)
        return;
    QString md5;
    try {
        md5 = extlib::StreamMD5(*FDataStream);
    } catch (...) {
    }
    FDataStream->close();
    FDataStream.reset();
    QString finalName = FDataFileName;
    finalName.chop(5); // ".data"
    if (!md5.isEmpty() && md5 == FileMD5Code) {
        // rename() replaces the target in one step.
        QFile::remove(finalName);
        QFile::rename(FDataFileName, finalName);
        QFile::remove(FMapFileName);
        m_outcome = DownloadOutcome::Completed;
        FFinished = true;
        if (m_engine.DownloadCompleted)
            m_engine.DownloadCompleted(FileMD5Code, m_generation);
    } else {
        QFile::remove(FDataFileName);
        QFile::remove(FMapFileName);
        m_outcome = DownloadOutcome::Md5Mismatch;
        FFinished = true;
    }
}

void TTransmitManager::AbortHttpThreads()
{
    m_engine.HttpThreadList.abortAll(true);
}

void TTransmitManager::StopTransfer()
{
    // Every worker, also one still probing, so that a stopped download stops now.
    m_engine.HttpThreadList.abortAll(false);
}

void TTransmitManager::addUrl(const QByteArray &url)
{
    std::lock_guard lock(m_urlMutex);
    FUrlList.append(url);
}

bool TTransmitManager::hasPendingUrls() const
{
    std::lock_guard lock(m_urlMutex);
    return !FUrlList.isEmpty();
}

QList<QByteArray> TTransmitManager::pendingUrls() const
{
    std::lock_guard lock(m_urlMutex);
    return FUrlList;
}

QList<QByteArray> TTransmitManager::startedAddresses() const
{
    std::lock_guard lock(m_urlMutex);
    return m_started;
}

void TTransmitManager::StartHttpThreads()
{
    QList<QByteArray> urls;
    {
        std::lock_guard lock(m_urlMutex);
        urls.swap(FUrlList);
    }
    for (const QByteArray &url : urls) {
        if (m_released)
            return;
        QList<QByteArray> addresses;
        if (isDirectFileAddress(url))
            addresses.append(url);
        else
            addresses = splitResolvedAddresses(m_engine.settings().parseWebLink(url));
        for (const QByteArray &address : addresses) {
            {
                std::lock_guard lock(m_urlMutex);
                m_started.append(address);
            }
            THttpDownload::Create(m_engine.HttpThreadList, shared_from_this(), address, m_engine.settings());
        }
    }
}

bool TTransmitManager::release(DownloadOutcome outcome)
{
    Lock lock(m_engine.TransferLock);
    if (m_released.exchange(true))
        return false;
    DownloadOutcome expected = DownloadOutcome::Running;
    m_outcome.compare_exchange_strong(expected, outcome);
    m_active = false;
    if (FDataStream) {
        FDataStream->close();
        FDataStream.reset();
    }
    return true;
}

} // namespace tunelix::transfer
