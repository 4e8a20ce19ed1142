#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace tunelix::catalogue {

// The SQLite connection under a Qt SQL connection (the QSQLITE driver), for the hot
// paths (the view's read, the merge's per-row statements): Qt's per-call and per-value
// overhead there costs more than the statements themselves. Throws CatalogueError for
// any other driver.
sqlite3 *sqliteHandle(const QSqlDatabase &db);

// One prepared statement, finalized with the object; it must go before its connection.
// Every call checks its result and throws CatalogueError with SQLite's
// message. Indexes are 0-based. Thread of the connection only.
class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *db, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    void bindNull(int index);
    void bindInt(int index, qint64 value);
    void bindText(int index, const QString &text); // a null QString binds as an empty text
    // A null QVariant binds NULL; integers as integers; anything else as its text.
    void bind(int index, const QVariant &value);

    // true while rows come; false when done.
    bool step();
    // Ready for the next binding and step.
    void reset();

    bool columnIsNull(int column) const;
    QString columnText(int column) const;
    qint64 columnInt(int column) const;

private:
    [[noreturn]] void fail() const;

    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

} // namespace tunelix::catalogue
