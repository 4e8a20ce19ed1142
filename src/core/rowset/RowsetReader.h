#pragma once

#include "rowset/Rowset.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace tunelix::rowset {

// Reads a recordset that ADO persisted in its XML form (manifest ver.xml, daily
// catalogue files). Any thread; no shared state.
//
// What it accepts, deliberately:
// - elements matched by namespace URI and local name, never by prefix;
// - columns declared inside the row ElementType or at schema level and referenced by
//   s:attribute; aliases (name + rs:name); ordering by rs:number; the type on
//   s:datatype or on the AttributeType itself, a missing type meaning a string;
//   hidden provider columns (rs:hidden='true') are left out;
// - a column is nullable unless rs:nullable or rs:maybenull says 'false'; an absent
//   attribute is null, and an absent non-nullable value is an error;
// - values parsed strictly and culture-invariantly; a date-time keeps the clock time as
//   written (a zone suffix is accepted and dropped, since the catalogue holds naive times);
// - pending changes: the live table is the plain rows, the inserted rows, and each
//   updated row (its original overlaid with the new image's values), in file order;
//   deleted rows are not live.
// What it refuses with a RowsetError naming file, line and column: malformed XML,
// a missing schema or data section, an unknown type, a value that does not parse,
// a hierarchical recordset (nested ElementType or child elements of a row), and the
// binary ADTG form (recognised by its first bytes, whatever the file's name).
Rowset readRowsetFile(const QString &path);
Rowset readRowset(QIODevice &device, const QString &sourceName);

// Receives a recordset while it is read, so that a large file never has to be held
// whole: `columns` once, when the schema has been read, then `row` for each live row in
// file order (the same rows readRowset would keep). An exception thrown by the sink
// ends the reading and leaves the reader as it is.
class RowsetSink
{
public:
    virtual ~RowsetSink() = default;
    virtual void columns(const std::vector<Column> &columns) = 0;
    // `row` is only valid during the call.
    virtual void row(const Row &row) = 0;
};

// The streaming forms: the same checks and errors, but an error may come after some
// rows have reached the sink.
void readRowsetFile(const QString &path, RowsetSink &sink);
void readRowset(QIODevice &device, const QString &sourceName, RowsetSink &sink);
Rowset readRowset(const QByteArray &document, const QString &sourceName = QStringLiteral("recordset"));

} // namespace tunelix::rowset
