#pragma once

#include <QByteArray>

namespace tunelix::extlib {

// Catalogue links (the WebLink columns) hold download addresses in an encoded form.
// The key of a row is the fixed prefix followed by the row's FileID in decimal.
// The format is described in docs/link-codec.md.

inline constexpr char kLinkKeyPrefix[] = "TLNX";
inline constexpr int kHashDecodeBufferSize = 201;
// The longest address a link can carry, so that a link fits a 200-character column
// and the decoded text fits the 201-byte buffer with its terminating zero.
inline constexpr int kMaxLinkAddressLength = 145;

QByteArray linkKey(qint32 fileId);

// Decodes `link` with `key` into `out`, which holds 201 bytes zeroed by the caller.
// Leaves `out` empty when the link is not valid for this key; never writes past 201 bytes.
void HashDecode(const char *link, const char *key, char *out);

// The same, returning the address; empty when the link is not valid for this key.
QByteArray decodeLink(const QByteArray &link, const QByteArray &key);

// Encodes an address for the catalogue. Throws std::invalid_argument when the address
// is empty, longer than kMaxLinkAddressLength, or holds a zero byte.
QByteArray encodeLink(const QByteArray &address, const QByteArray &key);

} // namespace tunelix::extlib
