#include "extlib/LinkCodec.h"

#include <QCryptographicHash>

#include <cstring>
#include <stdexcept>

namespace tunelix::extlib {

namespace {

constexpr char kVersionTag[] = "TL1.";
constexpr int kCheckBytes = 2;

// Keystream: MD5(key, ":", block number) per 16 bytes.
QByteArray keystream(const QByteArray &key, int length)
{
    QByteArray stream;
    stream.reserve(length + 16);
    for (int block = 0; stream.size() < length; ++block) {
        QCryptographicHash h(QCryptographicHash::Md5);
        h.addData(key);
        h.addData(QByteArrayView(":"));
        h.addData(QByteArray::number(block));
        stream += h.result();
    }
    stream.truncate(length);
    return stream;
}

QByteArray check(const QByteArray &key, const QByteArray &address)
{
    QCryptographicHash h(QCryptographicHash::Md5);
    h.addData(key);
    h.addData(QByteArrayView("|"));
    h.addData(address);
    return h.result().left(kCheckBytes);
}

QByteArray xorWith(QByteArray data, const QByteArray &stream)
{
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(data[i] ^ stream[i]);
    return data;
}

constexpr auto kBase64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

} // namespace

QByteArray linkKey(qint32 fileId)
{
    QByteArray key(kLinkKeyPrefix);
    key.append(QByteArray::number(fileId));
    return key;
}

QByteArray encodeLink(const QByteArray &address, const QByteArray &key)
{
    if (address.isEmpty() || address.size() > kMaxLinkAddressLength || address.contains('\0'))
        throw std::invalid_argument("a link address must hold 1 to 145 bytes and no zero byte");
    QByteArray plain = check(key, address);
    plain.append(address);
    QByteArray link(kVersionTag);
    link.append(xorWith(plain, keystream(key, static_cast<int>(plain.size()))).toBase64(kBase64));
    return link;
}

QByteArray decodeLink(const QByteArray &link, const QByteArray &key)
{
    const QByteArray tag(kVersionTag);
    if (!link.startsWith(tag))
        return {};
    const auto decoded = QByteArray::fromBase64Encoding(link.mid(tag.size()), kBase64 | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() <= kCheckBytes)
        return {};
    const QByteArray plain = xorWith(decoded.decoded, keystream(key, static_cast<int>(decoded.decoded.size())));
    const QByteArray address = plain.mid(kCheckBytes);
    if (address.size() > kMaxLinkAddressLength || address.contains('\0') || plain.left(kCheckBytes) != check(key, address))
        return {};
    return address;
}

void HashDecode(const char *link, const char *key, char *out)
{
    if (!link || !key || !out)
        return;
    const QByteArray address = decodeLink(QByteArray(link), QByteArray(key));
    std::memcpy(out, address.constData(), static_cast<size_t>(address.size()));
    out[address.size()] = '\0';
}

} // namespace tunelix::extlib
