#include "update/MergePass.h"

#include "catalogue/CatalogueError.h"
#include "rowset/RowsetReadAhead.h"
#include "update/FilePass.h"
#include "catalogue/SqliteStatement.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>

#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <limits>

namespace tunelix::update {

using catalogue::CatalogueError;
using catalogue::SqliteStatement;
using catalogue::sqliteHandle;

namespace {

const QString kZeroDate = QStringLiteral("18991230000000");

// The date-time forms a daily file or the catalogue may hold: "yyyy-MM-dd", then
// optionally 'T' or ' ' and "HH:mm", ":ss", ".fff"; '/' may separate the date. Parsed
// by hand into a naive time: the local zone is never consulted (it is not part of the
// values, and looking it up per row costs more than the whole merge).
struct NaiveDateTime
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

std::optional<NaiveDateTime> parseDateTimeText(const QString &text)
{
    const QString t = text.trimmed();
    const qsizetype n = t.size();
    qsizetype i = 0;
    const auto number = [&](int digits, int &out) {
        if (i + digits > n)
            return false;
        int v = 0;
        for (int k = 0; k < digits; ++k) {
            const QChar c = t[i + k];
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
            v = v * 10 + (c.unicode() - '0');
        }
        i += digits;
        out = v;
        return true;
    };
    const auto expect = [&](QLatin1Char a, QLatin1Char b) {
        if (i < n && (t[i] == a || t[i] == b)) {
            ++i;
            return true;
        }
        return false;
    };
    NaiveDateTime d;
    if (!number(4, d.year) || !expect(QLatin1Char('-'), QLatin1Char('/')) || !number(2, d.month)
        || !expect(QLatin1Char('-'), QLatin1Char('/')) || !number(2, d.day))
        return std::nullopt;
    if (i < n) {
        if (!expect(QLatin1Char('T'), QLatin1Char(' ')) || !number(2, d.hour) || !expect(QLatin1Char(':'), QLatin1Char(':'))
            || !number(2, d.minute))
            return std::nullopt;
        if (i < n && (!expect(QLatin1Char(':'), QLatin1Char(':')) || !number(2, d.second)))
            return std::nullopt;
        if (i < n) {
            if (!expect(QLatin1Char('.'), QLatin1Char('.')) || i == n)
                return std::nullopt;
            int ignored = 0;
            while (i < n)
                if (!number(1, ignored))
                    return std::nullopt;
        }
    }
    if (!QDate::isValid(d.year, d.month, d.day) || !QTime::isValid(d.hour, d.minute, d.second))
        return std::nullopt;
    return d;
}

QString formatted(const NaiveDateTime &d, bool iso)
{
    char buffer[24];
    if (iso)
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute,
                      d.second);
    else
        std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d", d.year, d.month, d.day, d.hour, d.minute,
                      d.second);
    return QString::fromLatin1(buffer);
}

// The integer a daily value's text names, for a column the database keeps as a number;
// null for an empty text. Throws for a text that is no integer.
QVariant integerValue(const QString &text, const QString &column)
{
    if (text.isEmpty())
        return QVariant(QMetaType(QMetaType::LongLong));
    bool ok = false;
    const QLocale c = QLocale::c();
    const qlonglong v = c.toLongLong(text, &ok);
    if (ok)
        return v;
    const double d = c.toDouble(text, &ok);
    if (ok && std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.0e18)
        return static_cast<qlonglong>(d);
    throw CatalogueError(QStringLiteral("'%1' is not a valid integer value for %2.").arg(text, column));
}

// A daily LastDateTime, read once per row: empty, a date and time, or a text that is
// neither (which compares as itself and cannot be stored).
struct DailyTime
{
    bool empty = true;
    QString text; // kept for a text that is no date and time
    std::optional<NaiveDateTime> value;

    static DailyTime fromText(const QString &text)
    {
        return {text.isEmpty(), text, text.isEmpty() ? std::nullopt : parseDateTimeText(text)};
    }
    // A typed value is taken as it is, without a round trip through its text.
    static DailyTime fromValue(const QVariant &value, rowset::ColumnType type)
    {
        if (type != rowset::ColumnType::DateTime || !value.isValid())
            return fromText(rowset::valueText(value, type));
        const QDateTime dt = value.toDateTime();
        const QDate d = dt.date();
        const QTime t = dt.time();
        return {false, QString(), NaiveDateTime{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()}};
    }
    bool isEmpty() const { return empty; }
    QString compareForm() const
    {
        if (isEmpty())
            return kZeroDate;
        return value ? formatted(*value, false) : text;
    }
    QString storedForm() const
    {
        if (isEmpty())
            return {};
        if (!value)
            throw CatalogueError(QStringLiteral("'%1' is not a valid date and time.").arg(text));
        return formatted(*value, true);
    }
};

MergeAction decide(const DailyTime &daily, const std::optional<QString> &catalogueLastDateTime)
{
    if (!catalogueLastDateTime)
        return MergeAction::Append;
    if (daily.isEmpty())
        return MergeAction::Overwrite;
    return daily.compareForm() == DailyTime::fromText(*catalogueLastDateTime).compareForm() ? MergeAction::Keep
                                                                                           : MergeAction::Overwrite;
}

void exec(QSqlQuery &q)
{
    if (!q.exec())
        throw CatalogueError(q.lastError().text());
}

void prepare(QSqlQuery &q, const QString &sql)
{
    if (!q.prepare(sql))
        throw CatalogueError(q.lastError().text());
}

} // namespace

QString compareForm(const QString &dateTime)
{
    return DailyTime::fromText(dateTime).compareForm();
}

QString storedDateTime(const QString &dailyText)
{
    return DailyTime::fromText(dailyText).storedForm();
}

MergeAction mergeAction(const QString &dailyLastDateTime, const std::optional<QString> &catalogueLastDateTime)
{
    return decide(DailyTime::fromText(dailyLastDateTime), catalogueLastDateTime);
}

struct CatalogueMerger::Statements
{
    explicit Statements(const QSqlDatabase &db)
        : maxBook(db), clearFlags(db), setFlags(db),
          lookup(sqliteHandle(db), " select FileID,LastDateTime from RngFileInfo  where FileID= ?"),
          append(sqliteHandle(db), "insert into RngFileInfo (FileID, FileName, WebLink, WebLink1, WebLink2, "
                                   "WebLink3, WebLink4, WebLink5, MD5Code, SongLength, FileType, FileSize, "
                                   "StarLv, LastDateTime, BookID) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
          overwrite(sqliteHandle(db), " update RngFileInfo  set FileName=?, WebLink=?, WebLink1=?, WebLink2=?, "
                                      "WebLink3=?, WebLink4=?, WebLink5=?, MD5Code=?, SongLength=?, FileSize=?, "
                                      "LastDateTime=?, StarLv=?  where FileID=?")
    {
        maxBook.setForwardOnly(true);
        prepare(maxBook, QStringLiteral(" select max(BookID) as MaxBookID from RngFileInfo "));
        prepare(clearFlags, QStringLiteral(" update RngFileInfo  set isnew=-1  where isnew=1"));
        prepare(setFlags, QStringLiteral(" update RngFileInfo  set isnew=1  where bookid=?"));
    }
    QSqlQuery maxBook, clearFlags, setFlags;
    // The per-row statements, on the connection's SQLite handle.
    SqliteStatement lookup, append, overwrite;
};

CatalogueMerger::CatalogueMerger(const QString &databasePath)
    : m_db(databasePath,
           {QStringLiteral("FileID"), QStringLiteral("FileName"), QStringLiteral("WebLink"), QStringLiteral("WebLink1"),
            QStringLiteral("WebLink2"), QStringLiteral("WebLink3"), QStringLiteral("WebLink4"),
            QStringLiteral("WebLink5"), QStringLiteral("MD5Code"), QStringLiteral("SongLength"),
            QStringLiteral("FileType"), QStringLiteral("FileSize"), QStringLiteral("StarLv"),
            QStringLiteral("LastDateTime"), QStringLiteral("BookID"), QStringLiteral("IsNew")})
{
    // Look-ups by FileID jump around the table; a larger page cache keeps them off the
    // disk. The log is copied into the database once, at the end (checkpoint()), not
    // after each file and again after the flags: that copy costs as much as the writes.
    QSqlQuery pragma(m_db.db());
    for (const char *sql : {"PRAGMA cache_size = -8192", "PRAGMA wal_autocheckpoint = 0"}) {
        if (!pragma.exec(QString::fromLatin1(sql)))
            throw CatalogueError(pragma.lastError().text());
        pragma.finish();
    }
    m_st = std::make_unique<Statements>(m_db.db());
}

CatalogueMerger::~CatalogueMerger()
{
    m_st.reset(); // the statements go before the connection they run on
}

int CatalogueMerger::highestBook()
{
    QSqlQuery &q = m_st->maxBook;
    exec(q);
    int book = 0;
    if (q.next() && !q.value(0).isNull()) {
        bool ok = false;
        book = q.value(0).toInt(&ok);
        if (!ok)
            throw CatalogueError(QStringLiteral("'%1' is not a valid book number.").arg(q.value(0).toString()));
    }
    q.finish();
    return book;
}

namespace {

// Readies a statement for its next use however the current one ends.
struct ResetOnExit
{
    SqliteStatement &statement;
    ~ResetOnExit() { statement.reset(); }
};

} // namespace

// Writes the rows of one daily file as the reader delivers them. After a row fails,
// the rest of the file is only read (so that a file broken further on still counts as
// unreadable), and the failure is kept for the caller.
class CatalogueMerger::DailyWriter final : public rowset::RowsetSink
{
public:
    DailyWriter(Statements &statements, int book, const std::atomic<bool> *cancel)
        : m_st(statements), m_book(book), m_cancel(cancel)
    {
    }

    void columns(const std::vector<rowset::Column> &columns) override
    {
        for (int i = 0; i < ColumnCount; ++i) {
            m_col[size_t(i)] = rowset::requireColumn(columns, QLatin1String(kNames[i]));
            m_type[size_t(i)] = columns[size_t(m_col[size_t(i)])].type;
        }
    }

    void row(const rowset::Row &values) override
    {
        ++m_rows;
        if (m_failure)
            return;
        if (m_cancel && m_cancel->load())
            throw UpdateCancelled();
        try {
            write(values);
        } catch (...) {
            m_failure = std::current_exception();
        }
    }

    qint64 rows() const { return m_rows; }
    std::exception_ptr failure() const { return m_failure; }
    void addCounts(MergeStats &stats) const
    {
        stats.appended += m_counts.appended;
        stats.overwritten += m_counts.overwritten;
        stats.kept += m_counts.kept;
    }

private:
    enum Column { FileID, FileName, WebLink, WebLink1, WebLink2, WebLink3, WebLink4, WebLink5, MD5Code, SongLength,
                  FileType, FileSize, StarLv, LastDateTime, ColumnCount };
    static constexpr const char *kNames[ColumnCount] = {
        "FileID",   "FileName",   "WebLink",  "WebLink1", "WebLink2", "WebLink3",    "WebLink4",
        "WebLink5", "MD5Code",    "SongLength", "FileType", "FileSize", "StarLv", "LastDateTime"};

    QString text(const rowset::Row &values, int which) const
    {
        return rowset::valueText(values[size_t(m_col[size_t(which)])], m_type[size_t(which)]);
    }

    // Typed integer columns are taken as they are; text columns are read as numbers.
    // The catalogue keeps these as 32-bit integers; a value beyond them is refused.
    QVariant number(const rowset::Row &values, int which) const
    {
        const QVariant &value = values[size_t(m_col[size_t(which)])];
        const QVariant v = m_type[size_t(which)] == rowset::ColumnType::Int
                               ? (value.isValid() ? value : QVariant(QMetaType(QMetaType::LongLong)))
                               : integerValue(text(values, which), QLatin1String(kNames[which]));
        if (!v.isNull()) {
            const qlonglong x = v.toLongLong();
            if (x < std::numeric_limits<qint32>::min() || x > std::numeric_limits<qint32>::max())
                throw CatalogueError(
                    QStringLiteral("'%1' is out of range for %2.").arg(x).arg(QLatin1String(kNames[which])));
        }
        return v;
    }

    // FileName, WebLink ... WebLink5 and MD5Code, in that order from `first`.
    void bindTexts(SqliteStatement &q, int first, const rowset::Row &values) const
    {
        for (int i = FileName; i <= MD5Code; ++i)
            q.bindText(first + i - FileName, text(values, i));
    }

    // The daily time as the catalogue stores it; an empty one as NULL.
    static void bindTime(SqliteStatement &q, int index, const DailyTime &dailyTime)
    {
        const QString when = dailyTime.storedForm();
        if (when.isEmpty())
            q.bindNull(index);
        else
            q.bindText(index, when);
    }

    void write(const rowset::Row &values)
    {
        const QVariant fileId = number(values, FileID);
        if (fileId.isNull())
            throw CatalogueError(QStringLiteral("A daily row has no FileID."));
        const DailyTime dailyTime =
            DailyTime::fromValue(values[size_t(m_col[LastDateTime])], m_type[LastDateTime]);

        std::optional<QString> stored;
        {
            SqliteStatement &lookup = m_st.lookup;
            ResetOnExit done{lookup};
            lookup.bind(0, fileId);
            if (lookup.step())
                stored = lookup.columnText(1);
        }

        switch (decide(dailyTime, stored)) {
        case MergeAction::Append: {
            SqliteStatement &q = m_st.append;
            ResetOnExit done{q};
            q.bind(0, fileId);
            bindTexts(q, 1, values);
            q.bind(9, number(values, SongLength));
            q.bind(10, number(values, FileType));
            q.bind(11, number(values, FileSize));
            q.bind(12, number(values, StarLv));
            bindTime(q, 13, dailyTime);
            q.bindInt(14, m_book);
            q.step();
            ++m_counts.appended;
            break;
        }
        case MergeAction::Overwrite: {
            SqliteStatement &q = m_st.overwrite;
            ResetOnExit done{q};
            bindTexts(q, 0, values);
            q.bind(8, number(values, SongLength));
            q.bind(9, number(values, FileSize));
            bindTime(q, 10, dailyTime);
            q.bind(11, number(values, StarLv));
            q.bind(12, fileId);
            q.step();
            ++m_counts.overwritten;
            break;
        }
        case MergeAction::Keep:
            ++m_counts.kept;
            break;
        }
    }

    Statements &m_st;
    const int m_book;
    const std::atomic<bool> *const m_cancel;
    std::array<int, ColumnCount> m_col{};
    std::array<rowset::ColumnType, ColumnCount> m_type{};
    qint64 m_rows = 0;
    MergeStats m_counts;
    std::exception_ptr m_failure;
};

bool CatalogueMerger::mergeDaily(const QString &path, int book, MergeStats &stats, const std::atomic<bool> *cancel)
{
    // One transaction for the whole file: a file that turns out to be unreadable
    // part-way leaves nothing of itself, as when it was loaded whole before the first
    // row was written.
    catalogue::TransactionGuard transaction(m_db.db(), catalogue::TransactionGuard::Lock::Immediate);
    DailyWriter writer(*m_st, book, cancel);
    try {
        rowset::readRowsetFileAhead(path, writer);
    } catch (const UpdateCancelled &) {
        transaction.commit(); // the rows done stay
        writer.addCounts(stats);
        throw;
    }
    // The rows before a failing row stay, as they did when every row was its own statement.
    transaction.commit();
    writer.addCounts(stats);
    if (writer.failure())
        std::rethrow_exception(writer.failure());
    return writer.rows() > 0;
}

int CatalogueMerger::updateNewFlags()
{
    const int highest = highestBook();
    catalogue::TransactionGuard transaction(m_db.db(), catalogue::TransactionGuard::Lock::Immediate);
    exec(m_st->clearFlags);
    m_st->setFlags.bindValue(0, highest);
    exec(m_st->setFlags);
    transaction.commit();
    return highest;
}

void CatalogueMerger::checkpoint()
{
    // Passive: a reader that still needs the log (the client) is never waited for;
    // what is left is copied by the next checkpoint of any connection.
    QSqlQuery q(m_db.db());
    if (!q.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")))
        throw CatalogueError(q.lastError().text());
}

MergeStats CatalogueMerger::mergeManifest(const ProgramFolder &folder, const std::vector<ManifestEntry> &manifest,
                                          const std::atomic<bool> *cancel)
{
    MergeStats stats;
    stats.highestBookBefore = highestBook();
    // What the append query of old checked on opening: the table and its columns are
    // there. It reads at most one row.
    {
        QSqlQuery probe(m_db.db());
        if (!probe.exec(QStringLiteral("select * from  RngFileInfo limit 1")))
            throw CatalogueError(probe.lastError().text());
    }
    const size_t count = manifest.size();
    for (size_t i = 0; i < count; ++i) {
        if (cancel && cancel->load())
            throw UpdateCancelled();
        const ManifestEntry &entry = manifest[i];
        if (!isDailyFile(entry))
            continue;
        const QString bookText = TextBeforeDot(entry.fileName);
        bool ok = false;
        const int book = bookText.toInt(&ok);
        if (!ok)
            throw CatalogueError(QStringLiteral("'%1' is not a valid integer value.").arg(bookText));
        if (book < stats.highestBookBefore)
            continue;
        const auto paths = entryPaths(folder, entry);
        if (!paths) {
            ++stats.unsafe;
            continue;
        }
        if (mergeDaily(paths->writePath, book, stats, cancel))
            ++stats.booksMerged;
    }
    return stats;
}

MergeStats runMergePass(const ProgramFolder &folder, const std::vector<ManifestEntry> &manifest,
                        const std::atomic<bool> *cancel)
{
    CatalogueMerger merger(folder.catalogueDatabase());
    MergeStats stats = merger.mergeManifest(folder, manifest, cancel);
    stats.highestBookAfter = merger.updateNewFlags();
    merger.checkpoint();
    return stats;
}

} // namespace tunelix::update
