#pragma once

#include <QString>

class QIODevice;

namespace tunelix::extlib {

// MD5 (RFC 1321) of the device's whole content as 32 lower-case hex digits, whatever
// its position; the position is restored afterwards. Throws std::runtime_error when
// the device cannot be read.
QString StreamMD5(QIODevice &device);

// MD5 text of a file. A missing or unreadable file gives kNoFileMd5, which equals no MD5 text.
QString FileDirectoryMD5(const QString &path);

inline const QString kNoFileMd5 = QStringLiteral("(no file)");

// Whether a text is the form of an MD5 text (32 hex digits, either case).
bool looksLikeMd5(const QString &text);

} // namespace tunelix::extlib
