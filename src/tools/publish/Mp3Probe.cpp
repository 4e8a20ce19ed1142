#include "publish/Mp3Probe.h"

#include <mpg123.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace tunelix::publish {

namespace {

struct HandleDeleter {
    void operator()(mpg123_handle *h) const noexcept
    {
        mpg123_close(h);
        mpg123_delete(h);
    }
};
using HandlePtr = std::unique_ptr<mpg123_handle, HandleDeleter>;

[[noreturn]] void fail(const QString &path, const std::string &why)
{
    throw std::runtime_error(path.toStdString() + ": " + why);
}

} // namespace

Mp3Facts probeMp3(const QString &path)
{
#if MPG123_API_VERSION < 46
    static const int initialised = mpg123_init();
    (void)initialised;
#endif
    int err = MPG123_OK;
    HandlePtr h(mpg123_new(nullptr, &err));
    if (!h)
        fail(path, "cannot create an MP3 decoder");
    // No resync: a file that does not start with MP3 frames (after its tags) is not an MP3,
    // however many bytes of it happen to look like a frame header.
    mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_NO_RESYNC, 0.0);
    if (mpg123_open(h.get(), path.toLocal8Bit().constData()) != MPG123_OK)
        fail(path, "cannot open the file");
    if (mpg123_scan(h.get()) != MPG123_OK)
        fail(path, "not an MP3 stream");

    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(h.get(), &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels <= 0)
        fail(path, "not an MP3 stream");
    const off_t samples = mpg123_length(h.get());
    if (samples <= 0)
        fail(path, "holds no audio");

    Mp3Facts facts;
    facts.sampleRate = rate;
    facts.channels = channels;
    facts.samples = samples;
    facts.seconds = static_cast<int>((samples + rate / 2) / rate);
    if (facts.seconds == 0)
        facts.seconds = 1;
    return facts;
}

} // namespace tunelix::publish
