#pragma once

#include "playback/PlayTime.h"
#include "playback/PlayerLibrary.h"

#include <QString>

#include <cstdint>
#include <stdexcept>

namespace tunelix::playback {

// The client's record of stream information, copied field by field from the library's.
struct TStreamInfo
{
    std::int32_t SampleRate = 0;
    std::int32_t Channels = 0;
    bool IsVbr = false;
    std::int32_t BitRate = 0;
    TPlayTime Length;
    QString Description;
};

// A construction failure of ZPlay; what() is the message shown to the user.
class ZPlayError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The client's thin wrapper over one instance of the player library: each operation
// passes the instance handle on and turns the integer result into true or false.
// ZPlay adds no locking; the library is safe to call from any thread. The registered
// callback comes from the library's playback thread.
class ZPlay
{
public:
    // Throws ZPlayError "Can't create libZPlay interface." or
    // "Need libZPlay.dll version 1.90 and above."; a failed construction leaves no
    // library instance behind.
    explicit ZPlay(PlayerLibrary &library = builtinPlayerLibrary());
    ~ZPlay();
    ZPlay(const ZPlay &) = delete;
    ZPlay &operator=(const ZPlay &) = delete;

    int GetVersion();
    // The library's error text; the returned string is the caller's own copy.
    QString GetError();
    bool SetCallbackFunc(TCallbackFunc callback, int messageMask, void *userData);
    bool OpenFile(const QString &fileName, std::uint16_t format);
    bool AddFile(const QString &fileName, std::uint16_t format);
    bool Play();
    bool Stop();
    bool Pause();
    bool Resume();
    bool Seek(std::uint8_t timeFormat, TPlayTime &time, std::uint8_t moveMethod);
    void GetPosition(TPlayTime &time);
    void GetStreamInfo(TStreamInfo &info);

private:
    void release();

    QString FErrorText;
    PlayerLibrary &m_library;
    ZPlayHandle FHandle = 0;
};

} // namespace tunelix::playback
