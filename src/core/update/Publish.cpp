#include "update/Publish.h"

#include "rowset/RowsetWriter.h"

#include <QDateTime>

namespace tunelix::update {

using rowset::ColumnType;
using rowset::makeColumn;

rowset::Rowset manifestRowset(const std::vector<ManifestEntry> &entries)
{
    rowset::Rowset rs;
    rs.columns = {makeColumn(QStringLiteral("F_Link")), makeColumn(QStringLiteral("F_FileName")),
                  makeColumn(QStringLiteral("F_SaveDir")), makeColumn(QStringLiteral("F_MD5"))};
    rs.rows.reserve(entries.size());
    for (const ManifestEntry &e : entries)
        rs.rows.push_back({e.link, e.fileName, e.saveDir, e.md5});
    return rs;
}

rowset::Rowset dailyRowset(const std::vector<catalogue::CatalogueRow> &rows)
{
    rowset::Rowset rs;
    rs.columns = {makeColumn(QStringLiteral("FileID"), ColumnType::Int, false),
                  makeColumn(QStringLiteral("FileName")),
                  makeColumn(QStringLiteral("WebLink")),
                  makeColumn(QStringLiteral("WebLink1")),
                  makeColumn(QStringLiteral("WebLink2")),
                  makeColumn(QStringLiteral("WebLink3")),
                  makeColumn(QStringLiteral("WebLink4")),
                  makeColumn(QStringLiteral("WebLink5")),
                  makeColumn(QStringLiteral("MD5Code")),
                  makeColumn(QStringLiteral("SongLength"), ColumnType::Int),
                  makeColumn(QStringLiteral("FileType"), ColumnType::Int),
                  makeColumn(QStringLiteral("FileSize"), ColumnType::Int),
                  makeColumn(QStringLiteral("StarLv"), ColumnType::Int),
                  makeColumn(QStringLiteral("LastDateTime"), ColumnType::DateTime)};
    const auto number = [](const catalogue::NullableInt &v) { return v ? QVariant(qlonglong(*v)) : QVariant(); };
    rs.rows.reserve(rows.size());
    for (const catalogue::CatalogueRow &r : rows) {
        rowset::Row row;
        row.reserve(rs.columns.size());
        row.push_back(qlonglong(r.fileId));
        row.push_back(r.fileName);
        for (const QString &link : r.webLinks)
            row.push_back(link);
        row.push_back(r.md5Code);
        row.push_back(number(r.songLength));
        row.push_back(number(r.fileType));
        row.push_back(number(r.fileSize));
        row.push_back(number(r.starLv));
        if (r.lastDateTime.isEmpty())
            row.push_back(QVariant());
        else {
            QDateTime when = QDateTime::fromString(r.lastDateTime, Qt::ISODate);
            when.setTimeSpec(Qt::UTC);
            row.push_back(when.isValid() ? QVariant(QDateTime(when.date(), when.time(), Qt::UTC)) : QVariant(r.lastDateTime));
        }
        rs.rows.push_back(std::move(row));
    }
    return rs;
}

} // namespace tunelix::update
