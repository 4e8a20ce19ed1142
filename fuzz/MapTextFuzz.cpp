// Any bytes as a .map file: reading either refuses the text with MapFormatError or gives
// a map whose text form reads back to the same text.
#include "transfer/DownloadMap.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace tunelix::transfer;
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    TDownloadMap map;
    try {
        TTextComponentStreamer::fromText(text, map);
    } catch (const MapFormatError &) {
        return 0;
    }
    const QByteArray written = TTextComponentStreamer::toText(map);
    TDownloadMap again;
    TTextComponentStreamer::fromText(written, again);
    if (TTextComponentStreamer::toText(again) != written)
        std::abort();
    return 0;
}
