// The updater's two heavy passes, measured as whole processes (bench/update/run.sh
// runs them beside the sqlite3 command-line tool and md5sum):
//   update_bench prepare-merge DIR ROWS   catalogue of ROWS rows (DIR/base.mdb), a daily
//                                         file of ROWS rows, half changed and half new,
//                                         ver.xml listing it, and DIR/apply.sql: the same
//                                         rows as plain statements in one transaction
//   update_bench merge DIR                the merge pass and the new flags on DIR/local.mdb
//   update_bench read FILE                only reading a recordset file
//   update_bench prepare-files DIR MB N   N files of MB/N megabytes, listed as current
//   update_bench filepass DIR             the file pass over them (nothing to fetch)
// Each run prints what it did, its time and its peak resident memory.
#include "catalogue/CatalogueDatabase.h"
#include "catalogue/CatalogueWriter.h"
#include "rowset/RowsetReader.h"
#include "rowset/RowsetWriter.h"
#include "update/FilePass.h"
#include "update/HttpFetcher.h"
#include "update/Manifest.h"
#include "update/MergePass.h"
#include "update/Publish.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

using namespace tunelix;

namespace {

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

catalogue::CatalogueRow makeRow(qint32 id, int version)
{
    catalogue::CatalogueRow r;
    r.fileId = id;
    r.fileName = QStringLiteral("Song %1 take %2.mp3").arg(id).arg(version);
    r.songLength = 30 + id % 200;
    r.starLv = id % 4;
    r.fileSize = 100000 + id;
    r.fileType = 1;
    for (int i = 0; i < 6; ++i)
        r.webLinks[size_t(i)] = i < 2 ? QStringLiteral("aHR0cDovL21pcnJvciVkLmV4YW1wbGUvcmluZ3MvJWQubXAz-%1-%2-%3").arg(i).arg(id).arg(version)
                                      : QString();
    r.md5Code = QString::fromLatin1(
        QCryptographicHash::hash(QByteArray::number(id * 7 + version), QCryptographicHash::Md5).toHex());
    r.lastDateTime = QStringLiteral("2024-05-%1T10:00:00").arg(version, 2, 10, QLatin1Char('0'));
    return r;
}

QString sqlText(const QString &s)
{
    QString q = s;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

int prepareMerge(const QString &dir, int rows)
{
    QDir().mkpath(dir + QStringLiteral("/daily"));
    const QString base = dir + QStringLiteral("/base.mdb");
    QFile::remove(base);
    catalogue::CatalogueDatabase::create(base);
    {
        std::vector<catalogue::CatalogueRow> existing;
        existing.reserve(size_t(rows));
        for (int id = 1; id <= rows; ++id) {
            catalogue::CatalogueRow r = makeRow(id, 1);
            r.bookId = 1;
            r.isNew = 1;
            r.fileState = 0;
            existing.push_back(r);
        }
        catalogue::CatalogueDatabase db(base, {});
        catalogue::insertRows(db.db(), existing);
    }
    // Half of the daily rows change existing rows (a later time), half are new.
    std::vector<catalogue::CatalogueRow> daily;
    daily.reserve(size_t(rows));
    for (int i = 0; i < rows; ++i)
        daily.push_back(makeRow(rows / 2 + 1 + i, 2));
    rowset::writeRowsetFile(dir + QStringLiteral("/daily/2.daily"), update::dailyRowset(daily));
    rowset::writeRowsetFile(dir + QStringLiteral("/ver.xml"),
                            update::manifestRowset({{QString(), QStringLiteral("2.daily"), QStringLiteral("daily\\"),
                                                     QString()}}));

    QFile sql(dir + QStringLiteral("/apply.sql"));
    if (!sql.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    QByteArray out("BEGIN;\n");
    for (const catalogue::CatalogueRow &r : daily) {
        QString line;
        if (r.fileId <= rows) {
            line = QStringLiteral("UPDATE RngFileInfo SET FileName=%1,WebLink=%2,WebLink1=%3,WebLink2=%4,WebLink3=%5,"
                                  "WebLink4=%6,WebLink5=%7,MD5Code=%8,SongLength=%9,FileSize=%10,LastDateTime=%11,"
                                  "StarLv=%12 WHERE FileID=%13;\n")
                       .arg(sqlText(r.fileName), sqlText(r.webLinks[0]), sqlText(r.webLinks[1]),
                            sqlText(r.webLinks[2]), sqlText(r.webLinks[3]), sqlText(r.webLinks[4]),
                            sqlText(r.webLinks[5]), sqlText(r.md5Code))
                       .arg(*r.songLength)
                       .arg(*r.fileSize)
                       .arg(sqlText(r.lastDateTime))
                       .arg(*r.starLv)
                       .arg(r.fileId);
        } else {
            line = QStringLiteral("INSERT INTO RngFileInfo (FileID,FileName,WebLink,WebLink1,WebLink2,WebLink3,WebLink4,"
                                  "WebLink5,MD5Code,SongLength,FileType,FileSize,StarLv,LastDateTime,BookID) VALUES "
                                  "(%1,%2,%3,%4,%5,%6,%7,%8,%9,")
                       .arg(r.fileId)
                       .arg(sqlText(r.fileName), sqlText(r.webLinks[0]), sqlText(r.webLinks[1]),
                            sqlText(r.webLinks[2]), sqlText(r.webLinks[3]), sqlText(r.webLinks[4]),
                            sqlText(r.webLinks[5]), sqlText(r.md5Code))
                   + QStringLiteral("%1,%2,%3,%4,%5,2);\n")
                         .arg(*r.songLength)
                         .arg(*r.fileType)
                         .arg(*r.fileSize)
                         .arg(*r.starLv)
                         .arg(sqlText(r.lastDateTime));
        }
        out.append(line.toUtf8());
    }
    out.append("UPDATE RngFileInfo SET isnew=-1 WHERE isnew=1;\nUPDATE RngFileInfo SET isnew=1 WHERE bookid=2;\nCOMMIT;\n");
    sql.write(out);
    std::printf("prepared %d catalogue rows and %d daily rows in %s\n", rows, rows, qPrintable(dir));
    return 0;
}

int merge(const QString &dir)
{
    const ProgramFolder folder(dir);
    QElapsedTimer timer;
    timer.start();
    const auto manifest = update::readManifest(folder.manifestFile());
    const update::MergeStats stats = update::runMergePass(folder, manifest);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const qint64 rows = stats.appended + stats.overwritten + stats.kept;
    std::printf("merge: %lld rows (%lld appended, %lld overwritten, %lld kept) in %.3f s = %.0f rows/s; "
                "peak RSS %ld KiB\n",
                static_cast<long long>(rows), static_cast<long long>(stats.appended),
                static_cast<long long>(stats.overwritten), static_cast<long long>(stats.kept), seconds,
                double(rows) / seconds, peakRssKb());
    return rows > 0 ? 0 : 1;
}

int readOnly(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    const rowset::Rowset rs = rowset::readRowsetFile(path);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("read: %d rows in %.3f s = %.0f rows/s; peak RSS %ld KiB\n", rs.rowCount(), seconds,
                rs.rowCount() / seconds, peakRssKb());
    return 0;
}

int prepareFiles(const QString &dir, int totalMb, int files)
{
    QDir().mkpath(dir + QStringLiteral("/files"));
    std::vector<update::ManifestEntry> entries;
    const qint64 size = qint64(totalMb) * 1024 * 1024 / files;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (int f = 0; f < files; ++f) {
        const QString name = QStringLiteral("f%1.bin").arg(f, 3, 10, QLatin1Char('0'));
        QFile file(dir + QStringLiteral("/files/") + name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        QCryptographicHash hash(QCryptographicHash::Md5);
        for (qint64 written = 0; written < size;) {
            auto *words = reinterpret_cast<quint32 *>(block.data());
            QRandomGenerator::global()->fillRange(words, block.size() / 4);
            const qint64 n = std::min<qint64>(block.size(), size - written);
            file.write(block.constData(), n);
            hash.addData(QByteArrayView(block.constData(), n));
            written += n;
        }
        entries.push_back({QStringLiteral("http://127.0.0.1:9/") + name, name, QStringLiteral("files\\"),
                           QString::fromLatin1(hash.result().toHex())});
    }
    rowset::writeRowsetFile(dir + QStringLiteral("/ver.xml"), update::manifestRowset(entries));
    std::printf("prepared %d files of %lld bytes in %s/files\n", files, static_cast<long long>(size), qPrintable(dir));
    return 0;
}

int filePass(const QString &dir)
{
    const ProgramFolder folder(dir);
    QElapsedTimer timer;
    timer.start();
    const auto manifest = update::readManifest(folder.manifestFile());
    update::HttpFetcher fetcher;
    const update::FilePassResult r = update::runFilePass(folder, manifest, fetcher, {});
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    qint64 bytes = 0;
    for (const auto &e : manifest)
        bytes += QFileInfo(folder.file(e.saveDir + e.fileName)).size();
    std::printf("file pass: %d of %zu files current, %lld bytes in %.3f s = %.1f MB/s; peak RSS %ld KiB\n", r.current,
                manifest.size(), static_cast<long long>(bytes), seconds, double(bytes) / 1e6 / seconds, peakRssKb());
    return r.current == int(manifest.size()) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    try {
        if (args.size() == 4 && args[1] == QLatin1String("prepare-merge"))
            return prepareMerge(args[2], args[3].toInt());
        if (args.size() == 3 && args[1] == QLatin1String("read"))
            return readOnly(args[2]);
        if (args.size() == 3 && args[1] == QLatin1String("merge"))
            return merge(args[2]);
        if (args.size() == 5 && args[1] == QLatin1String("prepare-files"))
            return prepareFiles(args[2], args[3].toInt(), args[4].toInt());
        if (args.size() == 3 && args[1] == QLatin1String("filepass"))
            return filePass(args[2]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "update_bench: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: see the top of bench/update/UpdateBench.cpp\n");
    return 2;
}
