// The client's view opening and refreshing in a loop while the kelvox program merges
// 100,000 rows into the same local.mdb.
#include "reliability/ReliabilitySupport.h"

#include "catalogue/CatalogueError.h"
#include "catalogue/TxDataModule.h"
#include "rowset/RowsetWriter.h"
#include "support/CatalogueBuilder.h"
#include "support/LoopbackServer.h"
#include "support/TempProgramFolder.h"
#include "support/UpdateFixtures.h"
#include "update/Publish.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

using namespace tunelix;
using namespace tunelix::test::reliability;

namespace {

TEST(ViewDuringMerge, OpensAndRefreshesWithoutLockErrorsOrLostRows)
{
    const int baseRows = 2000;
    const int dailyRows = envInt("RELIABILITY_MERGE_ROWS", 100000);
    test::TempProgramFolder folder;
    const QString kelvox = installProgram(folder, QStringLiteral(KELVOX_PATH), QStringLiteral("kelvox"));
    ASSERT_FALSE(kelvox.isEmpty());
    const QString db = folder.folder().catalogueDatabase();
    test::writeCatalogue(db, bookRows(1, baseRows, QStringLiteral("base"), 4, QStringLiteral("2023-01-01T00:00:00")));

    const QByteArray daily = rowset::rowsetToXml(update::dailyRowset(
        bookRows(baseRows + 1, dailyRows, QStringLiteral("new"), 5, QStringLiteral("2024-05-01T10:00:00"))));
    test::LoopbackServer server;
    test::serveBytes(server.server(), "/5.daily", daily);
    QByteArray manifest;
    server.server().Get("/ver.xml", [&manifest](const httplib::Request &, httplib::Response &res) {
        res.set_content(std::string(manifest.constData(), std::size_t(manifest.size())), "text/xml");
    });
    server.start();
    manifest = rowset::rowsetToXml(update::manifestRowset(
        {{QString::fromStdString(server.url("/5.daily")), QStringLiteral("5.daily"), QStringLiteral("daily\\"),
          test::md5Hex(daily)}}));

    catalogue::TTxDataModule data(db);
    data.openView(catalogue::TTxDataModule::allRowsStatement());
    ASSERT_EQ(data.qry1()->recordCount(), baseRows);

    QProcess updater;
    updater.setProcessEnvironment(kelvoxEnvironment(QString::fromStdString(server.url("/ver.xml"))));
    updater.start(kelvox, {});
    ASSERT_TRUE(updater.waitForStarted(30000));

    QStringList errors;
    int opens = 0, previousCount = baseRows, countsSeen = 0;
    qint64 longestMs = 0, totalMs = 0;
    std::set<int> distinctCounts;
    QElapsedTimer overall;
    overall.start();
    bool lost = false;
    // Bounded: a merge that never ends fails the test, it does not hang it.
    while (updater.state() != QProcess::NotRunning && overall.elapsed() < 300000) {
        QElapsedTimer t;
        t.start();
        try {
            if (opens % 2)
                data.refreshKeepingPosition();
            else
                data.openView(catalogue::TTxDataModule::allRowsStatement());
        } catch (const std::exception &e) {
            errors << QString::fromUtf8(e.what());
        }
        const qint64 ms = t.elapsed();
        longestMs = std::max(longestMs, ms);
        totalMs += ms;
        ++opens;
        const int count = data.qry1()->recordCount();
        distinctCounts.insert(count);
        ++countsSeen;
        // A reader sees whole transactions: the count only grows and the old rows stay.
        if (count < previousCount)
            lost = true;
        previousCount = std::max(previousCount, count);
        // Keep the position somewhere in the middle, as a user scrolling would.
        if (count > 0)
            data.qry1()->setCurrentIndex(std::min(count - 1, 1500));
        QCoreApplication::processEvents();
        updater.waitForFinished(1);
    }
    if (updater.state() != QProcess::NotRunning) {
        ASSERT_TRUE(updater.waitForFinished(60000)) << "the merge did not end";
    }
    EXPECT_EQ(updater.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(updater.exitCode(), 0) << updater.readAllStandardError().toStdString();
    EXPECT_TRUE(errors.isEmpty()) << errors.first(std::min<qsizetype>(errors.size(), 3)).join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(lost);
    QElapsedTimer last;
    last.start();
    data.openView(catalogue::TTxDataModule::allRowsStatement());
    const qint64 fullOpenMs = last.elapsed();
    EXPECT_EQ(data.qry1()->recordCount(), baseRows + dailyRows);
    EXPECT_EQ(integrityCheck(db), QStringLiteral("ok"));
    // Opens that saw the merge half-way: the reader really ran beside the writer.
    std::printf("view during merge: rows=%d opens=%d distinct-counts=%zu longest-open-ms=%lld mean-open-ms=%lld "
                "kelvox-run-ms=%lld full-view-open-ms=%lld\n",
                dailyRows, opens, distinctCounts.size(), static_cast<long long>(longestMs),
                static_cast<long long>(opens ? totalMs / opens : 0), static_cast<long long>(overall.elapsed()),
                static_cast<long long>(fullOpenMs));
    RecordProperty("longest_open_ms", int(longestMs));
    RecordProperty("opens", opens);
}

} // namespace
