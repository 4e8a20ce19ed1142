#pragma once

#include "platform/ProgramFolder.h"

#include <QString>

#include <optional>
#include <vector>

namespace tunelix::update {

// One row of the version manifest ver.xml, each column read as text.
struct ManifestEntry
{
    QString link;     // F_Link: the file's address; empty keeps the row out of the file pass
    QString fileName; // F_FileName; a name holding ".daily" is a daily catalogue file
    QString saveDir;  // F_SaveDir: folder relative to the program folder; '\' separates folders
    QString md5;      // F_MD5: compared exactly, letter case included
};

// Loads the manifest; throws rowset::RowsetError when the file is not a loadable
// recordset or lacks one of the four columns. Rows keep the file's order.
std::vector<ManifestEntry> readManifest(const QString &path);

// The text before the first '.', or the whole text when it holds none.
QString TextBeforeDot(const QString &s);

// Whether the row names a daily catalogue file (".daily" anywhere in its name).
bool isDailyFile(const ManifestEntry &entry);

// The two paths of a row under the program folder: the check path (folder + F_SaveDir
// + F_FileName) and the write path (folder + F_SaveDir + "/" + F_FileName); they name
// one file when F_SaveDir is empty or ends with a separator. nullopt when either
// would leave the program folder (an absolute name, a drive, a ".." part) or the name
// is empty: such a row is skipped, never written.
struct EntryPaths
{
    QString checkPath;
    QString writePath;
};
std::optional<EntryPaths> entryPaths(const ProgramFolder &folder, const ManifestEntry &entry);

} // namespace tunelix::update
