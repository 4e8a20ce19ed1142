#pragma once

#include "rowset/RowsetReader.h"

namespace tunelix::rowset {

// readRowsetFile(path, sink) with the parsing on a thread of its own, a few hundred
// rows ahead of the sink: for a sink whose rows cost as much as the parsing (the
// catalogue merge), the two overlap instead of adding up.
//
// To the sink it looks the same as the plain reader: every call on the calling
// thread, the same columns and rows in the same order, and a reading error thrown
// only after every row before it was delivered. An exception from the sink stops the
// parsing thread, which is joined before the exception leaves. Memory stays bounded:
// the parser waits while enough rows are queued.
void readRowsetFileAhead(const QString &path, RowsetSink &sink);

} // namespace tunelix::rowset
