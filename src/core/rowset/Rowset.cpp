#include "rowset/Rowset.h"

#include <QDateTime>
#include <QLocale>
#include <QUuid>

#include <cstdio>

namespace tunelix::rowset {

int columnIndex(const std::vector<Column> &columns, const QString &name)
{
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int requireColumn(const std::vector<Column> &columns, const QString &name)
{
    const int index = columnIndex(columns, name);
    if (index < 0)
        throw RowsetError(QStringLiteral("The recordset has no column '%1'.").arg(name));
    return index;
}

int Rowset::indexOf(const QString &name) const
{
    return columnIndex(columns, name);
}

int Rowset::requireColumn(const QString &name) const
{
    return rowset::requireColumn(columns, name);
}

QString Rowset::text(int row, int column) const
{
    return valueText(rows[row][column], columns[column].type);
}

QString valueText(const QVariant &value, ColumnType type)
{
    if (!value.isValid())
        return {};
    switch (type) {
    case ColumnType::Int:
        return QString::number(value.toLongLong());
    case ColumnType::Double:
        return QLocale::c().toString(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case ColumnType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case ColumnType::Bytes:
        return QString::fromLatin1(value.toByteArray().toHex());
    case ColumnType::DateTime: {
        // By hand: a daily file has one per row, and a format string is parsed per call.
        const QDateTime dt = value.toDateTime();
        const QDate d = dt.date();
        const QTime t = dt.time();
        char buffer[32];
        if (t.msec() != 0)
            std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", d.year(), d.month(), d.day(),
                          t.hour(), t.minute(), t.second(), t.msec());
        else
            std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", d.year(), d.month(), d.day(),
                          t.hour(), t.minute(), t.second());
        return QString::fromLatin1(buffer);
    }
    case ColumnType::Uuid:
        return value.toUuid().toString(QUuid::WithBraces).toUpper();
    case ColumnType::Decimal:
    case ColumnType::String:
        break;
    }
    return value.toString();
}

} // namespace tunelix::rowset
