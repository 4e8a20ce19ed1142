#pragma once

#include <QString>
#include <QVariant>

#include <stdexcept>
#include <vector>

namespace tunelix::rowset {

// The value kinds a persisted recordset can carry, folded into a small model:
// every integer width is Int (qint64), every exact number is Decimal (kept as its
// text), every string kind is String, dates are naive local date-times.
enum class ColumnType { Int, Double, Decimal, Bool, String, Bytes, DateTime, Uuid };

struct Column
{
    QString key;      // the XML attribute name used in the rows (may be an alias)
    QString name;     // the real column name (rs:name, or the key)
    int number = 0;   // 1-based ordinal
    ColumnType type = ColumnType::String;
    bool nullable = true;
    int maxLength = 0; // 0: not given
    bool fixedLength = false;
    bool isLong = false;
};

// A value is a null QVariant (absent attribute) or, by column type:
// Int qlonglong, Double double, Decimal QString, Bool bool, String QString,
// Bytes QByteArray, DateTime QDateTime (Qt::LocalTime, naive), Uuid QUuid.
using Row = std::vector<QVariant>;

// One recordset in memory: its columns in ordinal order and its live rows in file order.
// A plain value type; any thread may use its own copy.
class Rowset
{
public:
    std::vector<Column> columns;
    std::vector<Row> rows;

    int rowCount() const { return static_cast<int>(rows.size()); }

    // Index of the column with this real name, letter case ignored; -1 when absent.
    int indexOf(const QString &name) const;
    // As indexOf, but throws RowsetError naming the column when it is absent.
    int requireColumn(const QString &name) const;

    // The value's text, as a field reads "as text": empty for null, decimal for numbers
    // (C locale), "True"/"False", "yyyy-MM-ddTHH:mm:ss" (with ".zzz" only when the time
    // has milliseconds), lower-case hex for bytes, "{...}" upper-case for a uuid.
    QString text(int row, int column) const;
    bool isNull(int row, int column) const { return !rows[row][column].isValid(); }
};

// The text form of one value of the given type (see Rowset::text).
QString valueText(const QVariant &value, ColumnType type);

// Index of the column with this real name, letter case ignored; -1 when absent.
int columnIndex(const std::vector<Column> &columns, const QString &name);
// As columnIndex, but throws RowsetError naming the column when it is absent.
int requireColumn(const std::vector<Column> &columns, const QString &name);

// A recordset could not be read (or a column is missing). The message names the file
// and, for a fault inside it, the line and column.
class RowsetError : public std::runtime_error
{
public:
    explicit RowsetError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

} // namespace tunelix::rowset
