#pragma once

#include <QString>

namespace tunelix::publish {

// What the catalogue records of an MP3 beside its size and checksum.
struct Mp3Facts
{
    long sampleRate = 0;
    int channels = 0;
    qint64 samples = 0; // per channel
    int seconds = 0;    // rounded to the nearest second, at least 1 for any audio
};

// Reads an MP3's length. Throws std::runtime_error, naming the file, for a file that
// cannot be read or is not an MP3 stream (no frame at its start, no audio).
Mp3Facts probeMp3(const QString &path);

} // namespace tunelix::publish
