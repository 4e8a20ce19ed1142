#pragma once

#include <QByteArray>

namespace tunelix::extlib {

// Expands a download address into direct addresses. An address naming an ".mp3" is
// already direct; any other is a link page, fetched over HTTP (at most
// kMaxLinkPageBytes, kLinkPageTimeoutSeconds in all), and every "http://" address in
// its body is returned. Addresses are written back to back without separator, whole
// addresses only, at most `capacity` characters.

inline constexpr qint64 kMaxLinkPageBytes = 1 << 20;
inline constexpr long kLinkPageTimeoutSeconds = 15;

// Writes the result into `out` as zero-terminated text of at most `capacity`
// characters (`out` holds capacity + 1 bytes). On failure `out` becomes empty, so a
// failed address never repeats an earlier one's result.
void ParserWebLink(const char *address, char *out, int capacity);

QByteArray parseWebLink(const QByteArray &address, int capacity = 2047);

// Every "http://" address (letter case ignored) in `text`, ending at white space, a
// quote, '<', '>' or the end, joined without separator up to `capacity` characters.
QByteArray extractHttpAddresses(const QByteArray &text, int capacity);

} // namespace tunelix::extlib
