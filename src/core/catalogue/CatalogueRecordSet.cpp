#include "catalogue/CatalogueRecordSet.h"

#include "catalogue/CatalogueError.h"
#include "catalogue/SqliteStatement.h"

#include <QRegularExpression>

#include <algorithm>

namespace tunelix::catalogue {

namespace {

// The view statements select "*"; the view keeps only these columns, in this order, so
// it asks for just them (the meaning of the statement is unchanged).
const QString kViewColumns = QStringLiteral(
    "FileID, FileName, SongLength, StarLv, FileSize, FileState, BookID, IsNew");

} // namespace

CatalogueRecordSet::CatalogueRecordSet(std::function<QSqlDatabase()> connection, QObject *parent)
    : QObject(parent), m_connection(std::move(connection))
{
}

void CatalogueRecordSet::setCommandText(const QString &statement)
{
    m_commandText = statement;
}

void CatalogueRecordSet::open()
{
    close();
    QSqlDatabase db = m_connection();
    QString sql = m_commandText;
    const qsizetype star = sql.indexOf(QLatin1Char('*'));
    if (star >= 0)
        sql.replace(star, 1, kViewColumns);

    // Straight on SQLite: a large catalogue opens several times faster than through
    // QSqlQuery's per-value conversions.
    SqliteStatement query(sqliteHandle(db), sql.toUtf8().constData());
    auto nullable = [&query](int column) -> NullableInt {
        if (query.columnIsNull(column))
            return std::nullopt;
        return static_cast<qint32>(query.columnInt(column));
    };
    std::vector<ViewRow> rows;
    while (query.step()) {
        ViewRow row;
        row.fileId = static_cast<qint32>(query.columnInt(0));
        row.fileName = query.columnText(1);
        row.songLength = nullable(2);
        row.starLv = nullable(3);
        row.fileSize = nullable(4);
        row.fileState = nullable(5);
        row.bookId = nullable(6);
        row.isNew = nullable(7);
        rows.push_back(std::move(row));
    }

    emit aboutToReset();
    m_rows = std::move(rows);
    m_open = true;
    rebuildVisible();
    emit reset();
    emit currentChanged(m_current);
}

void CatalogueRecordSet::close()
{
    if (!m_open)
        return;
    emit aboutToReset();
    m_open = false;
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_visible.clear();
    m_current = -1;
    emit reset();
    emit currentChanged(m_current);
}

void CatalogueRecordSet::setSort(const QString &sort)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*FileID(?:\\s+(ASC|DESC))?\\s*$"), QRegularExpression::CaseInsensitiveOption);
    int order = 0;
    if (!sort.trimmed().isEmpty()) {
        const auto match = pattern.match(sort);
        if (!match.hasMatch())
            throw CatalogueError(QStringLiteral("The view cannot be sorted by '%1'.").arg(sort.trimmed()));
        order = match.captured(1).compare(QStringLiteral("DESC"), Qt::CaseInsensitive) == 0 ? -1 : 1;
    }
    m_sortText = sort;
    m_sortOrder = order;
    if (m_open) {
        emit aboutToReset();
        rebuildVisible();
        emit reset();
        emit currentChanged(m_current);
    }
}

void CatalogueRecordSet::setFilterText(const QString &text)
{
    m_filterText = text;
    if (m_open && m_filtered) {
        emit aboutToReset();
        rebuildVisible();
        emit reset();
        emit currentChanged(m_current);
    }
}

void CatalogueRecordSet::setFiltered(bool on)
{
    m_filtered = on;
    if (m_open) {
        emit aboutToReset();
        rebuildVisible();
        emit reset();
        emit currentChanged(m_current);
    }
}

bool CatalogueRecordSet::passesFilter(const QString &storedFileName) const
{
    return !m_filtered || storedFileName.contains(m_filterText, Qt::CaseInsensitive);
}

void CatalogueRecordSet::rebuildVisible()
{
    m_visible.clear();
    m_visible.reserve(m_rows.size());
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
        if (passesFilter(m_rows[static_cast<size_t>(i)].fileName))
            m_visible.push_back(i);
    }
    if (m_sortOrder != 0) {
        const int order = m_sortOrder;
        std::stable_sort(m_visible.begin(), m_visible.end(), [this, order](int a, int b) {
            const qint32 ia = m_rows[static_cast<size_t>(a)].fileId;
            const qint32 ib = m_rows[static_cast<size_t>(b)].fileId;
            return order > 0 ? ia < ib : ia > ib;
        });
    }
    // Like the old cursor, the first row of the new order becomes current.
    m_current = m_visible.empty() ? -1 : 0;
}

const ViewRow *CatalogueRecordSet::current() const
{
    if (m_current < 0 || m_current >= recordCount())
        return nullptr;
    return &rowAt(m_current);
}

void CatalogueRecordSet::setCurrentIndex(int index)
{
    if (index < 0 || index >= recordCount() || index == m_current)
        return;
    m_current = index;
    emit currentChanged(m_current);
}

void CatalogueRecordSet::setRecNo(int recNo)
{
    if (recNo < 1 || recNo > recordCount())
        throw CatalogueError(QStringLiteral("Record number %1 is outside the view of %2 rows.")
                                 .arg(recNo)
                                 .arg(recordCount()));
    setCurrentIndex(recNo - 1);
}

} // namespace tunelix::catalogue
