#pragma once

#include <QString>

#include <array>
#include <optional>

namespace tunelix::catalogue {

using NullableInt = std::optional<qint32>;

// What the client's view keeps in memory of a row: the columns the grids show and
// the ones its handlers read often. The wide texts (links, checksum, author) are read
// by FileID when asked for, which keeps a large catalogue small in memory.
struct ViewRow
{
    qint32 fileId = 0;
    QString fileName;        // null FileName reads as empty
    NullableInt songLength;
    NullableInt starLv;
    NullableInt fileSize;
    NullableInt fileState;
    NullableInt bookId;
    NullableInt isNew;
};

// A whole row, as the download look-up and the tools read it.
struct CatalogueRow
{
    qint32 fileId = 0;
    QString fileName;
    NullableInt songLength;
    NullableInt starLv;
    QString authorName;
    QString filePath;
    NullableInt fileSize;
    NullableInt fileType;
    // WebLink, WebLink1 ... WebLink5, as stored (not trimmed).
    std::array<QString, 6> webLinks;
    QString md5Code;
    NullableInt fileState;
    NullableInt bookId;
    NullableInt isNew;
    QString lastDateTime;
};

} // namespace tunelix::catalogue
