#pragma once

#include "playback/PlayTime.h"

#include <cstdint>

namespace tunelix::playback {

// The player library's surface as the client's `ZPlay` uses it: an instance handle,
// integer results, plain records. It stands in for the published playback library the
// client was built against; `builtinPlayerLibrary()` implements it over libmpg123 and
// libout123 (see AudioPlayer). Tests hand `ZPlay` a library of their own.

// An instance of the library; 0 when there is none.
using ZPlayHandle = std::uintptr_t;

// Called by the library, from its own playback thread, with the instance, the user
// data given at registration, the message and two message parameters.
using TCallbackFunc = int (*)(void *instance, void *userData, int message, std::intptr_t param1, std::intptr_t param2);

namespace library {
inline constexpr int kVersion = 200; // GetVersion: version times 100
inline constexpr int kFormatAutodetect = 1000; // OpenFile/AddFile: detect the format
inline constexpr int kTimeFormatSeconds = 2; // Seek: the time is TotalSec
inline constexpr int kSeekFromBeginning = 1; // Seek: counted from the start
inline constexpr int kMsgNextSongBegins = 256; // callback: the queued file has begun
} // namespace library

// The library's own stream information record.
struct TZStreamInfo
{
    int SamplingRate = 0;
    int ChannelNumber = 0;
    int VBR = 0; // 0 constant, 1 variable, 2 average bit rate
    int Bitrate = 0; // kbit/s; the average for a variable bit rate
    TPlayTime Length;
    const char *Description = nullptr; // valid until the next GetStreamInfo of the instance
};

class PlayerLibrary
{
public:
    virtual ~PlayerLibrary() = default;

    virtual ZPlayHandle CreateZPlay() = 0;
    virtual int DestroyZPlay(ZPlayHandle handle) = 0;
    virtual int GetVersion(ZPlayHandle handle) = 0;
    // Valid until the next GetError of the instance.
    virtual const char *GetError(ZPlayHandle handle) = 0;
    virtual int SetCallbackFunc(ZPlayHandle handle, TCallbackFunc callback, int messageMask, void *userData) = 0;
    virtual int OpenFile(ZPlayHandle handle, const char *fileName, int format) = 0;
    virtual int AddFile(ZPlayHandle handle, const char *fileName, int format) = 0;
    virtual int Play(ZPlayHandle handle) = 0;
    virtual int Stop(ZPlayHandle handle) = 0;
    virtual int Pause(ZPlayHandle handle) = 0;
    virtual int Resume(ZPlayHandle handle) = 0;
    virtual int Seek(ZPlayHandle handle, int timeFormat, TPlayTime *time, int moveMethod) = 0;
    virtual int GetPosition(ZPlayHandle handle, TPlayTime *time) = 0;
    virtual int GetStreamInfo(ZPlayHandle handle, TZStreamInfo *info) = 0;
};

// The library of this program: each instance is an AudioPlayer whose output is chosen
// by the environment (TUNELIX_AUDIO_OUTPUT, see AudioPlayer.h).
PlayerLibrary &builtinPlayerLibrary();

} // namespace tunelix::playback
