// The transmit manager without network: segment hand-out, writing, completion,
// verification, the map's files, address splitting and the inactivity time-out.
#include "support/TempProgramFolder.h"
#include "transfer/ManagerThread.h"
#include "transfer/TransmitManager.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace tunelix::transfer;
using tunelix::test::TempProgramFolder;

namespace {

QString md5Of(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QByteArray content(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((static_cast<unsigned>(i) * 7919u + static_cast<unsigned>(i) / 251u) & 0xFFu);
    return b;
}

class ManagerFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir().mkpath(ring());
        EngineSettings settings;
        settings.tick = [this] { return tick; };
        engine = std::make_unique<TransferEngine>(settings);
        engine->DownloadCompleted = [this](const QString &md5, std::uint64_t) { completedMd5 << md5; };
    }

    QString ring() const { return folder.path(QStringLiteral("Ring")); }
    QString file(const QString &name) const { return ring() + QLatin1Char('/') + name; }

    // A manager for `name` of `size` bytes, laid out and loaded as a start does.
    std::shared_ptr<TTransmitManager> start(const QString &name, const QByteArray &bytes, QString md5 = {})
    {
        auto m = std::make_shared<TTransmitManager>(*engine);
        m->FileName = name;
        m->FileMD5Code = md5.isNull() ? md5Of(bytes) : md5;
        m->Filesize = std::uint32_t(bytes.size());
        const QString mapPath = m->CreateDownloadMap(file(name), m->Filesize, kSegmentSize, m->FileMD5Code);
        m->LoadDownloadMap(mapPath);
        engine->setTheTransmitManager(m);
        return m;
    }

    // What a worker does with a reply of `bytes` for segment `pos` starting at `offset`.
    static void deliver(TTransmitManager &m, int pos, std::uint32_t offset, const QByteArray &bytes)
    {
        const auto written = m.WriteSegmentData(pos, bytes.constData(), std::uint32_t(bytes.size()), offset);
        m.UpdateSegment(pos, offset, written, m.segmentRange(pos)->md5);
    }

    TempProgramFolder folder;
    std::uint32_t tick = 1000;
    std::unique_ptr<TransferEngine> engine;
    QStringList completedMd5;
};

} // namespace

TEST_F(ManagerFixture, SecondAssignmentWithTwoSegmentsLandsOnTheFirstIncompleteUntilOneCompletes)
{
    const QByteArray bytes = content(200000);
    auto m = start(QStringLiteral("two.mp3"), bytes);
    ASSERT_TRUE(m->Active());
    EXPECT_EQ(m->GetFreeSegment(), 0);
    ASSERT_TRUE(m->AssignSegment(0));
    EXPECT_EQ(m->GetFreeSegment(), 1);
    ASSERT_TRUE(m->AssignSegment(1));
    // Both claimed, none complete, 2 < 10: a third worker gets segment 0 again.
    EXPECT_EQ(m->GetFreeSegment(), 0);
    EXPECT_TRUE(m->AssignSegment(0));
    EXPECT_TRUE(m->AssignSegment(1));
    deliver(*m, 0, 0, bytes.mid(0, 100001));
    EXPECT_TRUE(m->segmentRange(0)->completed);
    // Segment 1 still claimed, segment 0 complete: no second assignment any more.
    EXPECT_EQ(m->GetFreeSegment(), std::nullopt);
    EXPECT_FALSE(m->AssignSegment(1));
}

TEST_F(ManagerFixture, NoSecondAssignmentWithElevenSegments)
{
    auto m = start(QStringLiteral("eleven.mp3"), content(1100000));
    for (int i = 0; i < 11; ++i) {
        ASSERT_EQ(m->GetFreeSegment(), i);
        ASSERT_TRUE(m->AssignSegment(i));
    }
    EXPECT_EQ(m->GetFreeSegment(), std::nullopt);
    EXPECT_FALSE(m->AssignSegment(0));
}

TEST_F(ManagerFixture, ShortReplyAdvancesSegmentStartToTheBytesWritten)
{
    const QByteArray bytes = content(250000);
    auto m = start(QStringLiteral("short.mp3"), bytes);
    ASSERT_TRUE(m->AssignSegment(1));
    deliver(*m, 1, 100000, bytes.mid(100000, 40000));
    const auto r = m->segmentRange(1);
    EXPECT_EQ(r->start, 140000u);
    EXPECT_FALSE(r->completed);
    EXPECT_FALSE(m->mapSnapshot().Segments().Items(1).InUse); // offered again
    EXPECT_EQ(m->GetFreeSegment(), 0);
}

TEST_F(ManagerFixture, UpdateSegmentCases)
{
    const QByteArray bytes = content(250000);
    auto m = start(QStringLiteral("cases.mp3"), bytes);

    // An empty reply changes nothing but the claim.
    ASSERT_TRUE(m->AssignSegment(0));
    m->UpdateSegment(0, 0, 0, {});
    EXPECT_EQ(m->segmentRange(0)->start, 0u);
    EXPECT_FALSE(m->mapSnapshot().Segments().Items(0).InUse);

    // Two workers on one segment: the second reply starts where the first began, so
    // it covers bytes already counted; SegmentStart moves to its end, not beyond.
    deliver(*m, 0, 0, bytes.mid(0, 30000));
    EXPECT_EQ(m->segmentRange(0)->start, 30000u);
    deliver(*m, 0, 0, bytes.mid(0, 50000));
    EXPECT_EQ(m->segmentRange(0)->start, 50000u);
    // A reply beginning past SegmentStart would leave a gap: not counted.
    deliver(*m, 0, 60000, bytes.mid(60000, 10000));
    EXPECT_EQ(m->segmentRange(0)->start, 50000u);

    // Completion rewrites the map file and renews the activity tick.
    tick = 5000;
    deliver(*m, 0, 50000, bytes.mid(50000, 50001));
    EXPECT_TRUE(m->segmentRange(0)->completed);
    EXPECT_EQ(m->LastActiveTick(), 5000u);
    QFile mapFile(m->mapFileName());
    ASSERT_TRUE(mapFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(mapFile.readAll().contains("    item\r\n      SegmentStart = 100000\r\n      SegmentEnd = 100000\r\n"
                                           "      Completed = True\r\n    end\r\n"));

    // A segment another worker completed meanwhile: nothing changes, nothing is written.
    EXPECT_EQ(m->WriteSegmentData(0, "xxxx", 4, 0), 0u);
    m->UpdateSegment(0, 0, 4, {});
    EXPECT_EQ(m->segmentRange(0)->start, 100000u);
}

TEST_F(ManagerFixture, SegmentFailingItsExpectedMd5StartsAgain)
{
    const QByteArray bytes = content(100000);
    auto m = start(QStringLiteral("segmd5.mp3"), bytes);
    {
        std::lock_guard lock(engine->TransferLock);
        m->DownloadMap().Segments().Items(0).SegmentMD5 = md5Of(bytes);
    }
    QByteArray wrong = bytes;
    wrong[10] = char(wrong[10] ^ 1);
    deliver(*m, 0, 0, wrong);
    auto r = m->segmentRange(0);
    EXPECT_FALSE(r->completed);
    EXPECT_EQ(r->start, 0u);
    EXPECT_TRUE(r->md5.isEmpty());
}

TEST_F(ManagerFixture, WritesNeverRunPastTheSizeOrOutsideTheSegment)
{
    const QByteArray bytes = content(250000);
    auto m = start(QStringLiteral("bounds.mp3"), bytes);
    EXPECT_EQ(m->WriteSegmentData(2, bytes.constData(), 60000, 200000), 0u);   // past the size
    EXPECT_EQ(m->WriteSegmentData(1, bytes.constData(), 1000, 50000), 0u);     // before the segment
    EXPECT_EQ(m->WriteSegmentData(0, bytes.constData(), 100001, 0), 100000u);  // the next one's byte cut off
}

TEST_F(ManagerFixture, VerifiedDownloadIsRenamedAndReported)
{
    const QByteArray bytes = content(250000);
    auto m = start(QStringLiteral("ok.mp3"), bytes);
    for (int i = 0; i < 3; ++i)
        deliver(*m, i, std::uint32_t(i * 100000), bytes.mid(i * 100000, 100001));
    m->CheckCompleted();
    ASSERT_TRUE(m->AllReceived());
    m->CheckFinished();
    EXPECT_TRUE(m->Finished());
    EXPECT_EQ(m->outcome(), DownloadOutcome::Completed);
    EXPECT_EQ(completedMd5, QStringList{md5Of(bytes)});
    EXPECT_EQ(folder.readFile(QStringLiteral("Ring/ok.mp3")), bytes);
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("ok.mp3.map"))));
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("ok.mp3.data"))));
}

TEST_F(ManagerFixture, Md5DifferingOnlyInLetterCaseIsAMismatchAndBothFilesGo)
{
    const QByteArray bytes = content(150000);
    auto m = start(QStringLiteral("case.mp3"), bytes, md5Of(bytes).toUpper());
    deliver(*m, 0, 0, bytes.mid(0, 100001));
    deliver(*m, 1, 100000, bytes.mid(100000));
    m->CheckCompleted();
    m->CheckFinished();
    EXPECT_EQ(m->outcome(), DownloadOutcome::Md5Mismatch);
    EXPECT_TRUE(completedMd5.isEmpty());
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("case.mp3"))));
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("case.mp3.map"))));
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("case.mp3.data"))));
}

TEST_F(ManagerFixture, EmptyFileIsCompleteAtOnce)
{
    auto m = start(QStringLiteral("empty.mp3"), QByteArray());
    EXPECT_EQ(m->GetFreeSegment(), std::nullopt);
    m->CheckCompleted();
    m->CheckFinished();
    EXPECT_EQ(m->outcome(), DownloadOutcome::Completed);
    EXPECT_EQ(completedMd5, QStringList{QStringLiteral("d41d8cd98f00b204e9800998ecf8427e")});
    EXPECT_TRUE(QFile::exists(file(QStringLiteral("empty.mp3"))));
}

TEST_F(ManagerFixture, MapWithoutItsDataFailsTheCheckAndStartsAfresh)
{
    const QByteArray bytes = content(100000);
    {
        auto m = start(QStringLiteral("nodata.mp3"), bytes);
        deliver(*m, 0, 0, bytes);
        engine->releaseManager(m, DownloadOutcome::Stopped);
    }
    QFile::remove(file(QStringLiteral("nodata.mp3.data")));
    auto m = std::make_shared<TTransmitManager>(*engine);
    m->FileMD5Code = md5Of(bytes);
    m->Filesize = 100000;
    m->LoadDownloadMap(file(QStringLiteral("nodata.mp3.map")));
    ASSERT_TRUE(m->Active());
    EXPECT_EQ(m->GetFreeSegment(), std::nullopt); // completed segments are not fetched again
    m->CheckCompleted();
    m->CheckFinished();
    EXPECT_EQ(m->outcome(), DownloadOutcome::Md5Mismatch);
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("nodata.mp3.map"))));
}

TEST_F(ManagerFixture, StaleOrUnreadableMapIsDiscardedWithItsData)
{
    const QByteArray bytes = content(250000);
    struct Case { const char *name; QByteArray mapText; };
    const Case cases[] = {
        {"garbage", "this is no map"},
        {"other size", TTextComponentStreamer::toText([&] {
             TDownloadMap map;
             layOutDownloadMap(map, 123, kSegmentSize, md5Of(bytes));
             return map;
         }())},
        {"other md5", TTextComponentStreamer::toText([&] {
             TDownloadMap map;
             layOutDownloadMap(map, 250000, kSegmentSize, QStringLiteral("00000000000000000000000000000000"));
             map.Segments().Items(0).Completed = true;
             return map;
         }())},
    };
    for (const Case &c : cases) {
        folder.writeFile(QStringLiteral("Ring/stale.mp3.map"), c.mapText);
        folder.writeFile(QStringLiteral("Ring/stale.mp3.data"), QByteArray(5000, 'x'));
        auto m = std::make_shared<TTransmitManager>(*engine);
        m->FileMD5Code = md5Of(bytes);
        m->Filesize = 250000;
        m->LoadDownloadMap(file(QStringLiteral("stale.mp3.map")));
        ASSERT_TRUE(m->Active()) << c.name;
        const TDownloadMap map = m->mapSnapshot();
        EXPECT_EQ(map.Size, 250000u) << c.name;
        EXPECT_EQ(map.Segments().Count(), 3) << c.name;
        EXPECT_EQ(map.IncompleteCount(), 3) << c.name;
        EXPECT_EQ(QFileInfo(file(QStringLiteral("stale.mp3.data"))).size(), 0) << c.name;
        engine->releaseManager(m, DownloadOutcome::Stopped);
    }
}

TEST_F(ManagerFixture, ReleasedManagerTakesNoMoreBytes)
{
    const QByteArray bytes = content(250000);
    auto m = start(QStringLiteral("released.mp3"), bytes);
    ASSERT_TRUE(m->AssignSegment(0));
    engine->releaseManager(m, DownloadOutcome::Stopped);
    EXPECT_EQ(engine->TheTransmitManager(), nullptr);
    EXPECT_EQ(m->WriteSegmentData(0, bytes.constData(), 100001, 0), 0u);
    m->UpdateSegment(0, 0, 100001, {});
    EXPECT_EQ(m->GetFreeSegment(), std::nullopt);
    EXPECT_FALSE(m->AssignSegment(1));
    EXPECT_EQ(QFileInfo(file(QStringLiteral("released.mp3.data"))).size(), 0);
    EXPECT_EQ(m->outcome(), DownloadOutcome::Stopped);
}

TEST_F(ManagerFixture, DataFileNameDropsEveryDataPartOfThePath)
{
    auto m = std::make_shared<TTransmitManager>(*engine);
    const QString mapPath = m->CreateDownloadMap(file(QStringLiteral("a.DATA.mp3.data")), 10, kSegmentSize, {});
    EXPECT_EQ(mapPath, file(QStringLiteral("a.mp3.map")));
    EXPECT_EQ(m->dataFileName(), file(QStringLiteral("a.mp3.data")));
}

TEST(AddressSplitter, ResolvedTextsGiveOneAddressPerHttp)
{
    EXPECT_EQ(splitResolvedAddresses("http://a/1.mp3HTTP://b/2.mp3"),
              (QList<QByteArray>{"http://a/1.mp3", "http://b/2.mp3"}));
    EXPECT_EQ(splitResolvedAddresses("HTTP://only/one"), QList<QByteArray>{"http://only/one"});
    EXPECT_TRUE(splitResolvedAddresses("ftp://x/y.mp3").isEmpty());
    EXPECT_TRUE(splitResolvedAddresses("").isEmpty());
    EXPECT_TRUE(isDirectFileAddress("http://h/SONG.MP3"));
    EXPECT_TRUE(isDirectFileAddress("http://h/x.mp3?x=1"));
    EXPECT_FALSE(isDirectFileAddress("http://h/page.html"));
}

TEST_F(ManagerFixture, StartHttpThreadsStartsDirectAddressesUnchangedAndSplitsResolvedOnes)
{
    EngineSettings settings;
    settings.parseWebLink = [](const QByteArray &) {
        return QByteArrayLiteral("http://127.0.0.1:1/x.mp3HTTP://127.0.0.1:1/y.mp3");
    };
    TransferEngine local(settings);
    auto m = std::make_shared<TTransmitManager>(local);
    m->addUrl("http://127.0.0.1:1/SONG.MP3");
    m->addUrl("http://127.0.0.1:1/page");
    m->StartHttpThreads();
    EXPECT_FALSE(m->hasPendingUrls());
    EXPECT_EQ(m->startedAddresses(), (QList<QByteArray>{"http://127.0.0.1:1/SONG.MP3", "http://127.0.0.1:1/x.mp3",
                                                        "http://127.0.0.1:1/y.mp3"}));
    local.HttpThreadList.joinAll();
}

TEST(RingFilePath, NamesThatWouldLeaveTheFolderAreRefused)
{
    const QString ring = QStringLiteral("/tmp/prog/Ring/");
    EXPECT_EQ(ringFilePath(ring, QStringLiteral("a b.mp3")), QStringLiteral("/tmp/prog/Ring/a b.mp3"));
    EXPECT_EQ(ringFilePath(ring, QStringLiteral("Don't Stop.mp3")), QStringLiteral("/tmp/prog/Ring/Don't Stop.mp3"));
    EXPECT_EQ(ringFilePath(ring, QStringLiteral("..x.mp3")), QStringLiteral("/tmp/prog/Ring/..x.mp3"));
    for (const char *bad : {"", ".", "..", "../x.mp3", "/etc/passwd", "a/../../x", "sub/x.mp3", "..\\x.mp3"})
        EXPECT_EQ(ringFilePath(ring, QString::fromLatin1(bad)), std::nullopt) << bad;
}

TEST(InactivityTimeOut, MoreThan15000MsIsTheLimitAlsoAcrossTheWrap)
{
    EXPECT_FALSE(inactivityExpired(16000, 1000, 15000));
    EXPECT_TRUE(inactivityExpired(16001, 1000, 15000));
    const std::uint32_t late = 0xFFFFF000u;
    EXPECT_FALSE(inactivityExpired(late + 15000u, late, 15000)); // wrapped to 0x00002A98
    EXPECT_TRUE(inactivityExpired(late + 15001u, late, 15000));
    EXPECT_FALSE(inactivityExpired(late + 100u, late, 15000));
}

TEST_F(ManagerFixture, ManagerThreadReleasesAManagerIdleFor15001Ms)
{
    tick = 0xFFFFFF00u; // the manager is created just before the wrap
    auto m = start(QStringLiteral("idle.mp3"), content(250000));
    std::vector<DownloadOutcome> released;
    engine->ManagerReleased = [&](std::uint64_t, DownloadOutcome o) { released.push_back(o); };
    TManagerThread thread(*engine);
    tick = 0xFFFFFF00u + 15000u;
    EXPECT_TRUE(thread.pass());
    EXPECT_EQ(engine->TheTransmitManager(), m);
    tick = 0xFFFFFF00u + 15001u;
    EXPECT_FALSE(thread.pass());
    EXPECT_EQ(engine->TheTransmitManager(), nullptr);
    EXPECT_EQ(released, std::vector<DownloadOutcome>{DownloadOutcome::TimedOut});
    // The map keeps what was completed; the .data file stays for the resume.
    EXPECT_TRUE(QFile::exists(file(QStringLiteral("idle.mp3.map"))));
}

TEST_F(ManagerFixture, ManagerThreadVerifiesAMapCompletedBeforeTheProgramStopped)
{
    const QByteArray bytes = content(150000);
    {
        auto m = start(QStringLiteral("done.mp3"), bytes);
        deliver(*m, 0, 0, bytes.mid(0, 100001));
        deliver(*m, 1, 100000, bytes.mid(100000));
        engine->releaseManager(m, DownloadOutcome::Stopped);
    }
    auto m = std::make_shared<TTransmitManager>(*engine);
    m->FileMD5Code = md5Of(bytes);
    m->Filesize = 150000;
    m->LoadDownloadMap(file(QStringLiteral("done.mp3.map")));
    engine->setTheTransmitManager(m);
    TManagerThread thread(*engine);
    for (int i = 0; i < 3; ++i)
        thread.pass();
    EXPECT_EQ(m->outcome(), DownloadOutcome::Completed);
    EXPECT_EQ(engine->TheTransmitManager(), nullptr);
    EXPECT_EQ(folder.readFile(QStringLiteral("Ring/done.mp3")), bytes);
}

TEST(EndGameTakeOver, AWorkerWithoutAFreeSegmentTakesOverTheLargestClaimedOnceOnly)
{
    TempProgramFolder folder;
    QDir().mkpath(folder.path(QStringLiteral("Ring")));
    for (const bool on : {false, true}) {
        EngineSettings settings;
        settings.endGameTakeOver = on;
        TransferEngine engine(settings);
        auto m = std::make_shared<TTransmitManager>(engine);
        m->Filesize = 1200000;
        const QString path = folder.path(QStringLiteral("Ring/t%1.mp3").arg(on));
        m->LoadDownloadMap(m->CreateDownloadMap(path, m->Filesize, kSegmentSize, {}));
        for (int i = 0; i < 12; ++i)
            ASSERT_TRUE(m->AssignSegment(i));
        // Segment 5 has part of its bytes written: segment 0 misses the most.
        const QByteArray part(30000, 'p');
        m->UpdateSegment(5, 500000, m->WriteSegmentData(5, part.constData(), 30000, 500000), {});
        ASSERT_TRUE(m->AssignSegment(5));
        if (!on) {
            EXPECT_EQ(m->GetFreeSegment(), std::nullopt);
            continue;
        }
        ASSERT_EQ(m->GetFreeSegment(), 0);
        EXPECT_TRUE(m->AssignSegment(0));
        EXPECT_EQ(m->GetFreeSegment(), 1); // 0 is taken over already
        EXPECT_FALSE(m->AssignSegment(2)); // only the candidate may be taken over
    }
}
