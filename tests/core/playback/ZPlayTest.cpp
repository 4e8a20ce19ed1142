#include "playback/ZPlay.h"

#include "support/FakePlayerLibrary.h"

#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace tunelix::playback;
using ::testing::_;
using ::testing::NiceMock;
using ::testing::Return;

namespace {

using FakeLibrary = tunelix::test::FakePlayerLibrary;

constexpr ZPlayHandle kHandle = 0x5150;

std::string constructionError(FakeLibrary &library)
{
    try {
        ZPlay player(library);
    } catch (const ZPlayError &e) {
        return e.what();
    }
    return {};
}

} // namespace

TEST(ZPlay, VersionBelow190FailsAndDestroysTheInstance)
{
    NiceMock<FakeLibrary> library;
    EXPECT_CALL(library, CreateZPlay()).WillOnce(Return(kHandle));
    EXPECT_CALL(library, GetVersion(kHandle)).WillOnce(Return(189));
    EXPECT_CALL(library, DestroyZPlay(kHandle)).Times(1);
    EXPECT_EQ(constructionError(library), "Need libZPlay.dll version 1.90 and above.");
}

TEST(ZPlay, Version190PassesAndTheDestructorDestroysOnce)
{
    NiceMock<FakeLibrary> library;
    EXPECT_CALL(library, CreateZPlay()).WillOnce(Return(kHandle));
    EXPECT_CALL(library, GetVersion(kHandle)).WillRepeatedly(Return(190));
    EXPECT_CALL(library, DestroyZPlay(kHandle)).Times(1);
    EXPECT_EQ(constructionError(library), "");
}

TEST(ZPlay, NoInstanceFailsWithoutAnyFurtherLibraryCall)
{
    FakeLibrary library; // strict enough: any unexpected call fails the test
    EXPECT_CALL(library, CreateZPlay()).WillOnce(Return(0));
    EXPECT_CALL(library, GetVersion(_)).Times(0);
    EXPECT_CALL(library, DestroyZPlay(_)).Times(0);
    EXPECT_EQ(constructionError(library), "Can't create libZPlay interface.");
}

// Which library results each operation reports as success.
TEST(ZPlay, ResultMapping)
{
    NiceMock<FakeLibrary> library;
    ON_CALL(library, CreateZPlay()).WillByDefault(Return(kHandle));
    ON_CALL(library, GetVersion(_)).WillByDefault(Return(200));
    ZPlay player(library);

    struct Case
    {
        const char *operation;
        std::function<bool()> call;
        std::function<void(int)> libraryReturns;
        int result;
        bool expected;
    };
    TPlayTime time;
    const std::vector<Case> cases = {
        { "OpenFile", [&] { return player.OpenFile(QStringLiteral("a.mp3"), 1000); },
            [&](int r) { ON_CALL(library, OpenFile(kHandle, _, 1000)).WillByDefault(Return(r)); }, 2, true },
        { "OpenFile", [&] { return player.OpenFile(QStringLiteral("a.mp3"), 1000); },
            [&](int r) { ON_CALL(library, OpenFile(kHandle, _, 1000)).WillByDefault(Return(r)); }, -1, true },
        { "OpenFile", [&] { return player.OpenFile(QStringLiteral("a.mp3"), 1000); },
            [&](int r) { ON_CALL(library, OpenFile(kHandle, _, 1000)).WillByDefault(Return(r)); }, 0, false },
        { "AddFile", [&] { return player.AddFile(QStringLiteral("a.mp3"), 1000); },
            [&](int r) { ON_CALL(library, AddFile(kHandle, _, 1000)).WillByDefault(Return(r)); }, 2, true },
        { "AddFile", [&] { return player.AddFile(QStringLiteral("a.mp3"), 1000); },
            [&](int r) { ON_CALL(library, AddFile(kHandle, _, 1000)).WillByDefault(Return(r)); }, 0, false },
        { "Play", [&] { return player.Play(); },
            [&](int r) { ON_CALL(library, Play(kHandle)).WillByDefault(Return(r)); }, 1, true },
        { "Play", [&] { return player.Play(); },
            [&](int r) { ON_CALL(library, Play(kHandle)).WillByDefault(Return(r)); }, 2, false },
        { "Stop", [&] { return player.Stop(); },
            [&](int r) { ON_CALL(library, Stop(kHandle)).WillByDefault(Return(r)); }, 2, false },
        { "Pause", [&] { return player.Pause(); },
            [&](int r) { ON_CALL(library, Pause(kHandle)).WillByDefault(Return(r)); }, -1, false },
        { "Resume", [&] { return player.Resume(); },
            [&](int r) { ON_CALL(library, Resume(kHandle)).WillByDefault(Return(r)); }, 1, true },
        { "Seek", [&] { return player.Seek(2, time, 1); },
            [&](int r) { ON_CALL(library, Seek(kHandle, 2, &time, 1)).WillByDefault(Return(r)); }, 2, false },
        { "Seek", [&] { return player.Seek(2, time, 1); },
            [&](int r) { ON_CALL(library, Seek(kHandle, 2, &time, 1)).WillByDefault(Return(r)); }, 1, true },
        { "SetCallbackFunc", [&] { return player.SetCallbackFunc(nullptr, 416, nullptr); },
            [&](int r) { ON_CALL(library, SetCallbackFunc(kHandle, _, 416, _)).WillByDefault(Return(r)); }, 2, false },
        { "SetCallbackFunc", [&] { return player.SetCallbackFunc(nullptr, 416, nullptr); },
            [&](int r) { ON_CALL(library, SetCallbackFunc(kHandle, _, 416, _)).WillByDefault(Return(r)); }, 1, true },
    };
    for (const Case &c : cases) {
        c.libraryReturns(c.result);
        EXPECT_EQ(c.call(), c.expected) << c.operation << " with library result " << c.result;
    }
}

TEST(ZPlay, PassesTheFileNameAsText)
{
    NiceMock<FakeLibrary> library;
    ON_CALL(library, CreateZPlay()).WillByDefault(Return(kHandle));
    ON_CALL(library, GetVersion(_)).WillByDefault(Return(200));
    std::string seen;
    EXPECT_CALL(library, OpenFile(kHandle, _, 1000)).WillOnce([&](ZPlayHandle, const char *name, int) {
        seen = name;
        return 1;
    });
    ZPlay player(library);
    player.OpenFile(QStringLiteral("/ring/Don't Stop.mp3"), 1000);
    EXPECT_EQ(seen, "/ring/Don't Stop.mp3");
}

TEST(ZPlay, GetErrorReturnsTheCallersOwnCopy)
{
    NiceMock<FakeLibrary> library;
    ON_CALL(library, CreateZPlay()).WillByDefault(Return(kHandle));
    ON_CALL(library, GetVersion(_)).WillByDefault(Return(200));
    char buffer[32] = "first error";
    ON_CALL(library, GetError(kHandle)).WillByDefault(Return(buffer));
    ZPlay player(library);
    const QString first = player.GetError();
    std::strcpy(buffer, "second");
    const QString second = player.GetError();
    EXPECT_EQ(first, QStringLiteral("first error"));
    EXPECT_EQ(second, QStringLiteral("second"));
}

TEST(ZPlay, StreamInfoIsCopiedFieldByField)
{
    NiceMock<FakeLibrary> library;
    ON_CALL(library, CreateZPlay()).WillByDefault(Return(kHandle));
    ON_CALL(library, GetVersion(_)).WillByDefault(Return(200));
    char description[] = "MPEG-1 Layer III";
    const TPlayTime length { 61, 61500, 2712150, 0, 1, 1, 500 };
    int vbr = 2;
    ON_CALL(library, GetStreamInfo(kHandle, _)).WillByDefault([&](ZPlayHandle, TZStreamInfo *info) {
        info->SamplingRate = 44100;
        info->ChannelNumber = 2;
        info->VBR = vbr;
        info->Bitrate = 128;
        info->Length = length;
        info->Description = description;
        return 1;
    });
    ZPlay player(library);
    for (const auto &[libraryVbr, isVbr] :
        std::vector<std::pair<int, bool>> { { 0, false }, { 1, true }, { 2, false } }) {
        vbr = libraryVbr;
        TStreamInfo info;
        player.GetStreamInfo(info);
        EXPECT_EQ(info.IsVbr, isVbr) << "library VBR value " << libraryVbr;
        EXPECT_EQ(info.SampleRate, 44100);
        EXPECT_EQ(info.Channels, 2);
        EXPECT_EQ(info.BitRate, 128);
        EXPECT_EQ(info.Length, length);
        EXPECT_EQ(info.Description, QStringLiteral("MPEG-1 Layer III"));
    }
    TStreamInfo kept;
    player.GetStreamInfo(kept);
    description[0] = 'X'; // the library's text changes; the record keeps its copy
    EXPECT_EQ(kept.Description, QStringLiteral("MPEG-1 Layer III"));
}
