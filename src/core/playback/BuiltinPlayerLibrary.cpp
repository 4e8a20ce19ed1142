#include "playback/AudioPlayer.h"
#include "playback/PlayerLibrary.h"

#include <string>

namespace tunelix::playback {

namespace {

// One library instance: the player and the texts whose addresses the library hands out.
struct Instance
{
    AudioPlayer player;
    std::string errorText;
    std::string description;
};

Instance *instanceOf(ZPlayHandle handle) { return reinterpret_cast<Instance *>(handle); }

class BuiltinLibrary final : public PlayerLibrary
{
public:
    ZPlayHandle CreateZPlay() override { return reinterpret_cast<ZPlayHandle>(new Instance); }

    int DestroyZPlay(ZPlayHandle handle) override
    {
        delete instanceOf(handle);
        return 1;
    }

    int GetVersion(ZPlayHandle) override { return AudioPlayer::version(); }

    const char *GetError(ZPlayHandle handle) override
    {
        Instance *instance = instanceOf(handle);
        instance->errorText = instance->player.lastError();
        return instance->errorText.c_str();
    }

    int SetCallbackFunc(ZPlayHandle handle, TCallbackFunc callback, int messageMask, void *userData) override
    {
        instanceOf(handle)->player.setCallback(callback, messageMask, userData);
        return 1;
    }

    int OpenFile(ZPlayHandle handle, const char *fileName, int format) override
    {
        if (format != library::kFormatAutodetect || !fileName)
            return 0;
        return instanceOf(handle)->player.openFile(fileName) ? 1 : 0;
    }

    int AddFile(ZPlayHandle handle, const char *fileName, int format) override
    {
        if (format != library::kFormatAutodetect || !fileName)
            return 0;
        return instanceOf(handle)->player.addFile(fileName) ? 1 : 0;
    }

    int Play(ZPlayHandle handle) override { return instanceOf(handle)->player.play() ? 1 : 0; }
    int Stop(ZPlayHandle handle) override { return instanceOf(handle)->player.stop() ? 1 : 0; }
    int Pause(ZPlayHandle handle) override { return instanceOf(handle)->player.pause() ? 1 : 0; }
    int Resume(ZPlayHandle handle) override { return instanceOf(handle)->player.resume() ? 1 : 0; }

    int Seek(ZPlayHandle handle, int timeFormat, TPlayTime *time, int moveMethod) override
    {
        // The client seeks only to whole seconds counted from the start.
        if (!time || timeFormat != library::kTimeFormatSeconds || moveMethod != library::kSeekFromBeginning)
            return 0;
        return instanceOf(handle)->player.seekToSecond(time->TotalSec) ? 1 : 0;
    }

    int GetPosition(ZPlayHandle handle, TPlayTime *time) override
    {
        if (!time)
            return 0;
        *time = instanceOf(handle)->player.position();
        return 1;
    }

    int GetStreamInfo(ZPlayHandle handle, TZStreamInfo *info) override
    {
        if (!info)
            return 0;
        Instance *instance = instanceOf(handle);
        const auto stream = instance->player.streamInfo();
        if (!stream) {
            *info = TZStreamInfo {};
            instance->description.clear();
            info->Description = instance->description.c_str();
            return 0;
        }
        instance->description = stream->description;
        info->SamplingRate = stream->sampleRate;
        info->ChannelNumber = stream->channels;
        info->VBR = stream->vbr;
        info->Bitrate = stream->bitrate;
        info->Length = stream->length;
        info->Description = instance->description.c_str();
        return 1;
    }
};

} // namespace

PlayerLibrary &builtinPlayerLibrary()
{
    static BuiltinLibrary library;
    return library;
}

} // namespace tunelix::playback
