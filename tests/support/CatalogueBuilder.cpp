#include "support/CatalogueBuilder.h"

#include "catalogue/CatalogueDatabase.h"
#include "catalogue/CatalogueWriter.h"

#include <QFileInfo>

namespace tunelix::test {

catalogue::CatalogueRow sampleRow(qint32 fileId, const QString &fileName)
{
    catalogue::CatalogueRow row;
    row.fileId = fileId;
    row.fileName = fileName;
    row.songLength = 30;
    row.starLv = 2;
    row.fileSize = 1000;
    row.fileType = 1;
    row.md5Code = QStringLiteral("0123456789abcdef0123456789abcdef");
    row.fileState = 0;
    row.bookId = 1;
    row.isNew = 0;
    return row;
}

void writeCatalogue(const QString &path, const std::vector<catalogue::CatalogueRow> &rows)
{
    if (!QFileInfo::exists(path))
        catalogue::CatalogueDatabase::create(path);
    catalogue::CatalogueDatabase db(path, {});
    catalogue::insertRows(db.db(), rows);
}

} // namespace tunelix::test
