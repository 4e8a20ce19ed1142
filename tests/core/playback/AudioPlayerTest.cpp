#include "playback/AudioPlayer.h"

#include "playback/ZPlay.h"
#include "support/ToneMp3.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace tunelix::playback;
using namespace std::chrono_literals;

namespace {

// Generous: the silent output is paced by the clock, and the machine may be busy.
constexpr auto kPatience = 30s;

bool eventually(const std::function<bool()> &condition)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

struct Messages
{
    std::atomic<int> began { 0 };
    std::atomic<int> other { 0 };
    std::atomic<bool> onOwnThread { true };
    std::thread::id testThread = std::this_thread::get_id();
};

int countMessages(void *, void *userData, int message, std::intptr_t, std::intptr_t)
{
    auto *messages = static_cast<Messages *>(userData);
    if (std::this_thread::get_id() == messages->testThread)
        messages->onOwnThread = false;
    (message == library::kMsgNextSongBegins ? messages->began : messages->other)++;
    return 0;
}

class AudioPlayerTest : public ::testing::Test
{
protected:
    std::string path(const char *name) const { return dir.filePath(QString::fromUtf8(name)).toStdString(); }

    std::string tone(const char *name, double seconds, std::uint64_t *frames = nullptr, int rate = 22050)
    {
        const std::uint64_t n = tunelix::test::writeToneMp3(QString::fromStdString(path(name)), seconds, rate);
        if (frames)
            *frames = n;
        return path(name);
    }

    std::string write(const char *name, const QByteArray &bytes)
    {
        QFile file(QString::fromStdString(path(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path(name);
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(AudioPlayerTest, TwoQueuedPlaysHandExactlyTwiceTheFilesSamplesToTheOutput)
{
    std::uint64_t frames = 0;
    const std::string file = tone("tone.mp3", 1.3, &frames, 44100);
    AudioPlayer player(OutputMode::SilentUnpaced);
    Messages messages;
    player.setCallback(&countMessages, 416, &messages);

    ASSERT_TRUE(player.openFile(file));
    const auto info = player.streamInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->length.TotalSamples, frames); // the encoder's delay and padding are cut
    EXPECT_EQ(info->sampleRate, 44100);
    EXPECT_EQ(info->channels, 1);

    // Queued before play: the unpaced output may finish the first copy before a later
    // addFile could reach the queue.
    ASSERT_TRUE(player.addFile(file));
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(eventually([&] { return !player.isPlaying(); }));
    EXPECT_EQ(player.framesWritten(), 2 * frames);
    EXPECT_EQ(messages.began.load(), 1);
    EXPECT_EQ(messages.other.load(), 0);
    EXPECT_TRUE(messages.onOwnThread.load());
}

struct Timing
{
    std::chrono::steady_clock::time_point began;
    std::atomic<std::int64_t> messageAfterMs { -1 };
};

int noteMessageTime(void *, void *userData, int message, std::intptr_t, std::intptr_t)
{
    auto *timing = static_cast<Timing *>(userData);
    if (message == library::kMsgNextSongBegins)
        timing->messageAfterMs
            = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - timing->began)
                  .count();
    return 0;
}

// The output runs ahead of what is heard; the message waits for the switch to be heard,
// so that restarting on it does not cut off the end of the first copy.
TEST_F(AudioPlayerTest, MessageComesWhenTheQueuedFileIsHeard)
{
    const std::string file = tone("tone.mp3", 1.0);
    AudioPlayer player(OutputMode::Silent);
    Timing timing;
    player.setCallback(&noteMessageTime, 256, &timing);
    ASSERT_TRUE(player.openFile(file));
    timing.began = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(player.addFile(file));
    ASSERT_TRUE(eventually([&] { return timing.messageAfterMs >= 0; }));
    EXPECT_GE(timing.messageAfterMs.load(), 1000 - 30); // never before the first second is heard
}

TEST_F(AudioPlayerTest, MessageMaskWithoutTheBitSendsNothing)
{
    std::uint64_t frames = 0;
    const std::string file = tone("tone.mp3", 0.3, &frames);
    AudioPlayer player(OutputMode::SilentUnpaced);
    Messages messages;
    player.setCallback(&countMessages, 32 | 128, &messages);
    ASSERT_TRUE(player.openFile(file));
    ASSERT_TRUE(player.addFile(file)); // queued before play, so the switch surely happens
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(player.waitUntilStopped(kPatience));
    EXPECT_EQ(player.framesWritten(), 2 * frames); // the switch to the queued copy happened
    EXPECT_EQ(messages.began.load(), 0);
}

TEST_F(AudioPlayerTest, NoMessageAfterStopForTheQueuedFileOfThatPlay)
{
    const std::string file = tone("tone.mp3", 1.0);
    AudioPlayer player(OutputMode::Silent);
    Messages messages;
    player.setCallback(&countMessages, 416, &messages);
    ASSERT_TRUE(player.openFile(file));
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(player.addFile(file));
    ASSERT_TRUE(player.stop());
    // Playing on from the start after the stop is a new play: the queue stays, and the
    // message comes only when that play reaches the queued file.
    EXPECT_EQ(messages.began.load(), 0);
    ASSERT_TRUE(player.openFile(file)); // replaces the queue
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(player.waitUntilStopped(kPatience));
    EXPECT_EQ(messages.began.load(), 0);
}

TEST_F(AudioPlayerTest, BadFilesAreRefusedWithATextAndTheNextFilePlays)
{
    QByteArray truncated;
    {
        const std::string good = tone("good.mp3", 1.0);
        QFile file(QString::fromStdString(good));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        truncated = file.read(300); // the LAME tag frame and hardly more
    }
    struct Case
    {
        const char *name;
        std::string path;
    };
    const Case cases[] = {
        { "missing", path("missing.mp3") },
        { "empty", write("empty.mp3", QByteArray()) },
        { "text", write("text.mp3", QByteArray("this is not an MP3 file at all\n").repeated(200)) },
        { "zeros", write("zeros.mp3", QByteArray(64 * 1024, '\0')) },
        { "truncated", write("truncated.mp3", truncated) },
        { "folder", dir.path().toStdString() },
    };
    AudioPlayer player(OutputMode::SilentUnpaced);
    const std::string good = tone("next.mp3", 0.2);
    for (const Case &c : cases) {
        if (player.openFile(c.path)) {
            // A fragment may hold a frame or two: it must then end by itself.
            EXPECT_TRUE(player.play()) << c.name;
            EXPECT_TRUE(player.waitUntilStopped(kPatience)) << c.name;
        } else {
            EXPECT_FALSE(player.lastError().empty()) << c.name;
            EXPECT_FALSE(player.play()) << c.name;
            EXPECT_FALSE(player.streamInfo()) << c.name;
        }
        ASSERT_TRUE(player.openFile(good)) << "after " << c.name;
        const std::uint64_t before = player.framesWritten();
        ASSERT_TRUE(player.play());
        ASSERT_TRUE(player.waitUntilStopped(kPatience)) << "after " << c.name;
        EXPECT_GT(player.framesWritten(), before) << "after " << c.name;
    }
}

TEST_F(AudioPlayerTest, SilentOutputIsPacedByTheClock)
{
    const std::string file = tone("tone.mp3", 2.0);
    AudioPlayer player(OutputMode::Silent);
    ASSERT_TRUE(player.openFile(file));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.play());
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(20ms);
        const std::uint32_t positionMs = player.position().TotalMs;
        const auto elapsedMs
            = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        // Never ahead of the clock by more than the output's lead (100 ms) and one frame.
        EXPECT_LE(positionMs, elapsedMs + 100 + 60);
    }
}

TEST_F(AudioPlayerTest, PauseHoldsThePositionAndResumeMovesItOn)
{
    const std::string file = tone("tone.mp3", 2.0);
    AudioPlayer player(OutputMode::Silent);
    ASSERT_TRUE(player.openFile(file));
    EXPECT_FALSE(player.pause()); // not playing yet
    EXPECT_FALSE(player.resume());
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(eventually([&] { return player.position().TotalMs >= 200; }));
    ASSERT_TRUE(player.pause());
    EXPECT_FALSE(player.pause());
    const std::uint32_t held = player.position().TotalSamples;
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(player.position().TotalSamples, held);
    EXPECT_FALSE(player.isPlaying());
    ASSERT_TRUE(player.resume());
    ASSERT_TRUE(eventually([&] { return player.position().TotalSamples > held; }));
    ASSERT_TRUE(player.stop());
    EXPECT_EQ(player.position().TotalSamples, 0u);
}

TEST_F(AudioPlayerTest, SeekGoesToAWholeSecondFromTheStart)
{
    const std::string file = tone("tone.mp3", 2.5);
    AudioPlayer player(OutputMode::Silent);
    ASSERT_TRUE(player.openFile(file));
    ASSERT_TRUE(player.seekToSecond(2));
    EXPECT_EQ(player.position().TotalMs, 2000u);
    EXPECT_FALSE(player.seekToSecond(3)); // beyond the end
    EXPECT_EQ(player.position().TotalMs, 2000u);
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(player.waitUntilStopped(kPatience)); // half a second to go
    ASSERT_TRUE(player.seekToSecond(0));
    EXPECT_EQ(player.position().TotalMs, 0u);
}

// The library surface as ZPlay uses it, over the real player.
TEST_F(AudioPlayerTest, ZPlayOverTheBuiltinLibrary)
{
    std::uint64_t frames = 0;
    const std::string file = tone("tone.mp3", 1.0, &frames);
    ZPlay player;
    EXPECT_GE(player.GetVersion(), 190);
    EXPECT_FALSE(player.OpenFile(QString::fromStdString(path("missing.mp3")), 1000));
    EXPECT_FALSE(player.GetError().isEmpty());
    EXPECT_FALSE(player.OpenFile(QString::fromStdString(file), 1)); // only format detection is known
    ASSERT_TRUE(player.OpenFile(QString::fromStdString(file), 1000));
    TStreamInfo info;
    player.GetStreamInfo(info);
    EXPECT_EQ(info.SampleRate, 22050);
    EXPECT_EQ(info.Channels, 1);
    EXPECT_EQ(info.Length.TotalSamples, frames);
    EXPECT_EQ(info.Length.TotalMs, frames * 1000 / 22050);
    EXPECT_FALSE(info.Description.isEmpty());
    TPlayTime target;
    target.TotalSec = 1;
    EXPECT_FALSE(player.Seek(1, target, 1)); // milliseconds are not offered
    EXPECT_TRUE(player.Seek(2, target, 1));
    TPlayTime at;
    player.GetPosition(at);
    EXPECT_EQ(at.TotalSec, 1u); // second 1 of a 1.0 s file is its very end
    EXPECT_EQ(at.TotalMs, 1000u);
}
