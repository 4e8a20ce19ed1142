#include "client/song/PlayControl.h"

#include "SongFixture.h"
#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "playback/ZPlay.h"
#include "support/FakePlayerLibrary.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace tunelix;
using namespace tunelix::client;
using ::testing::_;
using ::testing::NiceMock;
using ::testing::Return;

namespace {

// The built-in library, with the messages it reports counted on their way.
class CountingLibrary : public playback::PlayerLibrary
{
public:
    std::atomic<int> queuedFileBegan { 0 };

    playback::ZPlayHandle CreateZPlay() override { return real().CreateZPlay(); }
    int DestroyZPlay(playback::ZPlayHandle h) override { return real().DestroyZPlay(h); }
    int GetVersion(playback::ZPlayHandle h) override { return real().GetVersion(h); }
    const char *GetError(playback::ZPlayHandle h) override { return real().GetError(h); }
    int SetCallbackFunc(playback::ZPlayHandle h, playback::TCallbackFunc f, int mask, void *userData) override
    {
        m_callback = f;
        m_userData = userData;
        return real().SetCallbackFunc(h, f ? &CountingLibrary::trampoline : nullptr, mask, this);
    }
    int OpenFile(playback::ZPlayHandle h, const char *n, int f) override { return real().OpenFile(h, n, f); }
    int AddFile(playback::ZPlayHandle h, const char *n, int f) override { return real().AddFile(h, n, f); }
    int Play(playback::ZPlayHandle h) override { return real().Play(h); }
    int Stop(playback::ZPlayHandle h) override { return real().Stop(h); }
    int Pause(playback::ZPlayHandle h) override { return real().Pause(h); }
    int Resume(playback::ZPlayHandle h) override { return real().Resume(h); }
    int Seek(playback::ZPlayHandle h, int tf, playback::TPlayTime *t, int mm) override
    {
        return real().Seek(h, tf, t, mm);
    }
    int GetPosition(playback::ZPlayHandle h, playback::TPlayTime *t) override { return real().GetPosition(h, t); }
    int GetStreamInfo(playback::ZPlayHandle h, playback::TZStreamInfo *i) override
    {
        return real().GetStreamInfo(h, i);
    }

private:
    static playback::PlayerLibrary &real() { return playback::builtinPlayerLibrary(); }
    static int trampoline(void *instance, void *self, int message, std::intptr_t p1, std::intptr_t p2)
    {
        auto *library = static_cast<CountingLibrary *>(self);
        if (message == playback::library::kMsgNextSongBegins)
            ++library->queuedFileBegan;
        return library->m_callback(instance, library->m_userData, message, p1, p2);
    }
    playback::TCallbackFunc m_callback = nullptr;
    void *m_userData = nullptr;
};

class PlayControlTest : public test::SongFixture
{
protected:
    void SetUp() override
    {
        SongFixture::SetUp();
        control.songStarted = [this](const QString &name, std::uint32_t lengthMs) {
            songName = name;
            songLengthMs = lengthMs;
        };
    }

    QString songName;
    std::uint32_t songLengthMs = 1;
};

} // namespace

TEST_F(PlayControlTest, AFileRepeatsOnceForEachQueuedFileMessageAndFollowsTheCurrentRow)
{
    CountingLibrary library;
    ASSERT_TRUE(control.createPlayer(library));
    std::vector<QString> played;
    std::vector<int> messagesAtStart;
    QObject::connect(&control, &PlayControl::playStarted, [&](const QString &path) {
        played.push_back(path);
        messagesAtStart.push_back(library.queuedFileBegan.load());
        if (played.size() == 2)
            data.qry1()->setCurrentIndex(1); // the user moves to "Second" while "First" repeats
    });

    data.qry1()->setCurrentIndex(0);
    control.PlayCurrentFile();
    EXPECT_TRUE(context.PlayingNow);
    EXPECT_EQ(playLabel, QStringLiteral("Playing: First"));
    EXPECT_EQ(statusLabel, QStringLiteral("First"));
    EXPECT_EQ(songName, QStringLiteral("First"));
    EXPECT_EQ(songLengthMs, 500u);

    ASSERT_TRUE(QTest::qWaitFor([&] { return played.size() >= 4; }, kPatienceMs));
    control.StopPlaying();
    EXPECT_EQ(played[0], ringPath("[Tunelix]First.mp3"));
    EXPECT_EQ(played[1], ringPath("[Tunelix]First.mp3"));
    EXPECT_EQ(played[2], ringPath("Second.mp3"));
    EXPECT_EQ(played[3], ringPath("Second.mp3"));
    // Each repetition follows exactly one report that the queued copy began.
    EXPECT_EQ(messagesAtStart, (std::vector<int> { 0, 1, 2, 3 }));
    EXPECT_FALSE(context.PlayingNow);
    EXPECT_EQ(statusLabel, QString());
    EXPECT_EQ(playLabel, QStringLiteral("Playing: Second")); // left as it was
    control.freePlayer(); // before the library goes
}

TEST_F(PlayControlTest, AMissingFileSwitchesAutomaticDownloadOnOnceAndStops)
{
    ASSERT_TRUE(control.createPlayer());
    data.qry1()->setCurrentIndex(2); // Missing.mp3
    control.PlayCurrentFile();
    EXPECT_EQ(buttonChecks, 1);
    EXPECT_TRUE(context.AutoDownloadOn);
    EXPECT_FALSE(context.PlayingNow);
    EXPECT_EQ(statusLabel, QString());
    EXPECT_EQ(playLabel, QStringLiteral("Play")); // untouched
    EXPECT_TRUE(songName.isNull());

    control.PlayCurrentFile();
    EXPECT_EQ(buttonChecks, 1); // already checked
    EXPECT_FALSE(context.PlayingNow);
}

TEST_F(PlayControlTest, NamesThatAreNotPlainFilesCountAsMissing)
{
    ASSERT_TRUE(control.createPlayer());
    test::writeCatalogue(folder.folder().catalogueDatabase(),
        { test::sampleRow(10, QStringLiteral("../local.mdb")), test::sampleRow(11, QStringLiteral("sub")),
            test::sampleRow(12, QString()) });
    QDir().mkpath(ringPath("sub"));
    data.openView(catalogue::TTxDataModule::allRowsStatement());
    for (int row = 0; row < 3; ++row) {
        data.qry1()->setCurrentIndex(row);
        context.PlayingNow = true;
        control.PlayCurrentFile();
        EXPECT_FALSE(context.PlayingNow) << data.qry1()->current()->fileName.toStdString();
        EXPECT_TRUE(songName.isNull()) << "nothing played";
    }
    EXPECT_EQ(buttonChecks, 1);
}

TEST_F(PlayControlTest, AnEmptyViewCountsAsMissing)
{
    ASSERT_TRUE(control.createPlayer());
    data.qry1()->setFilterText(QStringLiteral("no such name"));
    data.qry1()->setFiltered(true);
    ASSERT_EQ(data.qry1()->current(), nullptr);
    control.PlayCurrentFile();
    EXPECT_EQ(buttonChecks, 1);
    EXPECT_FALSE(context.PlayingNow);
}

TEST_F(PlayControlTest, AFileThatIsNotAnMp3ShowsItsNameAndTheNextPlayWorks)
{
    ASSERT_TRUE(control.createPlayer());
    QSignalSpy started(&control, &PlayControl::playStarted);
    data.qry1()->setCurrentIndex(3); // the bad file
    control.PlayCurrentFile();
    EXPECT_EQ(playLabel, QStringLiteral("Playing: Bad"));
    EXPECT_EQ(songName, QStringLiteral("Bad"));
    EXPECT_EQ(songLengthMs, 0u);
    EXPECT_TRUE(context.PlayingNow);

    data.qry1()->setCurrentIndex(0);
    control.PlayCurrentFile();
    EXPECT_EQ(songName, QStringLiteral("First"));
    // It plays and repeats.
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.count() >= 3; }, kPatienceMs));
    EXPECT_EQ(started.at(2).at(0).toString(), ringPath("[Tunelix]First.mp3"));
}

TEST_F(PlayControlTest, ALateReportOfAReplacedPlayDoesNothing)
{
    ASSERT_TRUE(control.createPlayer());
    QSignalSpy started(&control, &PlayControl::playStarted);
    data.qry1()->setCurrentIndex(0);
    control.PlayCurrentFile();
    // A report of this play is on its way from the player's thread ...
    std::thread([&] { PlayControl::PlayerCallback(nullptr, &control, 256, 0, 0); }).join();
    // ... when the user starts another row.
    data.qry1()->setCurrentIndex(1);
    control.PlayCurrentFile();
    ASSERT_EQ(started.count(), 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(started.count(), 2);

    // A report of the current play does restart it; other messages and reports while
    // nothing is wanted do not.
    std::thread([&] { PlayControl::PlayerCallback(nullptr, &control, 128, 0, 0); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(started.count(), 2);
    std::thread([&] { PlayControl::PlayerCallback(nullptr, &control, 256, 0, 0); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(started.count(), 3);
    control.StopPlaying();
    std::thread([&] { PlayControl::PlayerCallback(nullptr, &control, 256, 0, 0); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(started.count(), 3);
}

TEST_F(PlayControlTest, AFailedCallbackRegistrationReportsThePlayersError)
{
    NiceMock<test::FakePlayerLibrary> library;
    ON_CALL(library, CreateZPlay()).WillByDefault(Return(7));
    ON_CALL(library, GetVersion(_)).WillByDefault(Return(200));
    ON_CALL(library, SetCallbackFunc(7, _, 416, _)).WillByDefault(Return(0));
    ON_CALL(library, GetError(7)).WillByDefault(Return("callbacks are not available"));
    QString shown;
    control.fatalError = [&](const QString &text) { shown = text; };
    EXPECT_FALSE(control.createPlayer(library));
    EXPECT_EQ(shown, QStringLiteral("callbacks are not available"));
    control.freePlayer();
}

TEST_F(PlayControlTest, AnOldPlayerIsRefusedWithItsMessage)
{
    NiceMock<test::FakePlayerLibrary> library;
    ON_CALL(library, CreateZPlay()).WillByDefault(Return(7));
    ON_CALL(library, GetVersion(_)).WillByDefault(Return(189));
    EXPECT_CALL(library, DestroyZPlay(7)).Times(1);
    try {
        control.createPlayer(library);
        FAIL() << "an old player was accepted";
    } catch (const playback::ZPlayError &e) {
        EXPECT_STREQ(e.what(), "Need libZPlay.dll version 1.90 and above.");
    }
    EXPECT_EQ(context.ThePlayer, nullptr);
    // Without a player nothing plays, and nothing breaks.
    data.qry1()->setCurrentIndex(0);
    control.PlayCurrentFile();
    EXPECT_FALSE(context.PlayingNow);
}

TEST_F(PlayControlTest, APlayRequestedFromAnotherThreadRunsOnTheGuiThread)
{
    ASSERT_TRUE(control.createPlayer());
    data.qry1()->setCurrentIndex(0);
    std::thread::id ranOn;
    QObject::connect(&control, &PlayControl::playStarted, [&] { ranOn = std::this_thread::get_id(); });
    std::thread([&] { control.requestPlayCurrentFile(); }).join();
    EXPECT_EQ(ranOn, std::thread::id()); // not yet: it waits for the GUI thread's event loop
    ASSERT_TRUE(QTest::qWaitFor([&] { return ranOn != std::thread::id(); }, kPatienceMs));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(context.PlayingNow);
}
