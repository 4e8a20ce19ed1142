#pragma once

#include "catalogue/CatalogueRow.h"

#include <QSqlDatabase>

#include <vector>

namespace tunelix::catalogue {

// Appends whole rows in one transaction, every value bound. For the tools, tests and
// benchmarks that build catalogues; throws CatalogueError and appends nothing on failure.
void insertRows(QSqlDatabase db, const std::vector<CatalogueRow> &rows);

} // namespace tunelix::catalogue
