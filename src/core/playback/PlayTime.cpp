#include "playback/PlayTime.h"

#include <algorithm>
#include <limits>

namespace tunelix::playback {

namespace {
std::uint32_t clamp32(std::uint64_t value)
{
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::uint32_t>::max()));
}
} // namespace

TPlayTime playTimeFromSamples(std::uint64_t samples, std::uint32_t sampleRate)
{
    TPlayTime t;
    t.TotalSamples = clamp32(samples);
    if (sampleRate == 0)
        return t;
    const std::uint64_t ms = samples * 1000 / sampleRate;
    t.TotalMs = clamp32(ms);
    t.TotalSec = clamp32(ms / 1000);
    t.Hour = clamp32(ms / 3'600'000);
    t.Minute = static_cast<std::uint32_t>(ms / 60'000 % 60);
    t.Second = static_cast<std::uint32_t>(ms / 1000 % 60);
    t.Millisecond = static_cast<std::uint32_t>(ms % 1000);
    return t;
}

} // namespace tunelix::playback
