#include "catalogue/SqliteStatement.h"

#include "catalogue/CatalogueError.h"

#include <QSqlDriver>

#include <sqlite3.h>

#include <cstring>

namespace tunelix::catalogue {

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || std::strcmp(handle.typeName(), "sqlite3*") != 0)
        throw CatalogueError(QStringLiteral("The catalogue connection is not an SQLite connection."));
    sqlite3 *raw = *static_cast<sqlite3 *const *>(handle.data());
    if (!raw)
        throw CatalogueError(QStringLiteral("The catalogue connection is not open."));
    return raw;
}

SqliteStatement::SqliteStatement(sqlite3 *db, const char *sql)
    : m_db(db)
{
    if (sqlite3_prepare_v2(m_db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
        fail();
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

void SqliteStatement::fail() const
{
    throw CatalogueError(QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void SqliteStatement::bindNull(int index)
{
    if (sqlite3_bind_null(m_stmt, index + 1) != SQLITE_OK)
        fail();
}

void SqliteStatement::bindInt(int index, qint64 value)
{
    if (sqlite3_bind_int64(m_stmt, index + 1, value) != SQLITE_OK)
        fail();
}

void SqliteStatement::bindText(int index, const QString &text)
{
    static const char16_t empty = 0;
    const void *data = text.isNull() ? static_cast<const void *>(&empty) : static_cast<const void *>(text.utf16());
    if (sqlite3_bind_text16(m_stmt, index + 1, data, int(text.size() * 2), SQLITE_TRANSIENT) != SQLITE_OK)
        fail();
}

void SqliteStatement::bind(int index, const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        bindInt(index, value.toLongLong());
        return;
    default:
        bindText(index, value.toString());
    }
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail();
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

bool SqliteStatement::columnIsNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

QString SqliteStatement::columnText(int column) const
{
    const void *text = sqlite3_column_text16(m_stmt, column);
    if (!text)
        return {};
    return QString::fromUtf16(static_cast<const char16_t *>(text), sqlite3_column_bytes16(m_stmt, column) / 2);
}

qint64 SqliteStatement::columnInt(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

} // namespace tunelix::catalogue
