// Any bytes as a catalogue link of row 7: decoding must never
// write past the 201-byte buffer, and whatever decodes must encode back to a link that
// decodes to the same address.
#include "extlib/LinkCodec.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tunelix::extlib;
    const QByteArray key = linkKey(7);
    const QByteArray link(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    // Guard bytes after the buffer catch any write past its end.
    std::array<char, kHashDecodeBufferSize + 16> out{};
    std::memset(out.data() + kHashDecodeBufferSize, 0x5A, 16);
    HashDecode(link.constData(), key.constData(), out.data());
    for (int i = kHashDecodeBufferSize; i < kHashDecodeBufferSize + 16; ++i) {
        if (out[static_cast<size_t>(i)] != 0x5A)
            std::abort();
    }
    const QByteArray address(out.data());
    if (!address.isEmpty() && decodeLink(encodeLink(address, key), key) != address)
        std::abort();
    return 0;
}
