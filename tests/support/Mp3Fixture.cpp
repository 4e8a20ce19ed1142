#include "support/Mp3Fixture.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <cmath>
#include <stdexcept>

namespace tunelix::test {

namespace {
void put16(QByteArray &b, quint16 v)
{
    char raw[2];
    qToLittleEndian(v, raw);
    b.append(raw, 2);
}
void put32(QByteArray &b, quint32 v)
{
    char raw[4];
    qToLittleEndian(v, raw);
    b.append(raw, 4);
}
} // namespace

QByteArray sineWav(double seconds, double frequency, int sampleRate)
{
    const auto samples = static_cast<quint32>(seconds * sampleRate);
    QByteArray wav;
    wav.append("RIFF");
    put32(wav, 36 + samples * 2);
    wav.append("WAVEfmt ");
    put32(wav, 16);
    put16(wav, 1);
    put16(wav, 1);
    put32(wav, static_cast<quint32>(sampleRate));
    put32(wav, static_cast<quint32>(sampleRate * 2));
    put16(wav, 2);
    put16(wav, 16);
    wav.append("data");
    put32(wav, samples * 2);
    for (quint32 i = 0; i < samples; ++i) {
        const double v = 0.4 * std::sin(2.0 * M_PI * frequency * i / sampleRate);
        put16(wav, static_cast<quint16>(static_cast<qint16>(v * 32767)));
    }
    return wav;
}

void writeMp3(const QString &path, double seconds, double frequency)
{
    QTemporaryDir dir;
    const QString wavPath = dir.filePath(QStringLiteral("in.wav"));
    QFile wav(wavPath);
    if (!wav.open(QIODevice::WriteOnly) || wav.write(sineWav(seconds, frequency)) < 0)
        throw std::runtime_error("cannot write the WAV input of an MP3 fixture");
    wav.close();
    QProcess lame;
    lame.start(QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("64"), wavPath, path});
    if (!lame.waitForFinished(60000) || lame.exitStatus() != QProcess::NormalExit || lame.exitCode() != 0)
        throw std::runtime_error("lame could not encode an MP3 fixture");
}

} // namespace tunelix::test
