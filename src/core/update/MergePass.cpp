#include "update/MergePass.h"

#include "catalogue/CatalogueError.h"
#include "rowset/RowsetReader.h"
#include "update/FilePass.h"

#include <QDateTime>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <array>
#include <cmath>

namespace tunelix::update {

using catalogue::CatalogueError;

namespace {

const QString kZeroDate = QStringLiteral("18991230000000");

std::optional<QDateTime> parseDateTimeText(const QString &text)
{
    static const QString formats[] = {
        QStringLiteral("yyyy-MM-ddTHH:mm:ss"), QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"),
        QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"),
        QStringLiteral("yyyy/MM/dd HH:mm:ss"), QStringLiteral("yyyy-MM-ddTHH:mm"),
        QStringLiteral("yyyy-MM-dd HH:mm"),    QStringLiteral("yyyy-MM-dd"),
        QStringLiteral("yyyy/MM/dd"),
    };
    const QString t = text.trimmed();
    for (const QString &f : formats) {
        // Read in UTC: the texts are naive local times, and no zone rule may shift them.
        QDateTime dt = QDateTime::fromString(t, f);
        if (dt.isValid()) {
            dt.setTimeSpec(Qt::UTC);
            return QDateTime(dt.date(), dt.time(), Qt::UTC);
        }
    }
    return std::nullopt;
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
    if (dateTime.isEmpty())
        return kZeroDate;
    if (const auto dt = parseDateTimeText(dateTime))
        return dt->toString(QStringLiteral("yyyyMMddHHmmss"));
    return dateTime;
}

QString storedDateTime(const QString &dailyText)
{
    if (dailyText.isEmpty())
        return {};
    const auto dt = parseDateTimeText(dailyText);
    if (!dt)
        throw CatalogueError(QStringLiteral("'%1' is not a valid date and time.").arg(dailyText));
    return dt->toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

MergeAction mergeAction(const QString &dailyLastDateTime, const std::optional<QString> &catalogueLastDateTime)
{
    if (!catalogueLastDateTime)
        return MergeAction::Append;
    if (dailyLastDateTime.isEmpty())
        return MergeAction::Overwrite;
    return compareForm(dailyLastDateTime) == compareForm(*catalogueLastDateTime) ? MergeAction::Keep
                                                                                 : MergeAction::Overwrite;
}

struct CatalogueMerger::Statements
{
    explicit Statements(const QSqlDatabase &db)
        : maxBook(db), lookup(db), append(db), overwrite(db), clearFlags(db), setFlags(db)
    {
        prepare(maxBook, QStringLiteral(" select max(BookID) as MaxBookID from RngFileInfo "));
        prepare(lookup, QStringLiteral(" select FileID,LastDateTime from RngFileInfo  where FileID= ?"));
        prepare(append, QStringLiteral("insert into RngFileInfo (FileID, FileName, WebLink, WebLink1, WebLink2, "
                                       "WebLink3, WebLink4, WebLink5, MD5Code, SongLength, FileType, FileSize, "
                                       "StarLv, LastDateTime, BookID) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
        prepare(overwrite,
                QStringLiteral(" update RngFileInfo  set FileName=?, WebLink=?, WebLink1=?, WebLink2=?, WebLink3=?, "
                               "WebLink4=?, WebLink5=?, MD5Code=?, SongLength=?, FileSize=?, LastDateTime=?, StarLv=? "
                               " where FileID=?"));
        prepare(clearFlags, QStringLiteral(" update RngFileInfo  set isnew=-1  where isnew=1"));
        prepare(setFlags, QStringLiteral(" update RngFileInfo  set isnew=1  where bookid=?"));
    }
    QSqlQuery maxBook, lookup, append, overwrite, clearFlags, setFlags;
};

CatalogueMerger::CatalogueMerger(const QString &databasePath, int batchRows)
    : m_db(databasePath,
           {QStringLiteral("FileID"), QStringLiteral("FileName"), QStringLiteral("WebLink"), QStringLiteral("WebLink1"),
            QStringLiteral("WebLink2"), QStringLiteral("WebLink3"), QStringLiteral("WebLink4"),
            QStringLiteral("WebLink5"), QStringLiteral("MD5Code"), QStringLiteral("SongLength"),
            QStringLiteral("FileType"), QStringLiteral("FileSize"), QStringLiteral("StarLv"),
            QStringLiteral("LastDateTime"), QStringLiteral("BookID"), QStringLiteral("IsNew")}),
      m_st(std::make_unique<Statements>(m_db.db())), m_batchRows(std::max(1, batchRows))
{
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

void CatalogueMerger::mergeDaily(const rowset::Rowset &daily, int book, MergeStats &stats,
                                 const std::atomic<bool> *cancel)
{
    if (daily.rowCount() == 0)
        return;
    static const char *const names[] = {"FileID",   "FileName",   "WebLink",  "WebLink1", "WebLink2",
                                        "WebLink3", "WebLink4",   "WebLink5", "MD5Code",  "SongLength",
                                        "FileType", "FileSize",   "StarLv",   "LastDateTime"};
    enum { FileID, FileName, WebLink, WebLink1, WebLink2, WebLink3, WebLink4, WebLink5, MD5Code, SongLength,
           FileType, FileSize, StarLv, LastDateTime, ColumnCount };
    std::array<int, ColumnCount> col{};
    for (int i = 0; i < ColumnCount; ++i)
        col[i] = daily.requireColumn(QLatin1String(names[i]));

    QSqlDatabase db = m_db.db();
    std::optional<catalogue::TransactionGuard> batch;
    int inBatch = 0;
    const QVariant bookValue = book;
    try {
        const int count = daily.rowCount();
        for (int r = 0; r < count; ++r) {
            if (cancel && cancel->load())
                throw UpdateCancelled();
            if (!batch) {
                batch.emplace(db);
                inBatch = 0;
            }
            const auto text = [&](int which) { return daily.text(r, col[which]); };
            const QString idText = text(FileID);
            const QVariant fileId = integerValue(idText, QStringLiteral("FileID"));
            if (fileId.isNull())
                throw CatalogueError(QStringLiteral("A daily row has no FileID."));
            const QString dailyTime = text(LastDateTime);

            QSqlQuery &lookup = m_st->lookup;
            lookup.bindValue(0, fileId);
            exec(lookup);
            std::optional<QString> stored;
            if (lookup.next())
                stored = lookup.value(1).toString();
            lookup.finish();

            switch (mergeAction(dailyTime, stored)) {
            case MergeAction::Append: {
                QSqlQuery &q = m_st->append;
                q.bindValue(0, fileId);
                for (int i = FileName; i <= MD5Code; ++i)
                    q.bindValue(i, text(i));
                q.bindValue(9, integerValue(text(SongLength), QStringLiteral("SongLength")));
                q.bindValue(10, integerValue(text(FileType), QStringLiteral("FileType")));
                q.bindValue(11, integerValue(text(FileSize), QStringLiteral("FileSize")));
                q.bindValue(12, integerValue(text(StarLv), QStringLiteral("StarLv")));
                const QString when = storedDateTime(dailyTime);
                q.bindValue(13, when.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(when));
                q.bindValue(14, bookValue);
                exec(q);
                ++stats.appended;
                break;
            }
            case MergeAction::Overwrite: {
                QSqlQuery &q = m_st->overwrite;
                for (int i = FileName; i <= MD5Code; ++i)
                    q.bindValue(i - FileName, text(i));
                q.bindValue(8, integerValue(text(SongLength), QStringLiteral("SongLength")));
                q.bindValue(9, integerValue(text(FileSize), QStringLiteral("FileSize")));
                const QString when = storedDateTime(dailyTime);
                q.bindValue(10, when.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(when));
                q.bindValue(11, integerValue(text(StarLv), QStringLiteral("StarLv")));
                q.bindValue(12, fileId);
                exec(q);
                ++stats.overwritten;
                break;
            }
            case MergeAction::Keep:
                ++stats.kept;
                break;
            }
            if (++inBatch >= m_batchRows) {
                batch->commit();
                batch.reset();
            }
        }
        if (batch)
            batch->commit();
    } catch (...) {
        // The rows before the failing one stay, as they would without batching.
        if (batch) {
            try {
                batch->commit();
            } catch (...) {
            }
        }
        throw;
    }
}

int CatalogueMerger::updateNewFlags()
{
    const int highest = highestBook();
    catalogue::TransactionGuard transaction(m_db.db());
    exec(m_st->clearFlags);
    m_st->setFlags.bindValue(0, highest);
    exec(m_st->setFlags);
    transaction.commit();
    return highest;
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
        const rowset::Rowset daily = rowset::readRowsetFile(paths->writePath);
        if (daily.rowCount() == 0)
            continue;
        mergeDaily(daily, book, stats, cancel);
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
    return stats;
}

} // namespace tunelix::update
