#include "catalogue/CatalogueDatabase.h"

#include "catalogue/CatalogueError.h"
#include "catalogue/CatalogueSchema.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace tunelix::catalogue {

namespace {

QAtomicInt connectionCounter;

constexpr int kBusyTimeoutMs = 15000;

QString nextConnectionName()
{
    return QStringLiteral("catalogue-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
}

void exec(QSqlQuery &query, const QString &sql)
{
    if (!query.exec(sql))
        throw CatalogueError(query.lastError().text());
}

} // namespace

const QStringList &CatalogueDatabase::viewColumns()
{
    static const QStringList columns = {
        QStringLiteral("FileID"),     QStringLiteral("FileName"),   QStringLiteral("SongLength"),
        QStringLiteral("StarLv"),     QStringLiteral("AuthorName"), QStringLiteral("FilePath"),
        QStringLiteral("FileSize"),   QStringLiteral("FileType"),   QStringLiteral("WebLink"),
        QStringLiteral("MD5Code"),    QStringLiteral("FileState"),  QStringLiteral("BookID"),
        QStringLiteral("IsNew"),
    };
    return columns;
}

const QStringList &CatalogueDatabase::allColumns()
{
    static const QStringList columns = viewColumns() + QStringList{
        QStringLiteral("WebLink1"), QStringLiteral("WebLink2"), QStringLiteral("WebLink3"),
        QStringLiteral("WebLink4"), QStringLiteral("WebLink5"), QStringLiteral("LastDateTime"),
    };
    return columns;
}

CatalogueDatabase::CatalogueDatabase(const QString &path, const QStringList &requiredColumns)
    : m_path(path), m_connectionName(nextConnectionName())
{
    // SQLite would create a missing file; the programs expect the shipped one.
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw CatalogueError(QStringLiteral("Could not find file '%1'.").arg(path));

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!db.open()) {
            const QString message = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            throw CatalogueError(message);
        }
    }

    try {
        QSqlQuery query(db());
        // Reading the table's columns touches nothing; only a valid catalogue gets WAL.
        exec(query, QStringLiteral("PRAGMA table_info(RngFileInfo)"));
        QSet<QString> present;
        while (query.next())
            present.insert(query.value(1).toString().toLower());
        if (present.isEmpty())
            throw CatalogueError(QStringLiteral("The table 'RngFileInfo' was not found in '%1'.").arg(path));
        for (const QString &column : requiredColumns) {
            if (!present.contains(column.toLower()))
                throw CatalogueError(QStringLiteral("Field '%1' not found.").arg(column));
        }
        exec(query, QStringLiteral("PRAGMA journal_mode"));
        if (query.next() && query.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) != 0)
            exec(query, QStringLiteral("PRAGMA journal_mode=WAL"));
    } catch (...) {
        db().close();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw;
    }
}

CatalogueDatabase::~CatalogueDatabase()
{
    {
        QSqlDatabase database = db();
        if (database.isOpen())
            database.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

void CatalogueDatabase::create(const QString &path)
{
    if (QFileInfo::exists(path))
        throw CatalogueError(QStringLiteral("'%1' exists already.").arg(path));
    const QString name = nextConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            const QString message = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw CatalogueError(message);
        }
        QString failure;
        {
            QSqlQuery query(db);
            const QStringList statements = schemaSql().split(QLatin1Char(';'), Qt::SkipEmptyParts);
            for (const QString &statement : statements) {
                QString sql;
                for (const QString &line : statement.split(QLatin1Char('\n'))) {
                    const QString code = line.section(QStringLiteral("--"), 0, 0).trimmed();
                    if (!code.isEmpty())
                        sql += code + QLatin1Char(' ');
                }
                if (sql.trimmed().isEmpty())
                    continue;
                if (!query.exec(sql)) {
                    failure = query.lastError().text();
                    break;
                }
            }
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        if (!failure.isEmpty())
            throw CatalogueError(failure);
    }
}

TransactionGuard::TransactionGuard(QSqlDatabase db, Lock lock)
    : m_db(std::move(db))
{
    if (lock == Lock::Immediate) {
        QSqlQuery begin(m_db);
        if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
            throw CatalogueError(begin.lastError().text());
    } else if (!m_db.transaction()) {
        throw CatalogueError(m_db.lastError().text());
    }
    m_open = true;
}

TransactionGuard::~TransactionGuard()
{
    if (m_open)
        m_db.rollback();
}

void TransactionGuard::commit()
{
    if (!m_open)
        return;
    if (!m_db.commit())
        throw CatalogueError(m_db.lastError().text());
    m_open = false;
}

} // namespace tunelix::catalogue
