#include "support/UpdateFixtures.h"

#include "catalogue/CatalogueDatabase.h"
#include "catalogue/TxDataModule.h"
#include "rowset/RowsetWriter.h"
#include "update/Publish.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>

#include <stdexcept>

namespace tunelix::test {

void writeManifest(const TempProgramFolder &folder, const std::vector<update::ManifestEntry> &entries)
{
    rowset::writeRowsetFile(folder.folder().manifestFile(), update::manifestRowset(entries));
}

void writeRowsetAt(const TempProgramFolder &folder, const QString &relative, const rowset::Rowset &rs)
{
    const QString path = folder.path(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    rowset::writeRowsetFile(path, rs);
}

void writeDaily(const TempProgramFolder &folder, const QString &relative,
                const std::vector<catalogue::CatalogueRow> &rows)
{
    writeRowsetAt(folder, relative, update::dailyRowset(rows));
}

QString md5Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

std::map<qint32, catalogue::CatalogueRow> readAllRows(const QString &path)
{
    std::map<qint32, catalogue::CatalogueRow> rows;
    catalogue::CatalogueDatabase db(path, {});
    QSqlQuery query(db.db());
    if (!query.exec(QStringLiteral("select * from RngFileInfo")))
        throw std::runtime_error("cannot read the catalogue");
    while (query.next()) {
        const catalogue::CatalogueRow row = catalogue::readCatalogueRow(query);
        rows[row.fileId] = row;
    }
    return rows;
}

void serveBytes(httplib::Server &server, const std::string &path, const QByteArray &body)
{
    const std::string content(body.constData(), std::size_t(body.size()));
    server.Get(path, [content](const httplib::Request &, httplib::Response &res) {
        res.set_content(content, "application/octet-stream");
    });
}

} // namespace tunelix::test
