#include "catalogue/TxDataModule.h"

#include "catalogue/CatalogueDatabase.h"
#include "catalogue/CatalogueError.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace tunelix::catalogue {

namespace {

NullableInt nullableInt(const QVariant &v)
{
    if (v.isNull())
        return std::nullopt;
    return static_cast<qint32>(v.toLongLong());
}

void execPrepared(QSqlQuery &query)
{
    if (!query.exec())
        throw CatalogueError(query.lastError().text());
}

} // namespace

CatalogueRow readCatalogueRow(const QSqlQuery &query)
{
    const QSqlRecord rec = query.record();
    auto value = [&](const char *name) { return query.value(rec.indexOf(QLatin1String(name))); };
    CatalogueRow row;
    row.fileId = static_cast<qint32>(value("FileID").toLongLong());
    row.fileName = value("FileName").toString();
    row.songLength = nullableInt(value("SongLength"));
    row.starLv = nullableInt(value("StarLv"));
    row.authorName = value("AuthorName").toString();
    row.filePath = value("FilePath").toString();
    row.fileSize = nullableInt(value("FileSize"));
    row.fileType = nullableInt(value("FileType"));
    static const char *const links[] = {"WebLink", "WebLink1", "WebLink2", "WebLink3", "WebLink4", "WebLink5"};
    for (size_t i = 0; i < row.webLinks.size(); ++i)
        row.webLinks[i] = value(links[i]).toString();
    row.md5Code = value("MD5Code").toString();
    row.fileState = nullableInt(value("FileState"));
    row.bookId = nullableInt(value("BookID"));
    row.isNew = nullableInt(value("IsNew"));
    row.lastDateTime = value("LastDateTime").toString();
    return row;
}

TTxDataModule::TTxDataModule(QString databasePath, QObject *parent)
    : QObject(parent),
      m_databasePath(std::move(databasePath)),
      m_qry1([this] { return connection(); })
{
    m_qry1.setCommandText(QStringLiteral("select * from RngFileInfo where 1=1"));
}

TTxDataModule::~TTxDataModule()
{
    m_qry1.close();
}

QString TTxDataModule::allRowsStatement()
{
    return QStringLiteral(" select * from RngFileInfo where 1=1 ");
}

QString TTxDataModule::newRowsStatement()
{
    return allRowsStatement() + QStringLiteral(" and Isnew=1");
}

QString TTxDataModule::viewOrder()
{
    return QStringLiteral(" FileID DESC");
}

QSqlDatabase TTxDataModule::connection()
{
    // The connection opens with the first query; a failure is retried by the next one.
    if (!m_con1)
        m_con1 = std::make_unique<CatalogueDatabase>(m_databasePath, CatalogueDatabase::viewColumns());
    return m_con1->db();
}

void TTxDataModule::openView(const QString &statement)
{
    m_qry1.close();
    m_qry1.setCommandText(statement);
    m_qry1.open();
    m_qry1.setSort(viewOrder());
}

void TTxDataModule::refreshKeepingPosition()
{
    const int recNo = m_qry1.recNo();
    m_qry1.close();
    m_qry1.open();
    m_qry1.setSort(viewOrder());
    if (m_qry1.recordCount() > 0)
        m_qry1.setRecNo(std::clamp(recNo, 1, m_qry1.recordCount()));
}

std::vector<CatalogueRow> TTxDataModule::rowsAtOrBelow(qint32 fileId, int limit)
{
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    query.prepare(m_qry1.commandText() + QStringLiteral(" and FileID<=? order by FileID desc limit ?"));
    query.addBindValue(fileId);
    query.addBindValue(limit);
    execPrepared(query);
    std::vector<CatalogueRow> rows;
    while (query.next()) {
        CatalogueRow row = readCatalogueRow(query);
        if (m_qry1.passesFilter(row.fileName))
            rows.push_back(std::move(row));
    }
    return rows;
}

int TTxDataModule::markDownloaded(const QString &md5Code)
{
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("update RngFileInfo set FileState=1 where MD5Code=?"));
    query.addBindValue(md5Code);
    execPrepared(query);
    return query.numRowsAffected();
}

std::optional<CatalogueRow> TTxDataModule::readRow(qint32 fileId)
{
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("select * from RngFileInfo where FileID=?"));
    query.addBindValue(fileId);
    execPrepared(query);
    if (!query.next())
        return std::nullopt;
    return readCatalogueRow(query);
}

} // namespace tunelix::catalogue
