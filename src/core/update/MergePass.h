#pragma once

#include "catalogue/CatalogueDatabase.h"
#include "platform/ProgramFolder.h"
#include "update/Manifest.h"

#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class QSqlQuery;

namespace tunelix::update {

// The merge decision for one daily row, a pure function of the two LastDateTime texts.
enum class MergeAction { Append, Overwrite, Keep };

// `catalogueLastDateTime` is nullopt when no catalogue row has the FileID. An empty
// daily value always overwrites; otherwise both are compared in the form
// "yyyyMMddHHmmss" (an empty catalogue value compares as the zero date
// 1899-12-30 00:00:00), and only equal texts keep the row.
MergeAction mergeAction(const QString &dailyLastDateTime, const std::optional<QString> &catalogueLastDateTime);

// "yyyyMMddHHmmss" of a stored or daily date-time text; the zero date for an empty
// text; an unreadable text stays as it is (and so differs from every real time).
QString compareForm(const QString &dateTime);

// A daily LastDateTime as the catalogue stores it, "yyyy-MM-ddTHH:mm:ss" (whole
// seconds); empty stays empty. Throws catalogue::CatalogueError for a text that is
// not a date and time.
QString storedDateTime(const QString &dailyText);

struct MergeStats
{
    int highestBookBefore = 0;
    int highestBookAfter = 0;
    int booksMerged = 0;
    qint64 appended = 0;
    qint64 overwritten = 0;
    qint64 kept = 0;
    int unsafe = 0; // daily rows of the manifest refused for their paths
};

// Merges daily catalogue files into RngFileInfo and recomputes the new flags. Owns its
// connection, so it lives on the thread that created it (the update thread).
//
// Every value is bound. A daily file is read row by row (never held whole) and written
// in one transaction: when a row fails, the rows before it are committed before the
// error leaves, so what survives is what row-by-row statements would have left; a file
// that cannot be read to its end leaves nothing of itself, as if it had been loaded
// whole before the first row was written.
class CatalogueMerger
{
public:
    explicit CatalogueMerger(const QString &databasePath);
    ~CatalogueMerger();
    CatalogueMerger(const CatalogueMerger &) = delete;
    CatalogueMerger &operator=(const CatalogueMerger &) = delete;

    // max(BookID), 0 for an empty catalogue.
    int highestBook();

    // The merge pass over the manifest rows: books from TextBeforeDot(F_FileName), the
    // bound taken once before the loop, each qualifying daily file loaded from the write
    // path. Throws on the first error (a book that is not an integer, a daily file that
    // is missing or unreadable, a missing column, a bad value, a database error).
    // `cancel` is checked between rows (UpdateCancelled).
    MergeStats mergeManifest(const ProgramFolder &folder, const std::vector<ManifestEntry> &manifest,
                             const std::atomic<bool> *cancel = nullptr);

    // Merges the daily file at `path` as book `book`; false when it holds no rows.
    // `cancel` is checked between rows; the rows done stay.
    bool mergeDaily(const QString &path, int book, MergeStats &stats, const std::atomic<bool> *cancel = nullptr);

    // Rows flagged 1 that are not of the highest book become -1; the rows of the highest
    // book become 1. Returns the highest book.
    int updateNewFlags();

    // Copies the write-ahead log into the database file as far as readers allow.
    void checkpoint();

private:
    struct Statements;
    class DailyWriter;
    catalogue::CatalogueDatabase m_db;
    std::unique_ptr<Statements> m_st;
};

// The merge pass and the new flags, as the update step runs them.
MergeStats runMergePass(const ProgramFolder &folder, const std::vector<ManifestEntry> &manifest,
                        const std::atomic<bool> *cancel = nullptr);

} // namespace tunelix::update
