// Opens the client's view of a large catalogue with its sort, then applies a search
// filter, beside the sqlite3 command-line tool running the same select on the same file.
//
//   catalogue_view_bench [--rows N] [--runs K] [--db PATH]
//
// Prints milliseconds (median of K runs) and the peak resident memory of this process.
#include "catalogue/CatalogueDatabase.h"
#include "catalogue/CatalogueWriter.h"
#include "catalogue/TxDataModule.h"
#include "extlib/LinkCodec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tunelix;

namespace {

// VmHWM of this process image (getrusage's maximum survives exec, so it would count
// the building parent).
long peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void buildCatalogue(const QString &path, int rows)
{
    catalogue::CatalogueDatabase::create(path);
    catalogue::CatalogueDatabase db(path, {});
    std::vector<catalogue::CatalogueRow> batch;
    const char *words[] = {"Sunrise", "Rain", "夜曲", "Don't Stop", "Morning", "Bell", "Echo", "River"};
    for (int id = 1; id <= rows; ++id) {
        catalogue::CatalogueRow row;
        row.fileId = id;
        row.fileName = QStringLiteral("[Tunelix]%1 %2.mp3").arg(QString::fromUtf8(words[id % 8])).arg(id);
        row.songLength = 20 + id % 200;
        row.starLv = id % 5;
        row.fileSize = 100000 + id;
        row.fileType = 1;
        const QByteArray key = extlib::linkKey(id);
        for (int l = 0; l < 3; ++l) {
            const QByteArray address = QByteArray("http://127.0.0.")
                                           .append(QByteArray::number(l + 1))
                                           .append("/Ring/")
                                           .append(QByteArray::number(id))
                                           .append(".mp3");
            row.webLinks[static_cast<size_t>(l)] = QString::fromLatin1(extlib::encodeLink(address, key));
        }
        row.md5Code = QStringLiteral("%1").arg(id, 32, 16, QLatin1Char('0'));
        row.fileState = id % 3 == 0 ? 1 : 0;
        row.bookId = id / 1000;
        row.isNew = id > rows - 500 ? 1 : 0;
        row.lastDateTime = QStringLiteral("2026-12-01T10:00:00");
        batch.push_back(std::move(row));
    }
    catalogue::insertRows(db.db(), batch);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int rows = 100000;
    int runs = 5;
    QString dbPath;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--rows"))
            rows = args[i + 1].toInt();
        else if (args[i] == QStringLiteral("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == QStringLiteral("--db"))
            dbPath = args[i + 1];
    }

    QTemporaryDir dir;
    if (dbPath.isEmpty())
        dbPath = dir.filePath(QStringLiteral("local.mdb"));
    if (!QFile::exists(dbPath)) {
        std::printf("building a catalogue of %d rows at %s\n", rows, qPrintable(dbPath));
        buildCatalogue(dbPath, rows);
        // Measure in a fresh process, so that building leaves nothing in the peak memory.
        std::fflush(stdout);
        return QProcess::execute(QCoreApplication::applicationFilePath(),
                                 {QStringLiteral("--db"), dbPath, QStringLiteral("--runs"), QString::number(runs)});
    }
    const long rssBefore = peakRssKb();

    std::vector<double> viewMs, filterMs, cliMs;
    int shown = 0, matched = 0;
    // Interleave our view and the command-line tool so that both see the same cache state.
    for (int run = 0; run < runs; ++run) {
        {
            QElapsedTimer t;
            t.start();
            QProcess cli;
            cli.setStandardOutputFile(QProcess::nullDevice());
            cli.start(QStringLiteral("sqlite3"),
                      {dbPath, QStringLiteral("select * from RngFileInfo where 1=1 order by FileID desc;")});
            cli.waitForFinished(-1);
            cliMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
        catalogue::TTxDataModule data(dbPath);
        QElapsedTimer t;
        t.start();
        data.openView(catalogue::TTxDataModule::allRowsStatement());
        viewMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        shown = data.qry1()->recordCount();

        t.restart();
        data.qry1()->setFilterText(QStringLiteral("sunrise 9"));
        data.qry1()->setFiltered(true);
        filterMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        matched = data.qry1()->recordCount();
    }

    const double view = median(viewMs), cli = median(cliMs), filter = median(filterMs);
    std::printf("rows %d, runs %d (medians)\n", shown, runs);
    std::printf("open view + sort : %8.1f ms\n", view);
    std::printf("sqlite3 CLI      : %8.1f ms   (view / CLI = %.2f, goal <= 2)\n", cli, view / cli);
    std::printf("search filter    : %8.1f ms   (%d rows match, goal <= 100 ms)\n", filter, matched);
    std::printf("peak RSS         : %8.1f MB   (%.1f MB before the first view; goal <= 100 MB)\n",
                static_cast<double>(peakRssKb()) / 1024.0, static_cast<double>(rssBefore) / 1024.0);
    return 0;
}
