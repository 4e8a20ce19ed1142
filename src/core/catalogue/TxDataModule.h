#pragma once

#include "catalogue/CatalogueRecordSet.h"
#include "catalogue/CatalogueRow.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace tunelix::catalogue {

class CatalogueDatabase;

// The client's data module: the catalogue connection (con1, opened with the first
// query and kept until the end), the view qry1, the next-file look-up
// (ADOQry_DowdLoad) and the completion statement (ADOQry_Exec).
// GUI thread only: the connection belongs to the thread that opened it.
class TTxDataModule : public QObject
{
    Q_OBJECT
public:
    explicit TTxDataModule(QString databasePath, QObject *parent = nullptr);
    ~TTxDataModule() override;

    // The view statements.
    static QString allRowsStatement();  // " select * from RngFileInfo where 1=1 "
    static QString newRowsStatement();  // the above + " and Isnew=1"
    static QString viewOrder();         // " FileID DESC"

    CatalogueRecordSet *qry1() { return &m_qry1; }

    // Close, set the statement, open, sort by FileID descending. The filter stays.
    // Throws CatalogueError.
    void openView(const QString &statement);

    // Close and reopen with the current statement and filter, then return to the same
    // ordinal row (clamped to the new view). Throws CatalogueError.
    void refreshKeepingPosition();

    // The next-file look-up: the view's statement narrowed to FileID <= `fileId`, the
    // `limit` highest rows, and then the view's filter applied to those rows.
    std::vector<CatalogueRow> rowsAtOrBelow(qint32 fileId, int limit);

    // The completion statement: FileState := 1 for every row with this MD5Code.
    // Returns the number of rows marked.
    int markDownloaded(const QString &md5Code);

    // Every column of one row; none when no row has that FileID.
    std::optional<CatalogueRow> readRow(qint32 fileId);

    QString databasePath() const { return m_databasePath; }

private:
    QSqlDatabase connection();

    QString m_databasePath;
    std::unique_ptr<CatalogueDatabase> m_con1;
    CatalogueRecordSet m_qry1;
};

// Reads the current record of `query` (a "select *" over RngFileInfo) into a row.
CatalogueRow readCatalogueRow(const class QSqlQuery &query);

} // namespace tunelix::catalogue
