#include "extlib/Md5.h"

#include <QCryptographicHash>
#include <QFile>
#include <QIODevice>

#include <stdexcept>

namespace tunelix::extlib {

namespace {

constexpr qint64 kChunk = 1 << 20;

bool hashFrom(QIODevice &device, QCryptographicHash &hash)
{
    QByteArray buffer(kChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = device.read(buffer.data(), kChunk);
        if (n < 0)
            return false;
        if (n == 0)
            return device.atEnd() || device.isSequential();
        hash.addData(QByteArrayView(buffer.constData(), n));
    }
}

} // namespace

QString StreamMD5(QIODevice &device)
{
    const qint64 position = device.pos();
    if (!device.seek(0))
        throw std::runtime_error("cannot rewind the stream for its MD5");
    QCryptographicHash hash(QCryptographicHash::Md5);
    const bool ok = hashFrom(device, hash);
    device.seek(position);
    if (!ok)
        throw std::runtime_error("cannot read the stream for its MD5");
    return QString::fromLatin1(hash.result().toHex());
}

QString FileDirectoryMD5(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return kNoFileMd5;
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!hashFrom(file, hash))
        return kNoFileMd5;
    return QString::fromLatin1(hash.result().toHex());
}

bool looksLikeMd5(const QString &text)
{
    if (text.size() != 32)
        return false;
    for (QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
              || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    }
    return true;
}

} // namespace tunelix::extlib
