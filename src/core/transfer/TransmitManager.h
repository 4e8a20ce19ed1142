#pragma once

#include "transfer/DownloadMap.h"
#include "transfer/TransferEngine.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace tunelix::transfer {

// What a worker needs to fetch a claimed segment, read under TransferLock.
struct SegmentRange
{
    std::uint32_t start = 0; // SegmentStart: first byte still missing
    std::uint32_t end = 0;   // SegmentEnd
    QString md5;             // SegmentMD5
    bool completed = false;
};

// The second-assignment rule: a claimed segment may be claimed again only while fewer
// than `endGameLimit` segments are incomplete and every segment is claimed.
bool secondAssignmentAllowed(const TDownloadMap &map, int endGameLimit);

// The direct addresses in a resolved link-page text: every "http://" (any letter case)
// starts one, written back to back without separator; each comes back with "http://"
// in small letters. A text without "http://" gives none.
QList<QByteArray> splitResolvedAddresses(const QByteArray &resolved);

// Whether an address names an ".mp3" directly (letter case ignored).
bool isDirectFileAddress(const QByteArray &address);

// The path of `fileName` in `ringFolder`, or none when the name would lead outside
// it (empty, absolute, a folder separator, "." or "..").
std::optional<QString> ringFilePath(const QString &ringFolder, const QString &fileName);

// Replaces the file at `path` with `content` atomically (written beside, renamed).
// Throws std::runtime_error.
void replaceFile(const QString &path, const QByteArray &content);

// Coordinates the download of one catalogue file: its map, its .map and .data files,
// the addresses not yet turned into workers. Shared ownership: the engine holds the
// current one, every worker holds its own, so a released manager stays valid but
// inert (released() is true; nothing reaches its files any more).
// Which thread calls what: see each operation; map, segment flags and the data file
// are guarded by the engine's TransferLock.
class TTransmitManager : public std::enable_shared_from_this<TTransmitManager>
{
public:
    explicit TTransmitManager(TransferEngine &engine);
    ~TTransmitManager();
    TTransmitManager(const TTransmitManager &) = delete;
    TTransmitManager &operator=(const TTransmitManager &) = delete;

    // Published properties, set by the GUI thread before the map is loaded.
    QString FileName;
    QString FileMD5Code;
    QString FilePath;            // given to CreateDownloadMap; empty when resumed
    std::uint32_t Filesize = 0;

    bool Active() const { return m_active.load(); }
    bool AllReceived() const { return FAllReceived.load(); }
    bool Finished() const { return FFinished.load(); }
    bool released() const { return m_released.load(); }
    DownloadOutcome outcome() const { return m_outcome.load(); }
    std::uint64_t generation() const { return m_generation; }
    std::uint32_t LastActiveTick() const { return FLastActiveTick.load(); }
    // Bytes in the partial file so far (progress; any thread, no lock).
    std::uint64_t bytesDone() const { return m_bytesDone.load(); }
    int segmentCount() const { return m_segmentCount.load(); }

    // A copy of the map (tests, tools); takes TransferLock.
    TDownloadMap mapSnapshot() const;
    // AllCompleted of the map, under TransferLock.
    bool mapAllCompleted() const;
    // Direct access for tests that set up segment flags; hold TransferLock.
    TDownloadMap &DownloadMap() { return m_map; }

    QString mapFileName() const { return FMapFileName; }
    QString dataFileName() const { return FDataFileName; }

    // GUI thread. Lays out a fresh map for `path` (".data" removed from it) and writes
    // it to path + ".map" (replaced atomically). Returns the map path. Throws on error.
    QString CreateDownloadMap(const QString &path, std::uint32_t size, std::uint32_t segmentSize,
                              const QString &md5);
    // GUI thread. Reads the map and opens the .data file (created when missing); then
    // Active. A map that does not read, or whose Size or FileMD5Code differ from this
    // manager's Filesize and FileMD5Code, is discarded with its .data file and a fresh
    // map is laid out in its place. Any other failure leaves the manager inactive.
    void LoadDownloadMap(const QString &mapPath);

    // Workers (under TransferLock inside).
    std::optional<int> GetFreeSegment();
    bool AssignSegment(int position);
    std::optional<SegmentRange> segmentRange(int position) const;
    // Writes the bytes of the segment at `offset` into the .data file, only the part
    // that lies inside the segment and never past the map's Size; nothing when the
    // segment is Completed or the manager released. Returns the bytes written.
    std::uint32_t WriteSegmentData(int position, const char *buffer, std::uint32_t count, std::uint32_t offset);
    // Records `written` bytes written at `offset`: SegmentStart advances only to the
    // end of bytes actually written from it; a full segment is checked against
    // `expectedMd5` (when not blank) and completed, the map file rewritten. InUse is
    // cleared in every case.
    void UpdateSegment(int position, std::uint32_t offset, std::uint32_t written, const QString &expectedMd5);
    QString GetSegmentMD5(int position);

    // Manager thread.
    void CheckCompleted();
    void CheckFinished();
    void FinishDownload();
    void StartHttpThreads();
    // Any thread; uses nothing of this manager's own state.
    void AbortHttpThreads();
    void StopTransfer();

    // GUI thread: an address for StartHttpThreads (under the list's own lock, so no
    // address is lost or started twice).
    void addUrl(const QByteArray &url);
    bool hasPendingUrls() const;
    QList<QByteArray> pendingUrls() const;

    // Engine: closes the files and records the outcome; true the first time only.
    bool release(DownloadOutcome outcome);

    // Workers started so far (tests).
    QList<QByteArray> startedAddresses() const;

    static constexpr int FEndGameLimit = 10;

private:
    void SaveDownloadMap();
    std::optional<int> takeOverCandidate() const;
    void recountProgress();
    void discardFiles();
    void layOutAndSave(const QString &mapPath, std::uint32_t size, std::uint32_t segmentSize, const QString &md5);

    TransferEngine &m_engine;
    const std::uint64_t m_generation;

    TDownloadMap m_map;                 // TransferLock
    QString FMapFileName;
    QString FDataFileName;
    std::unique_ptr<QFile> FDataStream; // TransferLock

    std::atomic<bool> m_active{false};
    std::atomic<bool> FAllReceived{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> m_released{false};
    std::atomic<DownloadOutcome> m_outcome{DownloadOutcome::Running};
    std::atomic<std::uint32_t> FLastActiveTick;
    std::atomic<std::uint64_t> m_bytesDone{0};
    std::atomic<int> m_segmentCount{0};

    mutable std::mutex m_urlMutex;
    QList<QByteArray> FUrlList;         // m_urlMutex
    QList<QByteArray> m_started;        // m_urlMutex
    std::vector<bool> m_takenOver;      // TransferLock; endGameTakeOver only
};

} // namespace tunelix::transfer
