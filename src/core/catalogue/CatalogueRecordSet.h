#pragma once

#include "catalogue/CatalogueRow.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace tunelix::catalogue {

// The client's view of the catalogue (the role of the old client-side cursor): the
// rows of a statement held in memory, a sort order, a name filter and a current row.
// The statement is one of the fixed view statements; values never enter it as text:
// the name filter is matched here, anywhere in the stored FileName, letter case
// ignored, with quotes, '%' and '_' taken literally.
// GUI thread only.
class CatalogueRecordSet : public QObject
{
    Q_OBJECT
public:
    // `connection` opens (or returns) the catalogue connection and throws
    // CatalogueError when it cannot.
    explicit CatalogueRecordSet(std::function<QSqlDatabase()> connection, QObject *parent = nullptr);

    void setCommandText(const QString &statement);
    QString commandText() const { return m_commandText; }

    // Reads the statement's rows; throws CatalogueError and stays closed on failure.
    void open();
    void close();
    bool isOpen() const { return m_open; }

    // Only " FileID DESC" and " FileID ASC" (any spacing, any case) are orders the view
    // knows; an empty text means the statement's own order. Throws on anything else.
    void setSort(const QString &sort);
    QString sort() const { return m_sortText; }

    // The search text and whether it is applied; both survive close and open.
    void setFilterText(const QString &text);
    QString filterText() const { return m_filterText; }
    void setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }
    bool passesFilter(const QString &storedFileName) const;

    int recordCount() const { return static_cast<int>(m_visible.size()); }
    bool isEmpty() const { return m_visible.empty(); }
    const ViewRow &rowAt(int index) const { return m_rows[m_visible[static_cast<size_t>(index)]]; }

    // The current row, or null when the view is empty or closed.
    const ViewRow *current() const;
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);
    // 1-based record number of the current row; 0 when there is none.
    int recNo() const { return m_current + 1; }
    // Throws CatalogueError when the number is outside 1..recordCount().
    void setRecNo(int recNo);

signals:
    void aboutToReset();
    void reset();
    void currentChanged(int index);

private:
    void rebuildVisible();

    std::function<QSqlDatabase()> m_connection;
    QString m_commandText;
    QString m_sortText;
    int m_sortOrder = 0; // 0 none, 1 ascending, -1 descending
    QString m_filterText;
    bool m_filtered = false;
    bool m_open = false;
    std::vector<ViewRow> m_rows;      // in statement order
    std::vector<int> m_visible;       // indexes into m_rows, sorted and filtered
    int m_current = -1;
};

} // namespace tunelix::catalogue
