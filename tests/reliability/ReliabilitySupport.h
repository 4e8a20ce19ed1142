#pragma once

#include "catalogue/CatalogueRow.h"
#include "support/TempProgramFolder.h"

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tunelix::test::reliability {

// Deterministic pseudo-random bytes: each seed gives another file of the same size.
QByteArray patternBytes(int size, int seed);

// A catalogue row for `content`, its WebLink columns encoded from `urls`.
catalogue::CatalogueRow linkedRow(qint32 fileId, const QString &fileName, const QByteArray &content,
                                  const std::vector<std::string> &urls);

// `count` sample rows of `book` from FileID `firstId` on, named "<prefix> <FileID>.mp3",
// all last changed at `lastDateTime`.
std::vector<catalogue::CatalogueRow> bookRows(qint32 firstId, int count, const QString &prefix, int book,
                                              const QString &lastDateTime);

// "ok" when SQLite's integrity check passes, else its first lines or the open error.
// Opens its own connection, so any thread that owns no other connection to the file may call it.
QString integrityCheck(const QString &databasePath);
// Rows of RngFileInfo, all or those with FileID <= maxFileId; -1 when unreadable.
qint64 rowCount(const QString &databasePath, qint64 maxFileId = -1);

// Copies a built program into the folder, so that it treats the folder as its own, with
// the skin pictures beside it (without them the updater's window stops at an error box).
QString installProgram(const TempProgramFolder &folder, const QString &builtPath, const QString &name);

// A value from the environment (the long scripts raise the counts), or the fallback.
int envInt(const char *name, int fallback);

// One generator per test binary; its seed (RELIABILITY_SEED or the clock) is printed so
// a failing run can be repeated.
std::mt19937 &rng();
int randomBetween(int low, int high);

// Starts `program` and sends SIGKILL after `delayMs` unless it ended before.
// Returns true when the kill hit a running process.
bool runAndKill(QProcess &process, const QString &program, const QStringList &arguments, int delayMs);

// The process environment of kelvox runs: offscreen, the manifest at `manifestUrl`.
QProcessEnvironment kelvoxEnvironment(const QString &manifestUrl);

} // namespace tunelix::test::reliability
