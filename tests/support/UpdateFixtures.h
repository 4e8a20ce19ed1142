#pragma once

#include "catalogue/CatalogueRow.h"
#include "rowset/Rowset.h"
#include "support/TempProgramFolder.h"
#include "update/Manifest.h"

#include <httplib.h>

#include <QByteArray>
#include <QString>

#include <map>
#include <string>
#include <vector>

namespace tunelix::test {

// Writes ver.xml into the program folder.
void writeManifest(const TempProgramFolder &folder, const std::vector<update::ManifestEntry> &entries);

// Writes a daily catalogue file (as the publisher does) at `relative` below the folder.
void writeDaily(const TempProgramFolder &folder, const QString &relative,
                const std::vector<catalogue::CatalogueRow> &rows);

// Writes any recordset at `relative` below the folder, creating its folders.
void writeRowsetAt(const TempProgramFolder &folder, const QString &relative, const rowset::Rowset &rs);

// Lower-case MD5 text of some bytes, as the checksum library gives it.
QString md5Hex(const QByteArray &bytes);

// Every row of the catalogue at `path`, by FileID.
std::map<qint32, catalogue::CatalogueRow> readAllRows(const QString &path);

// Serves `body` at `path` (GET and HEAD, with its Content-Length).
void serveBytes(httplib::Server &server, const std::string &path, const QByteArray &body);

} // namespace tunelix::test
