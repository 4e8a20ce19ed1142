// The client's main window over a large catalogue: time from process start to the
// first painted grid, peak memory, and the time of each page while scrolling the
// list from top to bottom.
//
//   client_window_bench make DIR [ROWS]   writes DIR/local.mdb with ROWS rows (100000)
//   client_window_bench run DIR           (offscreen unless QT_QPA_PLATFORM says otherwise)
//
// Goals: first paint <= 500 ms, peak memory <= 150 MB, no page over 16 ms.
#include "catalogue/CatalogueDatabase.h"
#include "catalogue/CatalogueWriter.h"
#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "client/MainFrm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <vector>

using namespace tunelix;

namespace {

// Milliseconds since this process started, from the kernel's start time (10 ms steps).
double msSinceProcessStart()
{
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Field 22 (starttime) counts from the end of the command name in parentheses.
    const auto close = text.rfind(')');
    unsigned long long startTicks = 0;
    {
        std::istringstream rest(text.substr(close + 2));
        std::string field;
        for (int i = 3; i <= 22 && rest >> field; ++i) {
            if (i == 22)
                startTicks = std::stoull(field);
        }
    }
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    return nowMs - startTicks * 1000.0 / sysconf(_SC_CLK_TCK);
}

// CPU time of this process so far (user + system), which a loaded machine does not inflate.
double cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1000.0 + usage.ru_utime.tv_usec / 1000.0 + usage.ru_stime.tv_sec * 1000.0
        + usage.ru_stime.tv_usec / 1000.0;
}

long peakMemoryKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int make(const QString &dir, int rows)
{
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/local.mdb");
    QFile::remove(path);
    catalogue::CatalogueDatabase::create(path);
    catalogue::CatalogueDatabase db(path, {});
    std::vector<catalogue::CatalogueRow> batch;
    for (int id = 1; id <= rows; ++id) {
        catalogue::CatalogueRow row;
        row.fileId = id;
        row.fileName = QStringLiteral("[Tunelix]铃声 %1 - Ringtone number %1.mp3").arg(id);
        row.songLength = 15 + id % 50;
        row.starLv = id % 4;
        row.fileSize = 200000 + id;
        row.fileType = 1;
        for (auto &link : row.webLinks)
            link = QStringLiteral("encoded-link-%1").arg(id);
        row.md5Code = QStringLiteral("%1").arg(id, 32, 16, QLatin1Char('0'));
        row.fileState = id % 3 == 0 ? 1 : 0;
        row.bookId = 1 + id / 1000;
        row.isNew = id > rows - 500 ? 1 : 0;
        batch.push_back(std::move(row));
        if (batch.size() == 5000) {
            catalogue::insertRows(db.db(), batch);
            batch.clear();
        }
    }
    if (!batch.empty())
        catalogue::insertRows(db.db(), batch);
    std::printf("wrote %d rows to %s\n", rows, qPrintable(path));
    return 0;
}

int run(const QString &dir)
{
    const double atRun = msSinceProcessStart();
    ProgramFolder folder(dir);
    client::ClientContext context(folder);
    catalogue::TTxDataModule data(folder.catalogueDatabase());
    client::TmainFrm mainFrm(context, data);
    const double built = msSinceProcessStart();
    mainFrm.FormCreate();
    const double created = msSinceProcessStart();

    bool painted = false;
    struct PaintWatch : QObject
    {
        bool *painted;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint)
                *painted = true;
            return false;
        }
    } watch;
    watch.painted = &painted;
    mainFrm.wwDBGrid1->viewport()->installEventFilter(&watch);
    mainFrm.show();
    QElapsedTimer guard;
    guard.start();
    while (!painted && guard.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double firstPaint = msSinceProcessStart();
    const double firstPaintCpu = cpuMs();
    if (!painted) {
        std::fprintf(stderr, "the grid never painted\n");
        return 1;
    }
    const int rows = data.qry1()->recordCount();

    // Scroll a page at a time, repainting the three grids each time.
    QScrollBar *bar = mainFrm.wwDBGrid1->verticalScrollBar();
    std::vector<double> pages;
    double worstCpu = 0;
    int overCpu = 0;
    QElapsedTimer t;
    auto threadCpuMs = [] {
        timespec ts {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
    };
    while (bar->value() < bar->maximum()) {
        const double cpuBefore = threadCpuMs();
        t.start();
        bar->setValue(bar->value() + bar->pageStep());
        mainFrm.wwDBGrid2->viewport()->repaint();
        mainFrm.wwDBGrid3->viewport()->repaint();
        mainFrm.wwDBGrid1->viewport()->repaint();
        pages.push_back(t.nsecsElapsed() / 1e6);
        const double cpu = threadCpuMs() - cpuBefore;
        worstCpu = std::max(worstCpu, cpu);
        overCpu += cpu > 16.0 ? 1 : 0;
    }
    std::vector<double> sorted = pages;
    std::sort(sorted.begin(), sorted.end());
    const double mean = pages.empty() ? 0 : std::accumulate(pages.begin(), pages.end(), 0.0) / pages.size();
    const double p99 = sorted.empty() ? 0 : sorted[sorted.size() * 99 / 100];
    const double worst = sorted.empty() ? 0 : sorted.back();
    const int over = static_cast<int>(std::count_if(pages.begin(), pages.end(), [](double ms) { return ms > 16.0; }));

    std::printf("rows                      %d\n", rows);
    std::printf("phases                    application %.0f, window built %.0f, catalogue read %.0f ms\n", atRun,
        built - atRun, created - built);
    std::printf("first painted grid        %.0f ms after process start (goal <= 500)\n", firstPaint);
    std::printf("  of which CPU time        %.0f ms (user + system)\n", firstPaintCpu);
    std::printf("pages scrolled            %zu (%d rows each)\n", pages.size(), bar->pageStep());
    std::printf(
        "time per page             mean %.2f ms, p99 %.2f ms, worst %.2f ms (goal: none over 16)\n", mean, p99, worst);
    std::printf(
        "pages over 16 ms          %d (by CPU time of the GUI thread: %d, worst %.2f ms)\n", over, overCpu, worstCpu);
    std::printf("peak memory               %.1f MB (goal <= 150)\n", peakMemoryKb() / 1024.0);
    return firstPaint <= 500 && over == 0 && peakMemoryKb() <= 150 * 1024 ? 0 : 3;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 3 && args[1] == QStringLiteral("make"))
        return make(args[2], args.size() >= 4 ? args[3].toInt() : 100000);
    try {
        if (args.size() == 3 && args[1] == QStringLiteral("run"))
            return run(args[2]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: client_window_bench make DIR [ROWS] | run DIR\n");
    return 2;
}
