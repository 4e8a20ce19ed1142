#include "playback/AudioPlayer.h"

#include "playback/AudioOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mpg123.h>
#include <system_error>

namespace tunelix::playback {

namespace {

struct Mpg123Deleter
{
    void operator()(mpg123_handle *handle) const { mpg123_delete(handle); }
};
using Mpg123Ptr = std::unique_ptr<mpg123_handle, Mpg123Deleter>;

struct FileCloser
{
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The decoder reads through a buffered file: its own reads are a few bytes at a time,
// one system call each, which doubled the CPU time of a play.
constexpr size_t kReadBuffer = 64 * 1024;

mpg123_ssize_t readFile(void *file, void *buffer, size_t count)
{
    auto *f = static_cast<std::FILE *>(file);
    const size_t got = std::fread(buffer, 1, count, f);
    if (got == 0 && std::ferror(f))
        return -1;
    return static_cast<mpg123_ssize_t>(got);
}

off_t seekFile(void *file, off_t offset, int whence)
{
    auto *f = static_cast<std::FILE *>(file);
    if (fseeko(f, offset, whence) != 0)
        return -1;
    return ftello(f);
}

// How far a silent paced output may run ahead of the clock, like a device buffer.
constexpr std::chrono::milliseconds kSilentLead { 100 };
constexpr int kBytesPerSample = 2; // 16-bit signed output

void initialiseDecoderLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

const char *versionName(int version)
{
    switch (version) {
    case MPG123_1_0:
        return "MPEG-1";
    case MPG123_2_0:
        return "MPEG-2";
    case MPG123_2_5:
        return "MPEG-2.5";
    default:
        return "MPEG";
    }
}

const char *layerName(int layer)
{
    switch (layer) {
    case 1:
        return "Layer I";
    case 2:
        return "Layer II";
    case 3:
        return "Layer III";
    default:
        return "Layer ?";
    }
}

} // namespace

// One opened MP3 file, scanned so that its length is exact and seeking is sample-exact.
struct DecodedStream
{
    FilePtr file; // read by the decoder, so it outlives it
    Mpg123Ptr handle;
    long sampleRate = 0;
    int channels = 0;
    std::uint64_t lengthFrames = 0;
    int vbr = 0;
    int bitrate = 0;
    std::string description;
    std::uint64_t framesDecoded = 0; // over the stream's life, seeks included
};

OutputMode outputModeFromEnvironment()
{
    const char *value = std::getenv("TUNELIX_AUDIO_OUTPUT");
    if (!value)
        return OutputMode::Automatic;
    const std::string text(value);
    if (text == "silent")
        return OutputMode::Silent;
    if (text == "unpaced")
        return OutputMode::SilentUnpaced;
    return OutputMode::Automatic;
}

AudioPlayer::AudioPlayer(OutputMode mode)
    : m_mode(mode)
{
    initialiseDecoderLibrary();
    m_thread = std::thread(&AudioPlayer::run, this);
}

AudioPlayer::~AudioPlayer()
{
    {
        std::lock_guard callbackLock(m_callbackMutex);
        std::lock_guard lock(m_mutex);
        m_quit = true;
        ++m_session;
    }
    m_wake.notify_all();
    m_stateChange.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

std::string AudioPlayer::lastError() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void AudioPlayer::setError(std::string text)
{
    std::lock_guard lock(m_mutex);
    m_error = std::move(text);
}

std::unique_ptr<DecodedStream> AudioPlayer::openStream(const std::string &path)
{
    int error = MPG123_OK;
    Mpg123Ptr handle(mpg123_new(nullptr, &error));
    if (!handle) {
        setError(std::string("cannot create a decoder: ") + mpg123_plain_strerror(error));
        return nullptr;
    }
    mpg123_handle *h = handle.get();
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    // Every rate, mono or stereo as the file has it, always 16-bit: the outputs take one encoding.
    mpg123_format_none(h);
    const long *rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);

    if (std::error_code ec; !std::filesystem::is_regular_file(path, ec)) {
        setError("not a file: " + path);
        return nullptr;
    }
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        setError("cannot open " + path + ": " + std::strerror(errno));
        return nullptr;
    }
    std::setvbuf(file.get(), nullptr, _IOFBF, kReadBuffer);
    if (mpg123_replace_reader_handle(h, &readFile, &seekFile, nullptr) != MPG123_OK
        || mpg123_open_handle(h, file.get()) != MPG123_OK) {
        setError("cannot open " + path + ": " + mpg123_strerror(h));
        return nullptr;
    }
    auto stream = std::make_unique<DecodedStream>();
    stream->file = std::move(file);
    int encoding = 0;
    if (mpg123_getformat(h, &stream->sampleRate, &stream->channels, &encoding) != MPG123_OK || stream->sampleRate <= 0
        || stream->channels <= 0) {
        setError("no MPEG audio in " + path);
        return nullptr;
    }
    // A full scan gives the exact length (gapless trimming included) and a seek index.
    if (mpg123_scan(h) != MPG123_OK) {
        setError("cannot read " + path + ": " + mpg123_strerror(h));
        return nullptr;
    }
    const off_t length = mpg123_length(h);
    if (length <= 0) {
        setError("no audio frames in " + path);
        return nullptr;
    }
    stream->lengthFrames = static_cast<std::uint64_t>(length);

    mpg123_frameinfo2 info {};
    if (mpg123_info2(h, &info) == MPG123_OK) {
        stream->vbr = info.vbr;
        stream->bitrate = info.bitrate;
        char text[64];
        std::snprintf(text, sizeof text, "%s %s", versionName(info.version), layerName(info.layer));
        stream->description = text;
    }
    if (stream->vbr != MPG123_CBR) {
        std::error_code ec;
        const auto bytes = std::filesystem::file_size(path, ec);
        if (!ec)
            stream->bitrate = static_cast<int>(
                bytes * 8 * static_cast<std::uint64_t>(stream->sampleRate) / stream->lengthFrames / 1000);
    }
    stream->handle = std::move(handle);
    return stream;
}

bool AudioPlayer::openFile(const std::string &path)
{
    auto stream = openStream(path);
    std::lock_guard callbackLock(m_callbackMutex);
    std::lock_guard lock(m_mutex);
    m_current = std::move(stream);
    m_queue.clear();
    m_state = State::Stopped;
    m_positionFrames = 0;
    ++m_session;
    ++m_epoch;
    m_wake.notify_all();
    m_stateChange.notify_all();
    return m_current != nullptr;
}

bool AudioPlayer::addFile(const std::string &path)
{
    auto stream = openStream(path);
    if (!stream)
        return false;
    std::lock_guard lock(m_mutex);
    if (!m_current) {
        m_current = std::move(stream);
        m_positionFrames = 0;
    } else {
        m_queue.push_back(std::move(stream));
    }
    return true;
}

bool AudioPlayer::play()
{
    std::lock_guard lock(m_mutex);
    if (!m_current) {
        m_error = "no file is open";
        return false;
    }
    m_state = State::Playing;
    m_wake.notify_all();
    m_stateChange.notify_all();
    return true;
}

bool AudioPlayer::stop()
{
    std::lock_guard callbackLock(m_callbackMutex);
    std::lock_guard lock(m_mutex);
    ++m_session;
    ++m_epoch;
    m_state = State::Stopped;
    m_positionFrames = 0;
    if (m_current)
        mpg123_seek(m_current->handle.get(), 0, SEEK_SET);
    m_wake.notify_all();
    m_stateChange.notify_all();
    if (!m_current) {
        m_error = "no file is open";
        return false;
    }
    return true;
}

bool AudioPlayer::pause()
{
    std::lock_guard lock(m_mutex);
    if (m_state != State::Playing) {
        m_error = "not playing";
        return false;
    }
    m_state = State::Paused;
    m_wake.notify_all();
    m_stateChange.notify_all();
    return true;
}

bool AudioPlayer::resume()
{
    std::lock_guard lock(m_mutex);
    if (m_state != State::Paused) {
        m_error = "not paused";
        return false;
    }
    m_state = State::Playing;
    m_wake.notify_all();
    m_stateChange.notify_all();
    return true;
}

bool AudioPlayer::seekToSecond(std::uint32_t second)
{
    std::lock_guard lock(m_mutex);
    if (!m_current) {
        m_error = "no file is open";
        return false;
    }
    const std::uint64_t target = std::uint64_t { second } * static_cast<std::uint64_t>(m_current->sampleRate);
    if (target > m_current->lengthFrames) {
        m_error = "position beyond the end of the stream";
        return false;
    }
    const off_t reached = mpg123_seek(m_current->handle.get(), static_cast<off_t>(target), SEEK_SET);
    if (reached < 0) {
        m_error = std::string("cannot seek: ") + mpg123_strerror(m_current->handle.get());
        return false;
    }
    m_positionFrames = static_cast<std::uint64_t>(reached);
    ++m_epoch;
    m_wake.notify_all();
    return true;
}

TPlayTime AudioPlayer::position() const
{
    std::lock_guard lock(m_mutex);
    if (!m_current)
        return {};
    return playTimeFromSamples(m_positionFrames, static_cast<std::uint32_t>(m_current->sampleRate));
}

std::optional<AudioPlayer::StreamInfo> AudioPlayer::streamInfo() const
{
    std::lock_guard lock(m_mutex);
    if (!m_current)
        return std::nullopt;
    const DecodedStream &s = *m_current;
    return StreamInfo { static_cast<int>(s.sampleRate), s.channels, s.vbr, s.bitrate,
        playTimeFromSamples(s.lengthFrames, static_cast<std::uint32_t>(s.sampleRate)), s.description };
}

void AudioPlayer::setCallback(TCallbackFunc callback, int messageMask, void *userData)
{
    std::lock_guard callbackLock(m_callbackMutex);
    std::lock_guard lock(m_mutex);
    m_callback = callback;
    m_messageMask = messageMask;
    m_userData = userData;
}

bool AudioPlayer::isPlaying() const
{
    std::lock_guard lock(m_mutex);
    return m_state == State::Playing;
}

bool AudioPlayer::waitUntilStopped(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_stateChange.wait_for(lock, timeout, [this] { return m_state == State::Stopped; });
}

void AudioPlayer::deliverQueuedStreamBegan(std::uint64_t session)
{
    std::lock_guard callbackLock(m_callbackMutex);
    TCallbackFunc callback = nullptr;
    void *userData = nullptr;
    {
        std::lock_guard lock(m_mutex);
        // A stop or a new file since the switch: that play is no longer wanted.
        if (m_quit || m_session != session || !(m_messageMask & library::kMsgNextSongBegins))
            return;
        callback = m_callback;
        userData = m_userData;
    }
    if (callback)
        callback(this, userData, library::kMsgNextSongBegins, 0, 0);
}

void AudioPlayer::run()
{
    using Clock = std::chrono::steady_clock;
    constexpr std::uint64_t kNoEpoch = ~std::uint64_t { 0 };

    std::unique_lock lock(m_mutex);
    long outRate = 0;
    int outChannels = 0;
    bool outputPaused = false;
    std::uint64_t writtenEpoch = kNoEpoch; // epoch of the last chunk written
    Clock::time_point anchor; // pacing: when anchorFrames began to count
    std::uint64_t anchorFrames = 0;
    // A queued stream has begun in the decoder; the message waits until the switch is
    // heard, so that a listener who restarts playing on it does not cut off the end of
    // the stream before it (what is written ahead is dropped on a stop).
    struct
    {
        bool active = false;
        std::uint64_t session = 0;
        std::uint64_t atFrame = 0; // in frames counted from the anchor
    } pending;

    while (true) {
        // While paused the switch is not heard: the message waits for the resume.
        if (pending.active && !(m_state == State::Paused && !m_quit)) {
            const bool playingOn = !m_quit && m_state == State::Playing && m_current && writtenEpoch == m_epoch;
            const auto heardFrames = static_cast<std::uint64_t>(
                std::chrono::duration<double>(Clock::now() - anchor).count() * static_cast<double>(outRate));
            if (!playingOn || m_mode == OutputMode::SilentUnpaced || heardFrames >= pending.atFrame) {
                pending.active = false;
                const std::uint64_t session = pending.session;
                lock.unlock();
                deliverQueuedStreamBegan(session);
                lock.lock();
                continue;
            }
        }
        if (!m_quit && !(m_state == State::Playing && m_current)) {
            if (m_output) {
                if (m_state == State::Paused) {
                    m_output->pause();
                    outputPaused = true;
                } else if (writtenEpoch != m_epoch) {
                    m_output->drop(); // stopped or replaced: what is buffered is not wanted
                }
            }
            m_wake.wait(lock, [this] { return m_quit || (m_state == State::Playing && m_current); });
            writtenEpoch = kNoEpoch; // time did not run while idle: pace afresh
        }
        if (m_quit)
            break;

        if (!m_output) {
            lock.unlock();
            std::unique_ptr<AudioOutput> output;
            std::string error;
            if (m_mode == OutputMode::Automatic)
                output = makeDeviceOutput(error);
            if (!output)
                output = makeSilentOutput(m_mode != OutputMode::SilentUnpaced);
            lock.lock();
            m_output = std::move(output);
            continue; // the state may have changed meanwhile
        }
        if (outputPaused) {
            m_output->resume();
            outputPaused = false;
        }

        DecodedStream &stream = *m_current;
        if (stream.sampleRate != outRate || stream.channels != outChannels) {
            if (!m_output->start(stream.sampleRate, stream.channels)) {
                m_output = makeSilentOutput(m_mode != OutputMode::SilentUnpaced);
                m_output->start(stream.sampleRate, stream.channels);
            }
            outRate = stream.sampleRate;
            outChannels = stream.channels;
            writtenEpoch = kNoEpoch;
        }
        if (writtenEpoch != m_epoch) {
            writtenEpoch = m_epoch;
            anchor = Clock::now();
            anchorFrames = 0;
        }

        off_t frameNumber = 0;
        unsigned char *audio = nullptr;
        size_t bytes = 0;
        const int rc = mpg123_decode_frame(stream.handle.get(), &frameNumber, &audio, &bytes);
        if (rc == MPG123_NEW_FORMAT) {
            int encoding = 0;
            mpg123_getformat(stream.handle.get(), &stream.sampleRate, &stream.channels, &encoding);
            continue;
        }
        const size_t frameBytes = static_cast<size_t>(kBytesPerSample * outChannels);
        const size_t frames = audio ? bytes / frameBytes : 0;
        m_chunk.assign(audio, audio + frames * frameBytes);
        stream.framesDecoded += frames;
        m_positionFrames += frames;

        if (rc != MPG123_OK) { // the end of the stream, or a stream that cannot go on
            if (!m_queue.empty() && stream.framesDecoded > 0) {
                m_current = std::move(m_queue.front());
                m_queue.pop_front();
                m_positionFrames = 0;
                pending = { true, m_session, anchorFrames + frames };
            } else {
                if (stream.framesDecoded == 0) {
                    m_error = "no audio could be decoded";
                    m_queue.clear(); // the queue would only repeat what cannot play
                }
                m_state = State::Stopped;
                m_positionFrames = 0;
                mpg123_seek(stream.handle.get(), 0, SEEK_SET);
                m_stateChange.notify_all();
            }
        }

        // Counted before the lock is let go, so that whoever sees the play stopped also
        // sees its last chunk counted.
        m_framesWritten += frames;
        lock.unlock();
        if (frames > 0)
            m_output->write(m_chunk.data(), m_chunk.size());
        lock.lock();

        anchorFrames += frames;
        if (frames > 0 && m_output->needsClockPacing()) {
            const auto heardAt
                = anchor + std::chrono::microseconds(anchorFrames * 1'000'000 / static_cast<std::uint64_t>(outRate));
            const std::uint64_t epoch = writtenEpoch;
            m_wake.wait_until(
                lock, heardAt - kSilentLead, [&] { return m_quit || m_epoch != epoch || m_state != State::Playing; });
        }
    }
    lock.unlock();
    m_output.reset();
}

} // namespace tunelix::playback
