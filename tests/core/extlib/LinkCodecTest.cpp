#include "extlib/LinkCodec.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

using namespace tunelix::extlib;

namespace {

TEST(LinkCodec, KeyIsPrefixAndDecimalFileId)
{
    EXPECT_EQ(linkKey(1234), QByteArray("TLNX1234"));
    EXPECT_EQ(linkKey(0), QByteArray("TLNX0"));
}

TEST(LinkCodec, RoundTripsThroughTheFixedBuffer)
{
    const QByteArray addresses[] = {
        "http://127.0.0.1:8080/Ring/a.mp3",
        "http://mirror.example/page?id=7&x=%20",
        QByteArray("http://h/").append(QByteArray(kMaxLinkAddressLength - 9, 'x')),
    };
    for (const QByteArray &address : addresses) {
        const QByteArray key = linkKey(42);
        const QByteArray link = encodeLink(address, key);
        EXPECT_LE(link.size(), 200) << address.constData();
        std::array<char, kHashDecodeBufferSize> out{};
        HashDecode(link.constData(), key.constData(), out.data());
        EXPECT_EQ(QByteArray(out.data()), address);
    }
}

TEST(LinkCodec, BadLinksDecodeToNothing)
{
    const QByteArray key = linkKey(42);
    const QByteArray good = encodeLink("http://127.0.0.1/a.mp3", key);
    QByteArray flipped = good;
    flipped[flipped.size() - 3] = flipped[flipped.size() - 3] == 'A' ? 'B' : 'A';
    const QByteArray cases[] = {
        "", "garbage", "TL1.", "TL1.!!!!", flipped, QByteArray(good).append(QByteArray(400, 'A')),
    };
    for (const QByteArray &link : cases) {
        std::array<char, kHashDecodeBufferSize> out{};
        HashDecode(link.constData(), key.constData(), out.data());
        EXPECT_STREQ(out.data(), "") << link.constData();
    }
    // The right link with another row's key.
    EXPECT_TRUE(decodeLink(good, linkKey(43)).isEmpty());
}

TEST(LinkCodec, EncoderRefusesWhatALinkCannotHold)
{
    const QByteArray key = linkKey(1);
    EXPECT_THROW(encodeLink("", key), std::invalid_argument);
    EXPECT_THROW(encodeLink(QByteArray(kMaxLinkAddressLength + 1, 'x'), key), std::invalid_argument);
    EXPECT_THROW(encodeLink(QByteArray("http://a\0b", 10), key), std::invalid_argument);
}

} // namespace
