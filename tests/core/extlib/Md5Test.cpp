#include "extlib/Md5.h"

#include "support/TempProgramFolder.h"

#include <QBuffer>

#include <gtest/gtest.h>

using namespace tunelix::extlib;

namespace {

struct Vector { const char *input; const char *md5; };

// RFC 1321, appendix A.5.
const Vector kRfc1321[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, StreamMd5MatchesRfc1321WhateverThePosition)
{
    for (const Vector &v : kRfc1321) {
        QByteArray data(v.input);
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        buffer.seek(data.size()); // positioned at its end, as the segment check hands it over
        EXPECT_EQ(StreamMD5(buffer), QString::fromLatin1(v.md5)) << v.input;
        EXPECT_EQ(buffer.pos(), data.size());
    }
}

TEST(Md5, FileMd5AndMissingFile)
{
    tunelix::test::TempProgramFolder folder;
    folder.writeFile(QStringLiteral("x.bin"), "abc");
    EXPECT_EQ(FileDirectoryMD5(folder.path(QStringLiteral("x.bin"))), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    const QString missing = FileDirectoryMD5(folder.path(QStringLiteral("nothing.bin")));
    EXPECT_FALSE(looksLikeMd5(missing));
    EXPECT_FALSE(missing.isEmpty());
}

} // namespace
