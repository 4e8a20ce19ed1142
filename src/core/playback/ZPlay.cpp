#include "playback/ZPlay.h"

#include <QFile>

namespace tunelix::playback {

ZPlay::ZPlay(PlayerLibrary &library)
    : m_library(library)
{
    FHandle = m_library.CreateZPlay();
    if (FHandle == 0)
        throw ZPlayError("Can't create libZPlay interface.");
    if (m_library.GetVersion(FHandle) < 190) {
        release(); // a failed construction destroys what it created
        throw ZPlayError("Need libZPlay.dll version 1.90 and above.");
    }
}

ZPlay::~ZPlay() { release(); }

void ZPlay::release()
{
    if (FHandle != 0) {
        m_library.DestroyZPlay(FHandle);
        FHandle = 0;
    }
}

int ZPlay::GetVersion() { return m_library.GetVersion(FHandle); }

QString ZPlay::GetError()
{
    const char *text = m_library.GetError(FHandle);
    FErrorText = text ? QString::fromLocal8Bit(text) : QString();
    return FErrorText;
}

bool ZPlay::SetCallbackFunc(TCallbackFunc callback, int messageMask, void *userData)
{
    return m_library.SetCallbackFunc(FHandle, callback, messageMask, userData) == 1;
}

bool ZPlay::OpenFile(const QString &fileName, std::uint16_t format)
{
    return m_library.OpenFile(FHandle, QFile::encodeName(fileName).constData(), format) != 0;
}

bool ZPlay::AddFile(const QString &fileName, std::uint16_t format)
{
    return m_library.AddFile(FHandle, QFile::encodeName(fileName).constData(), format) != 0;
}

bool ZPlay::Play() { return m_library.Play(FHandle) == 1; }

bool ZPlay::Stop() { return m_library.Stop(FHandle) == 1; }

bool ZPlay::Pause() { return m_library.Pause(FHandle) == 1; }

bool ZPlay::Resume() { return m_library.Resume(FHandle) == 1; }

bool ZPlay::Seek(std::uint8_t timeFormat, TPlayTime &time, std::uint8_t moveMethod)
{
    return m_library.Seek(FHandle, timeFormat, &time, moveMethod) == 1;
}

void ZPlay::GetPosition(TPlayTime &time) { m_library.GetPosition(FHandle, &time); }

void ZPlay::GetStreamInfo(TStreamInfo &info)
{
    TZStreamInfo raw;
    m_library.GetStreamInfo(FHandle, &raw);
    info.SampleRate = raw.SamplingRate;
    info.Channels = raw.ChannelNumber;
    info.IsVbr = raw.VBR == 1;
    info.BitRate = raw.Bitrate;
    info.Length = raw.Length;
    info.Description = raw.Description ? QString::fromLocal8Bit(raw.Description) : QString();
}

} // namespace tunelix::playback
