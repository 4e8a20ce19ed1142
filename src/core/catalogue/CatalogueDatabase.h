#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace tunelix::catalogue {

// One open connection to the catalogue file (SQLite under its old name local.mdb).
// The file must exist and hold RngFileInfo with the columns the programs bind;
// anything else throws CatalogueError and writes nothing into the file.
// WAL and a busy time-out let the client and the updater use the file at once.
// A connection belongs to the thread that opened it.
class CatalogueDatabase
{
public:
    // `requiredColumns` are checked case-insensitively; empty checks only the table.
    CatalogueDatabase(const QString &path, const QStringList &requiredColumns);
    ~CatalogueDatabase();

    CatalogueDatabase(const CatalogueDatabase &) = delete;
    CatalogueDatabase &operator=(const CatalogueDatabase &) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(m_connectionName, false); }
    QString path() const { return m_path; }

    // The columns that the client's view binds, in its order.
    static const QStringList &viewColumns();
    // Every column of RngFileInfo.
    static const QStringList &allColumns();

    // Writes a new, empty catalogue (tools, tests, the install step). Throws when the
    // file exists already or cannot be written.
    static void create(const QString &path);

private:
    QString m_path;
    QString m_connectionName;
};

// Rolls back unless committed; every step's result is checked.
class TransactionGuard
{
public:
    // Deferred: the write lock is taken by the first write. Immediate: it is taken at
    // once (waiting up to the busy time-out), for a transaction that reads before it
    // writes: a deferred one would fail outright if another connection wrote between its
    // first read and its first write.
    enum class Lock { Deferred, Immediate };

    explicit TransactionGuard(QSqlDatabase db, Lock lock = Lock::Deferred);
    ~TransactionGuard();
    TransactionGuard(const TransactionGuard &) = delete;
    TransactionGuard &operator=(const TransactionGuard &) = delete;

    void commit();

private:
    QSqlDatabase m_db;
    bool m_open = false;
};

} // namespace tunelix::catalogue
