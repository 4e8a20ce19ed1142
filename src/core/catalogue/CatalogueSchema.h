#pragma once

#include <QString>

namespace tunelix::catalogue {

// The SQL that creates an empty catalogue (table RngFileInfo with its defaults).
QString schemaSql();

} // namespace tunelix::catalogue
