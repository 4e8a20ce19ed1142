#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace tunelix::playback {

// Where decoded sound goes: the sound device through libout123, or a silent output
// that only counts. Owned and used by one player thread only; 16-bit signed samples.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;

    // (Re)starts the output for this format; false when the device refuses it.
    virtual bool start(long sampleRate, int channels) = 0;
    // Blocks while a device buffer is full.
    virtual void write(const unsigned char *bytes, std::size_t count) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Discards what is buffered but not yet heard.
    virtual void drop() = 0;
    // True when the player must pace its writes by the clock (a silent output that
    // stands in for a device).
    virtual bool needsClockPacing() const = 0;
};

std::unique_ptr<AudioOutput> makeSilentOutput(bool paced);

// The default sound device, or none (with the reason) when it cannot be opened.
std::unique_ptr<AudioOutput> makeDeviceOutput(std::string &error);

} // namespace tunelix::playback
