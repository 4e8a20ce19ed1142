#pragma once

#include "net/Curl.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>

namespace tunelix::update {

// The updater's HTTP client settings. The time-outs are injectable so that tests of a
// stalled server need not wait half a minute.
struct FetchSettings
{
    // A request fails after this long without any data (connecting included).
    std::chrono::milliseconds inactivityTimeout{30000};
    int maxRedirects = 5;
};

// Progress of the running fetch, as a value: bytes of the body received so far and
// the length the server announced in its answer to HEAD.
struct FetchProgress
{
    quint64 generation = 0; // one per fetch, so a late snapshot of an earlier fetch is recognisable
    qint64 received = 0;
    qint64 expected = 0;
};

// Fetches one address into one file: HEAD (for the length), then GET. One instance
// per thread; the handle is kept between requests. Only abort() may be called from
// another thread.
//
// A fetch succeeds only when both answers are 2xx and HEAD announced a Content-Length.
// The body streams into a temporary file beside the target, which is renamed into place
// only after the whole body has arrived; a failure at any point (connection, time-out,
// an error status, a short body, a write error, abort) leaves the target as it was.
class HttpFetcher
{
public:
    explicit HttpFetcher(FetchSettings settings = {});
    ~HttpFetcher();
    HttpFetcher(const HttpFetcher &) = delete;
    HttpFetcher &operator=(const HttpFetcher &) = delete;

    // Called on the fetching thread. onFetchStarted after HEAD (received 0, expected
    // the announced length); onDocData for each block of body data and once more when
    // the body is complete.
    std::function<void(const FetchProgress &)> onFetchStarted;
    std::function<void(const FetchProgress &)> onDocData;

    bool DownloadToFile(const QString &url, const QString &path);

    // Any thread: the running and every later fetch fail at once. Sticky.
    void abort() { m_aborted.store(true); }
    bool aborted() const { return m_aborted.load(); }

    // Why the last fetch failed (for tests and diagnostics; never shown).
    QString lastError() const { return m_lastError; }

private:
    struct Transfer;
    bool perform(const char *what);
    static size_t writeBody(char *data, size_t size, size_t count, void *user);
    static size_t discardBody(char *data, size_t size, size_t count, void *user);
    static int onProgress(void *user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t);

    FetchSettings m_settings;
    net::CurlEasyPtr m_curl;
    net::CurlSlistPtr m_headers;
    std::atomic<bool> m_aborted{false};
    QString m_lastError;
    quint64 m_generation = 0;
    Transfer *m_transfer = nullptr; // the running request's state, on this thread's stack
};

} // namespace tunelix::update
