#pragma once

#include <QString>

namespace tunelix::test {

// Writes a short MP3 (a sine tone, mono 22050 Hz, encoded by the lame command-line
// encoder) at `path`. `frequency` varies the content between fixtures. Throws
// std::runtime_error when lame is missing or fails.
void writeMp3(const QString &path, double seconds, double frequency = 440.0);

// A 16-bit mono WAV of a sine tone (the encoder's input; also usable on its own).
QByteArray sineWav(double seconds, double frequency, int sampleRate = 22050);

} // namespace tunelix::test
