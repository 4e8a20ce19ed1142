// SIGKILL of tunelix-get and kelvox at random moments, then a resumed run. The counts
// are small here; scripts/reliability raises them (RELIABILITY_GET_KILLS and friends).
#include "reliability/ReliabilitySupport.h"

#include "catalogue/TxDataModule.h"
#include "rowset/RowsetWriter.h"
#include "support/CatalogueBuilder.h"
#include "support/NginxServer.h"
#include "support/TempProgramFolder.h"
#include "support/UpdateFixtures.h"
#include "transfer/DownloadMap.h"
#include "update/Publish.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <signal.h>
#include <cstdio>
#include <cstdlib>

using namespace tunelix;
using namespace tunelix::test::reliability;
using test::NginxServer;

namespace {

constexpr int kRunMs = 120000; // generous: only a hung program takes this long

QString ringPath(const test::TempProgramFolder &folder, const QString &name)
{
    return folder.path(QStringLiteral("Ring/") + name);
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(content), content.size());
}

// tunelix-get over three nginx mirrors, two of them rate-limited, so one download takes
// a few seconds. Each round kills one download at a random moment, checks what the kill
// left, and resumes it to the end. A round whose download ended before its kill does not
// count: rounds go on until `kills` kills hit a running download.
TEST(KillGet, EveryKilledDownloadResumesToAVerifiedFile)
{
    const int kills = envInt("RELIABILITY_GET_KILLS", 3);
    const int fileSize = 1200007; // 13 segments, the last one short
    test::TempProgramFolder folder;
    folder.createCatalogue();
    QDir().mkpath(folder.path(QStringLiteral("Ring")));
    QTemporaryDir www;
    NginxServer nginx(www.path(), {{"250k", ""}, {"150k", ""}, {"", ""}});
    nginx.start();
    const QStringList common{QStringLiteral("--folder"), folder.path(QString()), QStringLiteral("--quiet"),
                             QStringLiteral("--inactivity-ms"), QStringLiteral("5000")};

    int rounds = 0, hits = 0, mapsSeen = 0, segmentsKept = 0;
    qint64 longestResumeMs = 0;
    std::vector<qint32> ids;
    for (int i = 0; hits < kills && i < 4 * kills; ++i, ++rounds) {
        SCOPED_TRACE(i);
        const QString name = QStringLiteral("kill%1.mp3").arg(i);
        const QByteArray content = patternBytes(fileSize, 100 + i);
        writeFile(www.filePath(name), content);
        const std::string path = "/" + name.toStdString();
        // Every third download also has the unlimited mirror: kills then land early.
        const bool fast = i % 3 == 2;
        std::vector<std::string> urls{nginx.url(0, path), nginx.url(1, path)};
        if (fast)
            urls.push_back(nginx.url(2, path));
        const qint32 id = 1000 + i;
        ids.push_back(id);
        test::writeCatalogue(folder.folder().catalogueDatabase(), {linkedRow(id, name, content, urls)});
        const QStringList args = common + QStringList{QString::number(id)};

        QProcess get;
        const int delay = fast ? randomBetween(20, 700) : randomBetween(50, 3000);
        if (runAndKill(get, QStringLiteral(TUNELIX_GET_PATH), args, delay))
            ++hits;
        // What a kill leaves: either the finished file, or a map that reads back (or none yet).
        const QString mapPath = ringPath(folder, name + QStringLiteral(".map"));
        if (QFile::exists(mapPath)) {
            ++mapsSeen;
            QFile f(mapPath);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            transfer::TDownloadMap map;
            ASSERT_NO_THROW(transfer::TTextComponentStreamer::fromText(f.readAll(), map))
                << "unreadable map after a kill at " << delay << " ms";
            segmentsKept += int(std::count_if(map.Segments().begin(), map.Segments().end(),
                                              [](const auto &s) { return s.Completed; }));
        }
        QElapsedTimer t;
        t.start();
        QProcess resume;
        resume.start(QStringLiteral(TUNELIX_GET_PATH), args);
        ASSERT_TRUE(resume.waitForFinished(kRunMs));
        longestResumeMs = std::max(longestResumeMs, t.elapsed());
        EXPECT_EQ(resume.exitCode(), 0) << resume.readAllStandardError().toStdString();
        QFile done(ringPath(folder, name));
        ASSERT_TRUE(done.open(QIODevice::ReadOnly));
        EXPECT_TRUE(done.readAll() == content) << "content differs after a kill at " << delay << " ms";
        EXPECT_FALSE(QFile::exists(mapPath));
        EXPECT_FALSE(QFile::exists(ringPath(folder, name + QStringLiteral(".data"))));
    }
    EXPECT_EQ(hits, kills) << "too many downloads ended before their kill";
    catalogue::TTxDataModule data(folder.folder().catalogueDatabase());
    for (qint32 id : ids)
        EXPECT_EQ(data.readRow(id).value().fileState.value_or(-1), 1) << id;
    std::printf("get kills: kills=%d rounds=%d maps-left=%d completed-segments-kept=%d longest-resume-ms=%lld\n",
                hits, rounds, mapsSeen, segmentsKept, static_cast<long long>(longestResumeMs));
    RecordProperty("kills", hits);
    RecordProperty("segments_kept", segmentsKept);
}

// A release served by nginx: program files (rate-limited, so the file pass lasts a few
// seconds) and one daily file of `dailyRows` rows.
struct Release
{
    std::vector<std::pair<QString, QByteArray>> files; // name below the program folder, new content
    QByteArray daily;
    QByteArray manifest;
};

Release makeRelease(const QString &root, NginxServer &nginx, int files, int fileSize, int dailyRows, int firstId)
{
    Release r;
    std::vector<update::ManifestEntry> entries;
    for (int i = 0; i < files; ++i) {
        const QString name = QStringLiteral("prog%1.bin").arg(i);
        r.files.emplace_back(QStringLiteral("bin/") + name, patternBytes(fileSize, 500 + i));
        writeFile(root + QStringLiteral("/files/") + name, r.files.back().second);
        entries.push_back({QString::fromStdString(nginx.url(0, "/files/" + name.toStdString())), name,
                           QStringLiteral("bin\\"), test::md5Hex(r.files.back().second)});
    }
    r.daily = rowset::rowsetToXml(update::dailyRowset(
        bookRows(firstId, dailyRows, QStringLiteral("daily"), 5, QStringLiteral("2024-05-01T10:00:00"))));
    writeFile(root + QStringLiteral("/daily/5.daily"), r.daily);
    entries.push_back({QString::fromStdString(nginx.url(1, "/daily/5.daily")), QStringLiteral("5.daily"),
                       QStringLiteral("daily\\"), test::md5Hex(r.daily)});
    r.manifest = rowset::rowsetToXml(update::manifestRowset(entries));
    writeFile(root + QStringLiteral("/ver.xml"), r.manifest);
    return r;
}

// Old versions of the program files and a catalogue of `baseRows` rows of an older book.
void prepareFolder(const test::TempProgramFolder &folder, const Release &release, int baseRows)
{
    for (const auto &[name, content] : release.files)
        writeFile(folder.path(name), QByteArray("old ").append(name.toUtf8()));
    test::writeCatalogue(folder.folder().catalogueDatabase(),
                         bookRows(1, baseRows, QStringLiteral("base"), 4, QStringLiteral("2023-01-01T00:00:00")));
}

// Each program file is whole: the old text or the release's bytes, nothing between.
void expectNoHalfWrittenFile(const test::TempProgramFolder &folder, const Release &release, int *updated)
{
    for (const auto &[name, content] : release.files) {
        const QByteArray now = folder.readFile(name);
        const bool isNew = now == content;
        EXPECT_TRUE(isNew || now == QByteArray("old ").append(name.toUtf8())) << name.toStdString() << " half-written";
        if (updated && isNew)
            ++*updated;
    }
}

// A whole file that still holds every row of the old book (FileIDs 1..baseRows).
void expectCatalogueWhole(const QString &db, int baseRows)
{
    EXPECT_EQ(integrityCheck(db), QStringLiteral("ok"));
    EXPECT_EQ(rowCount(db, baseRows), baseRows);
}

class KillKelvox : public ::testing::Test
{
protected:
    void run(int kills, int dailyRows, int killFromMs, int killToMs, const char *label)
    {
        const int baseRows = 1000;
        test::TempProgramFolder folder;
        const QString kelvox = installProgram(folder, QStringLiteral(KELVOX_PATH), QStringLiteral("kelvox"));
        ASSERT_FALSE(kelvox.isEmpty());
        QTemporaryDir www;
        NginxServer nginx(www.path(), {{rateLimit, ""}, {"", ""}});
        nginx.start();
        const Release release = makeRelease(www.path(), nginx, files, fileSize, dailyRows, baseRows + 1);
        prepareFolder(folder, release, baseRows);
        const QString db = folder.folder().catalogueDatabase();
        const QString manifestUrl = QString::fromStdString(nginx.url(1, "/ver.xml"));
        const QString dailyPath = folder.path(QStringLiteral("daily/5.daily"));

        // Each round starts from the old state, kills one run at a random moment, checks
        // what the kill left, and lets a following run complete.
        int hits = 0, midFilePass = 0, midMerge = 0;
        qint64 longestFinalMs = 0;
        for (int k = 0; k < kills; ++k) {
            SCOPED_TRACE(k);
            if (k > 0) {
                QFile::remove(db);
                QFile::remove(db + QStringLiteral("-wal"));
                QFile::remove(db + QStringLiteral("-shm"));
                QDir(folder.path(QStringLiteral("daily"))).removeRecursively();
                prepareFolder(folder, release, baseRows);
            }
            QProcess p;
            p.setProcessEnvironment(kelvoxEnvironment(manifestUrl));
            const int delay = randomBetween(killFromMs, killToMs);
            if (!killInMerge) {
                if (runAndKill(p, kelvox, {}, delay))
                    ++hits;
            } else {
                // The merge starts once the daily file is in place (it is renamed there
                // whole), after a fetch of unknown length: wait for it, then kill at a
                // random moment of the merge.
                p.start(kelvox, {});
                ASSERT_TRUE(p.waitForStarted(30000));
                QElapsedTimer wait;
                wait.start();
                while (!QFile::exists(dailyPath) && p.state() != QProcess::NotRunning && wait.elapsed() < kRunMs)
                    p.waitForFinished(5);
                if (p.state() != QProcess::NotRunning && !p.waitForFinished(delay)) {
                    ::kill(pid_t(p.processId()), SIGKILL);
                    p.waitForFinished(30000);
                    ++hits;
                }
            }
            // Before anything opens the catalogue, which would take the log in.
            const qint64 logAtKill = QFileInfo(db + QStringLiteral("-wal")).size();
            int updatedAtKill = 0;
            expectNoHalfWrittenFile(folder, release, &updatedAtKill);
            if (updatedAtKill > 0 && updatedAtKill < int(release.files.size()))
                ++midFilePass;
            // Nothing stored earlier goes, and a daily file is merged whole or not at all.
            expectCatalogueWhole(db, baseRows);
            const qint64 rowsAtKill = rowCount(db);
            EXPECT_TRUE(rowsAtKill == baseRows || rowsAtKill == baseRows + dailyRows) << rowsAtKill << " rows";
            if (killInMerge && rowsAtKill == baseRows && logAtKill > 0)
                ++midMerge; // killed with the merge's rows written to the log but not committed
            if (std::getenv("RELIABILITY_VERBOSE"))
                std::printf("  round %d: kill at %d ms, %lld rows, %lld bytes of log, %d program files new\n", k,
                            delay, static_cast<long long>(rowsAtKill), static_cast<long long>(logAtKill),
                            updatedAtKill);

            QProcess following;
            following.setProcessEnvironment(kelvoxEnvironment(manifestUrl));
            QElapsedTimer t;
            t.start();
            following.start(kelvox, {});
            ASSERT_TRUE(following.waitForFinished(kRunMs)) << "the run after a kill at " << delay << " ms did not end";
            longestFinalMs = std::max(longestFinalMs, t.elapsed());
            EXPECT_EQ(following.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(following.exitCode(), 0);
            int updated = 0;
            expectNoHalfWrittenFile(folder, release, &updated);
            EXPECT_EQ(updated, int(release.files.size()));
            EXPECT_EQ(integrityCheck(db), QStringLiteral("ok"));
            ASSERT_EQ(rowCount(db), baseRows + dailyRows);
            const auto newest = test::readAllRows(db);
            EXPECT_EQ(newest.at(1).fileName, QStringLiteral("base 1.mp3"));
            EXPECT_EQ(newest.at(1).isNew, 0); // the old book was not flagged new
            EXPECT_EQ(newest.at(baseRows + dailyRows).isNew, 1);
        }
        std::printf("%s: kills=%d hit-running=%d mid-file-pass=%d mid-merge=%d longest-following-run-ms=%lld\n",
                    label, kills, hits, midFilePass, midMerge, static_cast<long long>(longestFinalMs));
    }

    bool killInMerge = false;
    std::string rateLimit = "400k";
    int files = 6;
    int fileSize = 300000;
};

TEST_F(KillKelvox, DuringTheFilePassLeavesWholeFilesAndAWholeCatalogue)
{
    run(envInt("RELIABILITY_KELVOX_FILE_KILLS", 3), 200, 300, 4500, "kelvox file-pass kills");
}

TEST_F(KillKelvox, DuringAHundredThousandRowMergeLosesNoRow)
{
    // One small program file at full speed; the kill lands in the merge of the daily file.
    rateLimit.clear();
    files = 1;
    fileSize = 1000;
    killInMerge = true;
    run(envInt("RELIABILITY_KELVOX_MERGE_KILLS", 3), 100000, 0, 800, "kelvox merge kills");
}

} // namespace
