// Workers against in-process servers on 127.0.0.1 that misbehave on purpose: each
// case runs a whole download through the manager thread and checks what reached disk.
#include "support/RawHttpServer.h"
#include "support/TempProgramFolder.h"
#include "transfer/ManagerThread.h"
#include "transfer/TransmitManager.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace tunelix::transfer;
using tunelix::test::RawFileOptions;
using tunelix::test::RawHttpServer;
using tunelix::test::RawRequest;
using tunelix::test::TempProgramFolder;

namespace {

std::string content(int size)
{
    std::string b(std::size_t(size), '\0');
    for (int i = 0; i < size; ++i)
        b[std::size_t(i)] = char((i * 131 + i / 997) & 0xFF);
    return b;
}

QString md5Of(const std::string &bytes)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5).toHex());
}

int count(const std::vector<RawRequest> &log, const std::string &method)
{
    return int(std::count_if(log.begin(), log.end(), [&](const RawRequest &r) { return r.method == method; }));
}

class WorkerFixture : public ::testing::Test
{
protected:
    void SetUp() override { QDir().mkpath(folder.path(QStringLiteral("Ring"))); }

    // Downloads `name` (the bytes of `body`) from `urls` until the manager is released.
    DownloadOutcome download(const std::vector<std::string> &urls, const std::string &body,
                             const QString &name = QStringLiteral("song.mp3"))
    {
        EngineSettings settings;
        settings.inactivityTimeoutMs = 2500;
        settings.stallSeconds = 1;
        TransferEngine engine(settings);
        std::mutex mutex;
        std::condition_variable cv;
        std::optional<DownloadOutcome> outcome;
        engine.ManagerReleased = [&](std::uint64_t, DownloadOutcome o) {
            std::lock_guard lock(mutex);
            outcome = o;
            cv.notify_all();
        };
        auto m = std::make_shared<TTransmitManager>(engine);
        m->FileName = name;
        m->FileMD5Code = md5Of(body);
        m->Filesize = std::uint32_t(body.size());
        const QString path = folder.path(QStringLiteral("Ring/") + name);
        const QString mapPath = path + QStringLiteral(".map");
        if (!QFile::exists(mapPath)) // a map left by an earlier attempt is resumed
            m->CreateDownloadMap(path, m->Filesize, kSegmentSize, m->FileMD5Code);
        m->LoadDownloadMap(mapPath);
        for (const std::string &u : urls)
            m->addUrl(QByteArray::fromStdString(u));
        engine.setTheTransmitManager(m);
        engine.startManagerThread();
        std::unique_lock lock(mutex);
        const bool ended = cv.wait_for(lock, std::chrono::seconds(60), [&] { return outcome.has_value(); });
        lock.unlock();
        engine.shutdown();
        return ended ? *outcome : DownloadOutcome::Running;
    }

    QByteArray ringFile(const QString &name) const { return folder.readFile(QStringLiteral("Ring/") + name); }
    bool exists(const QString &name) const { return QFile::exists(folder.path(QStringLiteral("Ring/") + name)); }
    qint64 dataSize() const { return QFileInfo(folder.path(QStringLiteral("Ring/song.mp3.data"))).size(); }

    TempProgramFolder folder;
    const std::string body = content(250000);
};

} // namespace

TEST_F(WorkerFixture, GoodServerGivesTheVerifiedFileWithRangedGets)
{
    RawHttpServer server([&](const RawRequest &r, auto &c) { RawHttpServer::serveFile(r, c, body); });
    EXPECT_EQ(download({server.url("/song.mp3")}, body), DownloadOutcome::Completed);
    EXPECT_EQ(ringFile(QStringLiteral("song.mp3")).toStdString(), body);
    EXPECT_FALSE(exists(QStringLiteral("song.mp3.map")));
    EXPECT_FALSE(exists(QStringLiteral("song.mp3.data")));
    const auto log = server.requests();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().method, "HEAD");
    std::set<std::string> ranges;
    for (const RawRequest &r : log) {
        EXPECT_EQ(r.header("user-agent"), "Mozilla/3.0 (compatible)");
        if (r.method == "GET")
            ranges.insert(r.header("range"));
    }
    EXPECT_EQ(ranges, (std::set<std::string>{"bytes=0-100000", "bytes=100000-200000", "bytes=200000-250000"}));
}

TEST_F(WorkerFixture, SizeProbeThatDiffersOrStatesNoLengthFetchesNothing)
{
    struct Case { const char *name; RawFileOptions options; };
    RawFileOptions more, less, none;
    more.headLength = std::int64_t(body.size()) + 1;
    less.headLength = std::int64_t(body.size()) - 1;
    none.sendHeadLength = false;
    for (const Case &c : {Case{"one more", more}, Case{"one less", less}, Case{"no length", none}}) {
        RawHttpServer server([&](const RawRequest &r, auto &conn) { RawHttpServer::serveFile(r, conn, body, c.options); });
        EXPECT_EQ(download({server.url("/song.mp3")}, body), DownloadOutcome::TimedOut) << c.name;
        EXPECT_EQ(count(server.requests(), "HEAD"), 1) << c.name;
        EXPECT_EQ(count(server.requests(), "GET"), 0) << c.name;
    }
}

TEST_F(WorkerFixture, RangedGetAnsweredWithAnotherBodyWritesNothing)
{
    struct Case { const char *name; RawFileOptions options; };
    RawFileOptions whole, shifted, cut, status;
    whole.honourRange = false; // 200 and the whole file
    shifted.rangeShift = 1;    // 206 for the range one byte later
    cut.resetAfter = 5000;     // the connection ends in the middle of the body
    for (const Case &c : {Case{"whole body", whole}, Case{"other range", shifted}, Case{"reset mid-body", cut}}) {
        RawHttpServer server([&](const RawRequest &r, auto &conn) { RawHttpServer::serveFile(r, conn, body, c.options); });
        EXPECT_EQ(download({server.url("/song.mp3")}, body), DownloadOutcome::TimedOut) << c.name;
        // The address is not used again after the first bad reply.
        EXPECT_EQ(count(server.requests(), "GET"), 1) << c.name;
        EXPECT_EQ(dataSize(), 0) << c.name;
        const QByteArray map = ringFile(QStringLiteral("song.mp3.map"));
        EXPECT_FALSE(map.contains("Completed")) << c.name;
        QFile::remove(folder.path(QStringLiteral("Ring/song.mp3.map")));
        QFile::remove(folder.path(QStringLiteral("Ring/song.mp3.data")));
    }
}

TEST_F(WorkerFixture, StalledReplyFailsAfterTheSilenceLimitAndTheDownloadResumesLater)
{
    std::atomic<int> gets{0};
    RawHttpServer stalling([&](const RawRequest &r, auto &conn) {
        RawFileOptions o;
        if (r.method == "GET" && gets++ > 0)
            o.stallMs = 20000; // the first segment comes, then silence
        RawHttpServer::serveFile(r, conn, body, o);
    });
    EXPECT_EQ(download({stalling.url("/song.mp3")}, body), DownloadOutcome::TimedOut);
    EXPECT_TRUE(ringFile(QStringLiteral("song.mp3.map")).contains("Completed = True"));
    // A second start resumes from the map: segment 0 is not asked for again.
    RawHttpServer good([&](const RawRequest &r, auto &conn) { RawHttpServer::serveFile(r, conn, body); });
    EXPECT_EQ(download({good.url("/song.mp3")}, body), DownloadOutcome::Completed);
    EXPECT_EQ(ringFile(QStringLiteral("song.mp3")).toStdString(), body);
    for (const RawRequest &r : good.requests()) {
        EXPECT_NE(r.header("range"), "bytes=0-100000");
    }
}

TEST_F(WorkerFixture, RedirectedProbeSendsEveryGetToTheFinalAddress)
{
    RawHttpServer server([&](const RawRequest &r, auto &conn) {
        if (r.path == "/moved.mp3")
            conn.send("HTTP/1.1 302 Found\r\nLocation: /song.mp3\r\nContent-Length: 0\r\n\r\n");
        else
            RawHttpServer::serveFile(r, conn, body);
    });
    EXPECT_EQ(download({server.url("/moved.mp3")}, body), DownloadOutcome::Completed);
    for (const RawRequest &r : server.requests()) {
        if (r.method == "GET") {
            EXPECT_EQ(r.path, "/song.mp3");
        }
    }
    EXPECT_EQ(count(server.requests(), "GET"), 3);
}

TEST_F(WorkerFixture, RedirectLoopAndErrorStatusesFetchNothing)
{
    RawHttpServer loop([&](const RawRequest &, auto &conn) {
        conn.send("HTTP/1.1 302 Found\r\nLocation: /again.mp3\r\nContent-Length: 0\r\n\r\n");
    });
    EXPECT_EQ(download({loop.url("/song.mp3")}, body), DownloadOutcome::TimedOut);
    EXPECT_EQ(count(loop.requests(), "GET"), 0);
    EXPECT_LE(count(loop.requests(), "HEAD"), 6); // the first request and at most 5 redirections

    for (int status : {404, 500}) {
        RawFileOptions o;
        o.status = status;
        RawHttpServer server([&](const RawRequest &r, auto &conn) { RawHttpServer::serveFile(r, conn, body, o); });
        EXPECT_EQ(download({server.url("/song.mp3")}, body), DownloadOutcome::TimedOut) << status;
        EXPECT_EQ(count(server.requests(), "GET"), 0) << status;
        EXPECT_EQ(dataSize(), 0) << status;
    }
}

TEST_F(WorkerFixture, LinkPageIsExpandedIntoOneWorkerPerAddress)
{
    RawHttpServer server([&](const RawRequest &r, auto &conn) {
        if (r.path == "/page") {
            const std::string page = "<a href=\"http://127.0.0.1:" + std::to_string(server.port())
                                     + "/a.mp3\">a</a> HTTP://127.0.0.1:" + std::to_string(server.port()) + "/b.mp3";
            conn.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page);
        } else {
            RawHttpServer::serveFile(r, conn, body);
        }
    });
    EXPECT_EQ(download({server.url("/page")}, body), DownloadOutcome::Completed);
    std::set<std::string> probed;
    for (const RawRequest &r : server.requests())
        if (r.method == "HEAD")
            probed.insert(r.path);
    EXPECT_EQ(probed, (std::set<std::string>{"/a.mp3", "/b.mp3"}));
}

TEST_F(WorkerFixture, DeadAndWrongSizeMirrorsBesideAGoodOne)
{
    RawFileOptions wrong;
    wrong.headLength = 12345;
    RawHttpServer bad([&](const RawRequest &r, auto &conn) { RawHttpServer::serveFile(r, conn, body, wrong); });
    RawHttpServer good([&](const RawRequest &r, auto &conn) { RawHttpServer::serveFile(r, conn, body); });
    int deadPort = 0;
    {
        RawHttpServer probe([](const RawRequest &, auto &) {});
        deadPort = probe.port();
    } // closed: nothing listens there any more
    const std::string dead = "http://127.0.0.1:" + std::to_string(deadPort) + "/song.mp3";
    EXPECT_EQ(download({dead, bad.url("/song.mp3"), good.url("/song.mp3")}, body), DownloadOutcome::Completed);
    EXPECT_EQ(ringFile(QStringLiteral("song.mp3")).toStdString(), body);
    EXPECT_EQ(count(bad.requests(), "GET"), 0);
}

TEST_F(WorkerFixture, ShutdownMidTransferJoinsEveryThreadAndLeavesWholeFiles)
{
    const std::string big = content(900000);
    RawHttpServer slow([&](const RawRequest &r, auto &conn) {
        RawFileOptions o;
        if (r.method == "GET" && r.header("range") != "bytes=0-100000")
            o.stallMs = 20000; // the first segment comes, the others hang
        RawHttpServer::serveFile(r, conn, big, o);
    });
    EngineSettings settings;
    settings.inactivityTimeoutMs = 60000;
    auto engine = std::make_unique<TransferEngine>(settings);
    auto m = std::make_shared<TTransmitManager>(*engine);
    m->FileMD5Code = md5Of(big);
    m->Filesize = std::uint32_t(big.size());
    const QString path = folder.path(QStringLiteral("Ring/song.mp3"));
    m->LoadDownloadMap(m->CreateDownloadMap(path, m->Filesize, kSegmentSize, m->FileMD5Code));
    for (int i = 0; i < 3; ++i)
        m->addUrl(QByteArray::fromStdString(slow.url("/song.mp3")));
    engine->setTheTransmitManager(m);
    engine->startManagerThread();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->bytesDone() >= 100000; }, 30000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return count(slow.requests(), "GET") >= 3; }, 30000));
    engine->shutdown(); // the close route: returns only when every thread has ended
    EXPECT_EQ(engine->HttpThreadList.Count(), 0);
    EXPECT_TRUE(m->released());
    EXPECT_EQ(m->outcome(), DownloadOutcome::Stopped);
    TDownloadMap map;
    ASSERT_NO_THROW(TTextComponentStreamer::fromText(ringFile(QStringLiteral("song.mp3.map")), map));
    EXPECT_TRUE(map.Segments().Items(0).Completed);
    EXPECT_EQ(map.IncompleteCount(), 8);
    EXPECT_EQ(ringFile(QStringLiteral("song.mp3.data")).left(100000).toStdString(), big.substr(0, 100000));
    engine.reset();
    EXPECT_TRUE(exists(QStringLiteral("song.mp3.map")));
}

TEST_F(WorkerFixture, LateReplyOfAReleasedDownloadNeverReachesTheNextOne)
{
    RawHttpServer late([&](const RawRequest &r, auto &conn) {
        RawFileOptions o;
        if (r.method == "GET")
            o.stallMs = 1500; // the reply comes after the download was released
        RawHttpServer::serveFile(r, conn, body, o);
    });
    EngineSettings settings;
    settings.inactivityTimeoutMs = 60000;
    TransferEngine engine(settings);
    const QString path = folder.path(QStringLiteral("Ring/song.mp3"));
    auto first = std::make_shared<TTransmitManager>(engine);
    first->FileMD5Code = md5Of(body);
    first->Filesize = std::uint32_t(body.size());
    first->LoadDownloadMap(first->CreateDownloadMap(path, first->Filesize, kSegmentSize, first->FileMD5Code));
    first->addUrl(QByteArray::fromStdString(late.url("/song.mp3")));
    first->StartHttpThreads();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count(late.requests(), "GET") >= 1; }, 30000));
    // Released without aborting its worker: the worker is still waiting for its reply.
    engine.releaseManager(first, DownloadOutcome::Stopped);
    auto second = std::make_shared<TTransmitManager>(engine);
    second->FileMD5Code = md5Of(body);
    second->Filesize = std::uint32_t(body.size());
    second->LoadDownloadMap(path + QStringLiteral(".map"));
    ASSERT_TRUE(second->Active());
    engine.setTheTransmitManager(second);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.HttpThreadList.Count(first->generation()) == 0; }, 30000));
    EXPECT_EQ(second->mapSnapshot().IncompleteCount(), 3);
    EXPECT_EQ(second->bytesDone(), 0u);
    EXPECT_EQ(dataSize(), 0);
    EXPECT_FALSE(ringFile(QStringLiteral("song.mp3.map")).contains("Completed"));
}
