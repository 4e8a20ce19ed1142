#pragma once

#include "playback/PlayTime.h"
#include "playback/PlayerLibrary.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tunelix::playback {

class AudioOutput;
struct DecodedStream;

enum class OutputMode {
    Automatic, // the default sound device; the silent paced output when none opens
    Silent, // nothing heard, time advances with the clock as if heard
    SilentUnpaced, // nothing heard, as fast as decoding goes (benchmarks)
};

// TUNELIX_AUDIO_OUTPUT: "silent" gives Silent, "unpaced" gives SilentUnpaced,
// anything else Automatic.
OutputMode outputModeFromEnvironment();

// One instance of the player library: a current MP3 stream, a queue of streams that
// follow it without a gap, and one playback thread that decodes and writes to the
// output. Every member function may be called from any thread, also from the callback
// (which runs on the playback thread) — except the destructor, which joins that thread.
//
// Locks: m_callbackMutex (recursive) is taken first by every operation that ends the
// current play (open, stop, destruction) and held by the playback thread while it calls
// the callback; m_mutex guards the streams and the state. So once Stop or OpenFile
// returns, no "queued file began" message of the earlier play is delivered any more.
class AudioPlayer
{
public:
    explicit AudioPlayer(OutputMode mode = outputModeFromEnvironment());
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer &) = delete;
    AudioPlayer &operator=(const AudioPlayer &) = delete;

    static constexpr int version() { return library::kVersion; }

    // The text of the last failure of this instance.
    std::string lastError() const;

    // Replaces the current stream and the queue; stopped afterwards. False (with the
    // error text set) when the file is missing or holds no MPEG audio; the player then
    // has no stream.
    bool openFile(const std::string &path);
    // Queues a stream to follow the last one without a gap; with no current stream it
    // becomes the current one.
    bool addFile(const std::string &path);

    bool play(); // from the current position; resumes when paused
    bool stop(); // back to the start of the current stream; the queue stays
    bool pause(); // only while playing
    bool resume(); // only while paused
    // An absolute position in whole seconds from the start of the current stream.
    bool seekToSecond(std::uint32_t second);

    TPlayTime position() const;

    struct StreamInfo
    {
        int sampleRate = 0;
        int channels = 0;
        int vbr = 0;
        int bitrate = 0;
        TPlayTime length;
        std::string description;
    };
    std::optional<StreamInfo> streamInfo() const;

    // `callback` gets message 256 when a queued stream begins, if `messageMask` has it.
    void setCallback(TCallbackFunc callback, int messageMask, void *userData);

    bool isPlaying() const;
    // Waits until nothing plays (the end of the last stream, or stop); false on time-out.
    bool waitUntilStopped(std::chrono::milliseconds timeout) const;
    // Sample frames handed to the output since construction (the last chunk of a play
    // is counted by the time the play is seen stopped).
    std::uint64_t framesWritten() const { return m_framesWritten.load(); }

private:
    enum class State { Stopped, Playing, Paused };

    void run();
    void deliverQueuedStreamBegan(std::uint64_t session);
    void setError(std::string text);
    std::unique_ptr<DecodedStream> openStream(const std::string &path);

    const OutputMode m_mode;

    mutable std::recursive_mutex m_callbackMutex;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_wake; // the playback thread waits here
    mutable std::condition_variable m_stateChange; // waitUntilStopped waits here

    // Guarded by m_mutex.
    std::unique_ptr<DecodedStream> m_current;
    std::deque<std::unique_ptr<DecodedStream>> m_queue;
    State m_state = State::Stopped;
    std::uint64_t m_positionFrames = 0; // of the current stream
    std::uint64_t m_session = 0; // bumped by open and stop: ends message delivery
    std::uint64_t m_epoch = 0; // bumped by anything that breaks the sound's continuity
    bool m_quit = false;
    TCallbackFunc m_callback = nullptr;
    int m_messageMask = 0;
    void *m_userData = nullptr;
    std::string m_error;

    std::atomic<std::uint64_t> m_framesWritten { 0 };

    // Owned by the playback thread.
    std::unique_ptr<AudioOutput> m_output;
    std::vector<unsigned char> m_chunk;

    std::thread m_thread; // last: started when everything above exists
};

} // namespace tunelix::playback
