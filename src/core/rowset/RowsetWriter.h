#pragma once

#include "rowset/Rowset.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace tunelix::rowset {

// Writes recordsets in ADO's XML persistence form, for the project's own tools (the
// catalogue publisher writes daily files and ver.xml with it) and tests. Any thread.
//
// Usage:
//     rowset::Rowset rs;
//     rs.columns = {rowset::makeColumn(QStringLiteral("FileID"), rowset::ColumnType::Int),
//                   rowset::makeColumn(QStringLiteral("FileName"))};
//     rs.rows.push_back({QVariant(qlonglong(7)), QVariant(QStringLiteral("Don't Stop.mp3"))});
//     rowset::writeRowsetFile(path, rs);
//
// What it writes, and what the caller can rely on:
// - the four namespaces with ADO's prefixes s, dt, rs and z; one row type 'row';
//   columns in the order of `columns`, numbered 1..n by position (Column::number and
//   Column::key are ignored); a name that is not an XML name (a space, a leading digit)
//   is written under an alias c1, c2, ... with the real name in rs:name;
// - a null QVariant is written as an absent attribute (the reader's null); an empty
//   string stays an empty string;
// - values in the text form of valueText(): C-locale numbers, True/False, dates as
//   yyyy-MM-ddTHH:mm:ss, bytes as hex; a value is first converted to the column's type
//   (a QString "12" in an Int column is written as 12, "True" or 1 in a Bool column as
//   True, a "{...}" text in a Uuid column as that uuid), and one that does not convert,
//   or a string with a control character XML cannot carry, throws RowsetError;
// - the five XML special characters are escaped, TAB, CR and LF as character
//   references, so multi-line text survives; the output is UTF-8 without a declaration;
// - rs:data is always written, also with no rows.
// The result reads back with readRowset() to the same columns and values.
Column makeColumn(const QString &name, ColumnType type = ColumnType::String, bool nullable = true);

void writeRowset(QIODevice &out, const Rowset &rowset);
QByteArray rowsetToXml(const Rowset &rowset);
// Writes beside `path` and renames into place, so a reader never sees half a file.
void writeRowsetFile(const QString &path, const Rowset &rowset);

} // namespace tunelix::rowset
