#pragma once

#include "catalogue/CatalogueRow.h"

#include <QString>

namespace tunelix::catalogue {

// The stored FileName without every ".mp3", then without every "[Tunelix]"
// (both exact, case-sensitive, in that order).
QString displayFileName(const QString &stored);

// SongLength seconds as "nn:ss", minutes within the hour; null counts as 0.
QString displaySongLength(NullableInt seconds);

// Picture lists of the marker columns.
enum class MarkerList { StarLv, FileState, IsNew };

int pictureCount(MarkerList list);

// Which picture of the list a cell value draws; none for null, negative or beyond the list.
std::optional<int> markerPicture(MarkerList list, NullableInt value);

} // namespace tunelix::catalogue
