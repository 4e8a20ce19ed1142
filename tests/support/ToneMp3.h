#pragma once

#include <QString>

#include <cstdint>

namespace tunelix::test {

// Encodes `seconds` of a mono sine tone at `sampleRate` with the lame encoder into an
// MP3 at `path` and returns the number of sample frames encoded. lame's tag carries its
// delay and padding, so a gapless decoder gives back exactly that many frames. Throws
// std::runtime_error when lame is missing or fails.
std::uint64_t writeToneMp3(const QString &path, double seconds, int sampleRate = 22050, double frequency = 440.0);

} // namespace tunelix::test
