#pragma once

#include <cstdint>

namespace tunelix::playback {

// A time as the player reports it: the totals and the same time broken down. Seven
// unsigned 32-bit values in this order; the player layer and `ZPlay` share the layout.
struct TPlayTime
{
    std::uint32_t TotalSec = 0;
    std::uint32_t TotalMs = 0;
    std::uint32_t TotalSamples = 0;
    std::uint32_t Hour = 0;
    std::uint32_t Minute = 0; // 0-59
    std::uint32_t Second = 0; // 0-59
    std::uint32_t Millisecond = 0; // 0-999

    friend bool operator==(const TPlayTime &, const TPlayTime &) = default;
};

// `samples` sample frames at `sampleRate` Hz; a rate of 0 gives all zeros but the
// sample count. Values beyond 32 bits are clamped rather than wrapped.
TPlayTime playTimeFromSamples(std::uint64_t samples, std::uint32_t sampleRate);

} // namespace tunelix::playback
