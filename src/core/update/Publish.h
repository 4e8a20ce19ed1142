#pragma once

#include "catalogue/CatalogueRow.h"
#include "rowset/Rowset.h"
#include "update/Manifest.h"

#include <vector>

namespace tunelix::update {

// The recordsets the update server publishes, built from values: for the catalogue
// publisher tool, the tests and the benchmarks. Write them with rowset::writeRowsetFile.
// Any thread.

// ver.xml: the columns F_Link, F_FileName, F_SaveDir, F_MD5 (strings), one row per entry.
rowset::Rowset manifestRowset(const std::vector<ManifestEntry> &entries);

// A daily file ("<book>.daily"): FileID, FileName, WebLink ... WebLink5, MD5Code,
// SongLength, FileType, FileSize, StarLv, LastDateTime, typed as ADO saves them from
// the catalogue (integers, strings, a date-time). Null numbers and an empty
// LastDateTime are written as absent values. BookID, IsNew and the client's own
// columns are not part of a daily file.
rowset::Rowset dailyRowset(const std::vector<catalogue::CatalogueRow> &rows);

} // namespace tunelix::update
