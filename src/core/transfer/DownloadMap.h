#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

class QIODevice;

namespace tunelix::transfer {

// One byte range of the file being downloaded: [SegmentBegin, SegmentEnd). Bytes
// SegmentBegin .. SegmentStart - 1 are already in the partial file.
// No lock of its own: during a download every change happens under TransferLock.
class TSegment
{
public:
    QString SegmentMD5;           // expected MD5 text of the segment; empty when unknown
    std::uint32_t SegmentBegin = 0;
    std::uint32_t SegmentStart = 0;
    std::uint32_t SegmentEnd = 0;
    bool Completed = false;
    // Run-time only, never persisted: a worker has claimed the segment.
    bool InUse = false;

    // 0 when Completed, else SegmentEnd - SegmentStart (what the map file records;
    // the value read back from a file is ignored).
    std::uint32_t SegmentLength() const { return Completed ? 0 : SegmentEnd - SegmentStart; }

    bool operator==(const TSegment &) const = default;
};

// The ordered, owned list of segments of a map. Segments are only appended, so a
// position names the same segment for as long as the map lives.
class TSegmentCollection
{
public:
    TSegment &Add();
    TSegment &Items(int position) { return m_items.at(static_cast<std::size_t>(position)); }
    const TSegment &Items(int position) const { return m_items.at(static_cast<std::size_t>(position)); }
    int Count() const { return static_cast<int>(m_items.size()); }
    void Clear() { m_items.clear(); }

    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<TSegment> m_items;
};

// The collection type as the map file's format calls it (its name with the leading
// underscore is reserved in C++, hence the alias).
using COLLECTION_CLASS_TYPE = TSegmentCollection;

// The download map of one file: its size, whole-file MD5 text and segments.
class TDownloadMap
{
public:
    TDownloadMap() = default;

    QString FileMD5Code;
    std::uint32_t Size = 0;

    TSegmentCollection &Segments() { return m_segments; }
    const TSegmentCollection &Segments() const { return m_segments; }

    // Runs after a map has been read: no segment is claimed by anyone.
    void Loaded();

    bool AllCompleted() const;  // true for a map without segments
    bool AllInUse() const;      // every segment, completed ones included, has InUse set
    int IncompleteCount() const;
    // Sum of the bytes already in the partial file (progress display).
    std::uint64_t BytesDone() const;

private:
    TSegmentCollection m_segments;
};

// The segment size the engine always lays maps out with (a decimal hundred thousand).
inline constexpr std::uint32_t kSegmentSize = 100000;

// Lays out a fresh map of `size` bytes in segments of `segmentSize` into `map`
// (which must be empty): consecutive segments from 0 up to `size`, the last one short.
void layOutDownloadMap(TDownloadMap &map, std::uint32_t size, std::uint32_t segmentSize,
                       const QString &md5);

// Raised when a map text does not follow the format.
class MapFormatError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Abstract streamer of a map: the persisted form lives in one implementation.
class TComponentStreamer
{
public:
    virtual ~TComponentStreamer() = default;
    virtual void SaveComponent(const TDownloadMap &component, QIODevice &stream) const = 0;
    virtual void LoadComponent(QIODevice &stream, TDownloadMap &component) const = 0;
};

// The textual component form: "object TDownloadMap" ... "end", CR LF, two-blank
// indentation, defaults left out. Pure functions; any thread.
class TTextComponentStreamer : public TComponentStreamer
{
public:
    // Empties the stream (size 0, position 0) and writes exactly one map text.
    // Throws std::runtime_error when the stream cannot be written.
    void SaveComponent(const TDownloadMap &component, QIODevice &stream) const override;
    // Reads from position 0 into a freshly constructed map, then runs Loaded().
    // Throws MapFormatError for a text that breaks the format.
    void LoadComponent(QIODevice &stream, TDownloadMap &component) const override;

    static QByteArray toText(const TDownloadMap &map);
    static void fromText(const QByteArray &text, TDownloadMap &map);
};

} // namespace tunelix::transfer
