#pragma once

#include <cstdint>

namespace tunelix {

// A 32-bit millisecond tick from a steady clock, like the system tick counter the
// engine's time-outs were designed around. It wraps after about 49.7 days.
std::uint32_t tickCount();

// Milliseconds from `then` to `now`, correct across one wrap of the counter.
constexpr std::uint32_t ticksSince(std::uint32_t now, std::uint32_t then)
{
    return now - then;
}

} // namespace tunelix
