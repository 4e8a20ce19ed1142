// Any bytes as a persisted recordset: the reader either refuses with RowsetError or gives
// a recordset whose every value has a text form; what it reads, the writer writes back
// to a document that reads to the same texts.
#include "rowset/RowsetReader.h"
#include "rowset/RowsetWriter.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tunelix::rowset;
    const QByteArray document(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    Rowset rs;
    try {
        rs = readRowset(document);
    } catch (const RowsetError &) {
        return 0;
    }
    for (int r = 0; r < rs.rowCount(); ++r) {
        if (rs.rows[static_cast<size_t>(r)].size() != rs.columns.size())
            std::abort();
        for (int c = 0; c < static_cast<int>(rs.columns.size()); ++c)
            (void)rs.text(r, c);
    }
    QByteArray again;
    try {
        again = rowsetToXml(rs);
    } catch (const RowsetError &) {
        return 0; // a value the writer cannot carry (a control character) is refused, not mangled
    }
    const Rowset back = readRowset(again);
    if (back.rowCount() != rs.rowCount() || back.columns.size() != rs.columns.size())
        std::abort();
    for (int r = 0; r < rs.rowCount(); ++r) {
        for (int c = 0; c < static_cast<int>(rs.columns.size()); ++c) {
            if (back.text(r, c) != rs.text(r, c))
                std::abort();
        }
    }
    return 0;
}
