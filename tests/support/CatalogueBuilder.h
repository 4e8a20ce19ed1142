#pragma once

#include "catalogue/CatalogueRow.h"

#include <QString>

#include <vector>

namespace tunelix::test {

// A catalogue row with the given id and name and plausible other values.
catalogue::CatalogueRow sampleRow(qint32 fileId, const QString &fileName);

// Writes the rows into the catalogue file at `path` (created when missing).
void writeCatalogue(const QString &path, const std::vector<catalogue::CatalogueRow> &rows);

} // namespace tunelix::test
