// The window's side of the engine over a real catalogue: which row StartNextDownload
// picks, and what a completed download does to the catalogue and the window.
#include "catalogue/TxDataModule.h"
#include "extlib/LinkCodec.h"
#include "support/CatalogueBuilder.h"
#include "support/RawHttpServer.h"
#include "support/TempProgramFolder.h"
#include "transfer/DownloadQueue.h"
#include "transfer/TransmitManager.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace tunelix;
using transfer::DownloadQueue;

namespace {

struct FakeWindow : transfer::DownloadQueueHost
{
    bool viewHasRows() override { return true; }
    qint32 currentFileId() override { return current; }
    bool autoDownloadChecked() override { return buttonChecked; }
    void PlayCurrentFile() override { ++plays; }
    qint32 current = 0;
    bool buttonChecked = false;
    int plays = 0;
};

class QueueFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.createCatalogue();
        QDir().mkpath(folder.path(QStringLiteral("Ring")));
    }

    void catalogueOf(const std::vector<catalogue::CatalogueRow> &rows)
    {
        test::writeCatalogue(folder.path(QStringLiteral("local.mdb")), rows);
        data = std::make_unique<catalogue::TTxDataModule>(folder.path(QStringLiteral("local.mdb")));
        data->openView(catalogue::TTxDataModule::allRowsStatement());
        transfer::EngineSettings settings;
        settings.inactivityTimeoutMs = 60000; // these tests end downloads themselves
        engine = std::make_unique<transfer::TransferEngine>(settings);
        queue = std::make_unique<DownloadQueue>(*engine, *data, folder.path(QStringLiteral("Ring")) + QLatin1Char('/'),
                                                playingNow, autoDownloadOn, window);
    }

    void present(const QString &name) { folder.writeFile(QStringLiteral("Ring/") + name, "x"); }
    QString current() const
    {
        const auto m = engine->TheTransmitManager();
        return m ? m->FileName : QString();
    }

    test::TempProgramFolder folder;
    FakeWindow window;
    std::atomic<bool> playingNow{false};
    std::atomic<bool> autoDownloadOn{false};
    std::unique_ptr<catalogue::TTxDataModule> data;
    std::unique_ptr<transfer::TransferEngine> engine;
    std::unique_ptr<DownloadQueue> queue;
};

} // namespace

TEST_F(QueueFixture, WithAutoDownloadOffOnlyTheGivenRowIsLookedAt)
{
    catalogueOf({test::sampleRow(5, QStringLiteral("five.mp3")), test::sampleRow(4, QStringLiteral("four.mp3"))});
    present(QStringLiteral("five.mp3"));
    queue->StartNextDownload(QStringLiteral("5"));
    EXPECT_EQ(engine->TheTransmitManager(), nullptr);
}

TEST_F(QueueFixture, WithAutoDownloadOnTheNextLowerMissingRowIsTaken)
{
    catalogueOf({test::sampleRow(5, QStringLiteral("five.mp3")), test::sampleRow(4, QStringLiteral("four.mp3")),
                 test::sampleRow(3, QStringLiteral("three.mp3"))});
    present(QStringLiteral("five.mp3"));
    autoDownloadOn = true;
    QSignalSpy started(queue.get(), &DownloadQueue::downloadStarted);
    queue->StartNextDownload(QStringLiteral("5"));
    EXPECT_EQ(current(), QStringLiteral("four.mp3"));
    ASSERT_EQ(started.count(), 1);
    EXPECT_EQ(started.at(0).at(0).toString(), QStringLiteral("four.mp3"));
    // A partial download does not count as present.
    EXPECT_TRUE(QFile::exists(folder.path(QStringLiteral("Ring/four.mp3.map"))));

    // While a manager exists, a call changes nothing.
    queue->StartNextDownload(QStringLiteral("3"));
    EXPECT_EQ(current(), QStringLiteral("four.mp3"));
}

TEST_F(QueueFixture, BothRowsPresentMeansNothingHappens)
{
    catalogueOf({test::sampleRow(5, QStringLiteral("five.mp3")), test::sampleRow(4, QStringLiteral("four.mp3")),
                 test::sampleRow(3, QStringLiteral("three.mp3"))});
    present(QStringLiteral("five.mp3"));
    present(QStringLiteral("four.mp3"));
    autoDownloadOn = true;
    queue->StartNextDownload(QStringLiteral("5"));
    EXPECT_EQ(engine->TheTransmitManager(), nullptr); // three.mp3 is the third row: not looked at
    queue->StartNextDownload(QStringLiteral("4"));
    EXPECT_EQ(current(), QStringLiteral("three.mp3"));
}

TEST_F(QueueFixture, TheViewsFilterNarrowsTheTwoRows)
{
    catalogueOf({test::sampleRow(5, QStringLiteral("rock.mp3")), test::sampleRow(4, QStringLiteral("jazz.mp3")),
                 test::sampleRow(3, QStringLiteral("rock2.mp3"))});
    data->qry1()->setFilterText(QStringLiteral("rock"));
    data->qry1()->setFiltered(true);
    present(QStringLiteral("rock.mp3"));
    autoDownloadOn = true;
    queue->StartNextDownload(QStringLiteral("5"));
    EXPECT_EQ(engine->TheTransmitManager(), nullptr); // jazz.mp3 is filtered out, rock2 is not among the two
}

TEST_F(QueueFixture, NameLeavingTheRingFolderIsSkipped)
{
    catalogueOf({test::sampleRow(5, QStringLiteral("../escape.mp3")), test::sampleRow(4, QStringLiteral("ok.mp3"))});
    queue->StartNextDownload(QStringLiteral("5"));
    EXPECT_EQ(engine->TheTransmitManager(), nullptr);
    autoDownloadOn = true;
    queue->StartNextDownload(QStringLiteral("5"));
    EXPECT_EQ(current(), QStringLiteral("ok.mp3"));
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("escape.mp3.map"))));
}

TEST_F(QueueFixture, CompletedDownloadMarksTheRowsPlaysAndFollowsTheButton)
{
    const std::string body(230000, 'k');
    const QString md5 = QString::fromLatin1(
        QCryptographicHash::hash(QByteArray::fromStdString(body), QCryptographicHash::Md5).toHex());
    test::RawHttpServer server([&](const test::RawRequest &r, auto &c) { test::RawHttpServer::serveFile(r, c, body); });
    auto row = test::sampleRow(8, QStringLiteral("eight.mp3"));
    row.fileSize = int(body.size());
    row.md5Code = md5;
    row.webLinks[0] = QStringLiteral("   "); // blank: no address
    row.webLinks[2] = QString::fromLatin1(
        extlib::encodeLink(QByteArray::fromStdString(server.url("/eight.mp3")), extlib::linkKey(8)));
    auto twin = test::sampleRow(2, QStringLiteral("twin.mp3"));
    twin.md5Code = md5;
    catalogueOf({row, twin});

    window.current = 8;
    window.buttonChecked = false;
    autoDownloadOn = true;
    QSignalSpy finished(queue.get(), &DownloadQueue::downloadFinished);
    QSignalSpy ended(queue.get(), &DownloadQueue::downloadEnded);
    queue->NextFileTimerTimer();
    ASSERT_EQ(current(), QStringLiteral("eight.mp3"));
    EXPECT_EQ(engine->TheTransmitManager()->pendingUrls().size() + engine->TheTransmitManager()->startedAddresses().size(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 30000));
    EXPECT_EQ(ended.at(0).at(1).value<transfer::DownloadOutcome>(), transfer::DownloadOutcome::Completed);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(1).toString(), md5);
    EXPECT_EQ(data->readRow(8)->fileState, 1);
    EXPECT_EQ(data->readRow(2)->fileState, 1); // every row with that MD5
    EXPECT_EQ(window.plays, 1);
    EXPECT_FALSE(autoDownloadOn.load()); // copied from the button
    EXPECT_EQ(folder.readFile(QStringLiteral("Ring/eight.mp3")).toStdString(), body);
}

TEST_F(QueueFixture, StopTransferReleasesTheManagerAndKeepsItsFiles)
{
    catalogueOf({test::sampleRow(5, QStringLiteral("five.mp3"))});
    queue->StartNextDownload(QStringLiteral("5"));
    ASSERT_NE(engine->TheTransmitManager(), nullptr);
    QSignalSpy ended(queue.get(), &DownloadQueue::downloadEnded);
    queue->stopTransfer();
    EXPECT_EQ(engine->TheTransmitManager(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 1; }, 10000));
    EXPECT_EQ(ended.at(0).at(1).value<transfer::DownloadOutcome>(), transfer::DownloadOutcome::Stopped);
    EXPECT_TRUE(QFile::exists(folder.path(QStringLiteral("Ring/five.mp3.map"))));
}
