#include "playback/AudioOutput.h"

#include <out123.h>

namespace tunelix::playback {

namespace {

class SilentOutput final : public AudioOutput
{
public:
    explicit SilentOutput(bool paced)
        : m_paced(paced)
    {
    }
    bool start(long, int) override { return true; }
    void write(const unsigned char *, std::size_t) override { }
    void pause() override { }
    void resume() override { }
    void drop() override { }
    bool needsClockPacing() const override { return m_paced; }

private:
    bool m_paced;
};

struct Out123Deleter
{
    void operator()(out123_handle *handle) const { out123_del(handle); }
};
using Out123Ptr = std::unique_ptr<out123_handle, Out123Deleter>;

class DeviceOutput final : public AudioOutput
{
public:
    explicit DeviceOutput(Out123Ptr handle)
        : m_handle(std::move(handle))
    {
    }

    bool start(long sampleRate, int channels) override
    {
        if (m_started && sampleRate == m_rate && channels == m_channels)
            return true;
        if (m_started) {
            out123_drain(m_handle.get()); // the tail of the previous format is still to be heard
            out123_stop(m_handle.get());
        }
        m_started = out123_start(m_handle.get(), sampleRate, channels, MPG123_ENC_SIGNED_16) == 0;
        m_rate = sampleRate;
        m_channels = channels;
        return m_started;
    }
    void write(const unsigned char *bytes, std::size_t count) override
    {
        if (m_started)
            out123_play(m_handle.get(), const_cast<unsigned char *>(bytes), count);
    }
    void pause() override { out123_pause(m_handle.get()); }
    void resume() override { out123_continue(m_handle.get()); }
    void drop() override { out123_drop(m_handle.get()); }
    bool needsClockPacing() const override { return false; }

private:
    Out123Ptr m_handle;
    bool m_started = false;
    long m_rate = 0;
    int m_channels = 0;
};

} // namespace

std::unique_ptr<AudioOutput> makeSilentOutput(bool paced) { return std::make_unique<SilentOutput>(paced); }

std::unique_ptr<AudioOutput> makeDeviceOutput(std::string &error)
{
    Out123Ptr handle(out123_new());
    if (!handle) {
        error = "out of memory";
        return nullptr;
    }
    out123_param2(handle.get(), OUT123_FLAGS, OUT123_QUIET, 0.0, nullptr);
    // Only the system's own sound services: some other output modules of libout123
    // (OpenAL, JACK) "open" without any device and then never finish playing.
#if defined(_WIN32)
    const char *drivers = "win32_wasapi,win32";
#elif defined(__APPLE__)
    const char *drivers = "coreaudio";
#else
    const char *drivers = "pulse,alsa";
#endif
    if (out123_open(handle.get(), drivers, nullptr) != 0) {
        error = out123_strerror(handle.get());
        return nullptr;
    }
    return std::make_unique<DeviceOutput>(std::move(handle));
}

} // namespace tunelix::playback
