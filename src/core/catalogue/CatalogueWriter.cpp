#include "catalogue/CatalogueWriter.h"

#include "catalogue/CatalogueDatabase.h"
#include "catalogue/CatalogueError.h"

#include <QSqlError>
#include <QSqlQuery>

namespace tunelix::catalogue {

namespace {
QVariant bound(NullableInt v)
{
    return v ? QVariant(*v) : QVariant(QMetaType(QMetaType::Int));
}
} // namespace

void insertRows(QSqlDatabase db, const std::vector<CatalogueRow> &rows)
{
    TransactionGuard transaction(db);
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral(
            "insert into RngFileInfo (FileID, FileName, SongLength, StarLv, AuthorName, FilePath, FileSize, "
            "FileType, WebLink, WebLink1, WebLink2, WebLink3, WebLink4, WebLink5, MD5Code, FileState, BookID, "
            "IsNew, LastDateTime) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")))
        throw CatalogueError(query.lastError().text());
    for (const CatalogueRow &row : rows) {
        query.addBindValue(row.fileId);
        query.addBindValue(row.fileName);
        query.addBindValue(bound(row.songLength));
        query.addBindValue(bound(row.starLv));
        query.addBindValue(row.authorName.isNull() ? QString(QLatin1String("")) : row.authorName);
        query.addBindValue(row.filePath.isNull() ? QString(QLatin1String("")) : row.filePath);
        query.addBindValue(bound(row.fileSize));
        query.addBindValue(bound(row.fileType));
        for (const QString &link : row.webLinks)
            query.addBindValue(link);
        query.addBindValue(row.md5Code);
        query.addBindValue(bound(row.fileState));
        query.addBindValue(bound(row.bookId));
        query.addBindValue(bound(row.isNew));
        query.addBindValue(row.lastDateTime.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(row.lastDateTime));
        if (!query.exec())
            throw CatalogueError(query.lastError().text());
    }
    transaction.commit();
}

} // namespace tunelix::catalogue
