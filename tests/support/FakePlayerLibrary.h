#pragma once

#include "playback/PlayerLibrary.h"

#include <gmock/gmock.h>

namespace tunelix::test {

// A player library whose every call a test decides (gmock).
class FakePlayerLibrary : public playback::PlayerLibrary
{
public:
    using ZPlayHandle = playback::ZPlayHandle;
    using TCallbackFunc = playback::TCallbackFunc;
    using TPlayTime = playback::TPlayTime;
    using TZStreamInfo = playback::TZStreamInfo;

    MOCK_METHOD(ZPlayHandle, CreateZPlay, (), (override));
    MOCK_METHOD(int, DestroyZPlay, (ZPlayHandle), (override));
    MOCK_METHOD(int, GetVersion, (ZPlayHandle), (override));
    MOCK_METHOD(const char *, GetError, (ZPlayHandle), (override));
    MOCK_METHOD(int, SetCallbackFunc, (ZPlayHandle, TCallbackFunc, int, void *), (override));
    MOCK_METHOD(int, OpenFile, (ZPlayHandle, const char *, int), (override));
    MOCK_METHOD(int, AddFile, (ZPlayHandle, const char *, int), (override));
    MOCK_METHOD(int, Play, (ZPlayHandle), (override));
    MOCK_METHOD(int, Stop, (ZPlayHandle), (override));
    MOCK_METHOD(int, Pause, (ZPlayHandle), (override));
    MOCK_METHOD(int, Resume, (ZPlayHandle), (override));
    MOCK_METHOD(int, Seek, (ZPlayHandle, int, TPlayTime *, int), (override));
    MOCK_METHOD(int, GetPosition, (ZPlayHandle, TPlayTime *), (override));
    MOCK_METHOD(int, GetStreamInfo, (ZPlayHandle, TZStreamInfo *), (override));
};

} // namespace tunelix::test
