// Any bytes as a resolved link-page text: no crash, and for a text that starts with
// "http://" (what the expander always gives) every piece starts with "http://" and the
// pieces put together give back the text. A text with something before its first
// "http://" is split as written, by dropping seven characters first, and is only run.
#include "transfer/TransmitManager.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tunelix::transfer;
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> parts = splitResolvedAddresses(text);
    QByteArray joined;
    const bool wellFormed = text.toLower().startsWith("http://");
    for (const QByteArray &p : parts) {
        if (wellFormed && !p.startsWith("http://"))
            std::abort();
        joined.append(p);
    }
    const qsizetype first = text.toLower().indexOf("http://");
    if (first < 0 && !parts.isEmpty())
        std::abort();
    if (first == 0 && joined.toLower() != text.toLower())
        std::abort();
    return 0;
}
