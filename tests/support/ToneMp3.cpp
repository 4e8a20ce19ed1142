#include "support/ToneMp3.h"

#include "support/Mp3Fixture.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <stdexcept>

namespace tunelix::test {

std::uint64_t writeToneMp3(const QString &path, double seconds, int sampleRate, double frequency)
{
    QTemporaryDir dir;
    const QString wavPath = dir.filePath(QStringLiteral("tone.wav"));
    const QByteArray wav = sineWav(seconds, frequency, sampleRate);
    QFile file(wavPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(wav) != wav.size())
        throw std::runtime_error("cannot write the WAV input of a tone MP3");
    file.close();
    QProcess lame;
    lame.start(QStringLiteral("lame"),
        { QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("64"), wavPath, path });
    if (!lame.waitForFinished(120'000) || lame.exitStatus() != QProcess::NormalExit || lame.exitCode() != 0)
        throw std::runtime_error("lame could not encode a tone MP3");
    return static_cast<std::uint64_t>((wav.size() - 44) / 2); // 16-bit mono after the 44-byte header
}

} // namespace tunelix::test
