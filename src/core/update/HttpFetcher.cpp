#include "update/HttpFetcher.h"

#include <QSaveFile>

#include <chrono>

namespace tunelix::update {

namespace {

constexpr const char *kAgent = "Mozilla/4.0 (compatible; ICS)";
constexpr const char *kAccept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";

using Clock = std::chrono::steady_clock;

bool is2xx(long status)
{
    return status >= 200 && status < 300;
}

} // namespace

struct HttpFetcher::Transfer
{
    QSaveFile *file = nullptr; // null for HEAD
    FetchProgress progress;
    bool badStatus = false;
    bool writeFailed = false;
    bool tooLong = false; // the body ran past the length HEAD announced
    curl_off_t lastBytes = -1;
    Clock::time_point lastActivity = Clock::now();
};

HttpFetcher::HttpFetcher(FetchSettings settings)
    : m_settings(settings), m_curl(net::makeCurlEasy())
{
    CURL *h = m_curl.get();
    net::appendHeader(m_headers, kAccept);
    net::setOpt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    net::setOpt(h, CURLOPT_USERAGENT, kAgent);
    net::setOpt(h, CURLOPT_HTTPHEADER, m_headers.get());
    net::setOpt(h, CURLOPT_FOLLOWLOCATION, 1L);
    net::setOpt(h, CURLOPT_MAXREDIRS, static_cast<long>(m_settings.maxRedirects));
    net::setOpt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    net::setOpt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // No proxy, whatever the environment says: the client talks to the server itself.
    net::setOpt(h, CURLOPT_PROXY, "");
    net::setOpt(h, CURLOPT_NOSIGNAL, 1L);
    net::setOpt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_settings.inactivityTimeout.count()));
    net::setOpt(h, CURLOPT_NOPROGRESS, 0L);
    net::setOpt(h, CURLOPT_XFERINFOFUNCTION, &HttpFetcher::onProgress);
    net::setOpt(h, CURLOPT_XFERINFODATA, this);
}

HttpFetcher::~HttpFetcher() = default;

int HttpFetcher::onProgress(void *user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t)
{
    auto *self = static_cast<HttpFetcher *>(user);
    if (self->m_aborted.load())
        return 1;
    Transfer *t = self->m_transfer;
    if (!t)
        return 0;
    // libcurl calls this at least once a second while idle, so the inactivity limit
    // holds to about a second; any new byte counts as activity.
    const auto now = Clock::now();
    if (dlnow != t->lastBytes) {
        t->lastBytes = dlnow;
        t->lastActivity = now;
    } else if (now - t->lastActivity > self->m_settings.inactivityTimeout) {
        return 1;
    }
    return 0;
}

size_t HttpFetcher::discardBody(char *, size_t size, size_t count, void *)
{
    return size * count;
}

size_t HttpFetcher::writeBody(char *data, size_t size, size_t count, void *user)
{
    auto *self = static_cast<HttpFetcher *>(user);
    Transfer *t = self->m_transfer;
    const size_t n = size * count;
    long status = 0;
    curl_easy_getinfo(self->m_curl.get(), CURLINFO_RESPONSE_CODE, &status);
    // Only the body of a 2xx answer is a file; an error page is never written.
    if (!is2xx(status)) {
        t->badStatus = true;
        return 0;
    }
    // HEAD announced the file's length: a body that runs past it (an endless stream, a
    // server that lies) is not that file, and is not written to disk without bound.
    if (t->progress.received + static_cast<qint64>(n) > t->progress.expected) {
        t->tooLong = true;
        return 0;
    }
    if (t->file->write(data, static_cast<qint64>(n)) != static_cast<qint64>(n)) {
        t->writeFailed = true;
        return 0;
    }
    t->progress.received += static_cast<qint64>(n);
    if (self->onDocData)
        self->onDocData(t->progress);
    return n;
}

bool HttpFetcher::perform(const char *what)
{
    const CURLcode rc = curl_easy_perform(m_curl.get());
    long status = 0;
    curl_easy_getinfo(m_curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (rc != CURLE_OK) {
        if (m_transfer && m_transfer->badStatus)
            m_lastError = QStringLiteral("%1: status %2").arg(QLatin1String(what)).arg(status);
        else
            m_lastError = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(curl_easy_strerror(rc)));
        return false;
    }
    if (!is2xx(status)) {
        m_lastError = QStringLiteral("%1: status %2").arg(QLatin1String(what)).arg(status);
        return false;
    }
    return true;
}

bool HttpFetcher::DownloadToFile(const QString &url, const QString &path)
{
    m_lastError.clear();
    if (m_aborted.load()) {
        m_lastError = QStringLiteral("aborted");
        return false;
    }
    CURL *h = m_curl.get();
    const QByteArray address = url.toUtf8();
    try {
        net::setOpt(h, CURLOPT_URL, address.constData());

        // HEAD: the length the progress bar runs up to. Without it the fetch fails.
        Transfer head;
        m_transfer = &head;
        net::setOpt(h, CURLOPT_NOBODY, 1L);
        net::setOpt(h, CURLOPT_WRITEFUNCTION, &HttpFetcher::discardBody);
        net::setOpt(h, CURLOPT_WRITEDATA, this);
        const bool headOk = perform("HEAD");
        m_transfer = nullptr;
        if (!headOk)
            return false;
        curl_off_t length = -1;
        curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length < 0) {
            m_lastError = QStringLiteral("HEAD: no Content-Length");
            return false;
        }

        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            m_lastError = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
            return false;
        }
        Transfer get;
        get.file = &file;
        get.progress.generation = ++m_generation;
        get.progress.expected = static_cast<qint64>(length);
        if (onFetchStarted)
            onFetchStarted(get.progress);

        m_transfer = &get;
        net::setOpt(h, CURLOPT_HTTPGET, 1L);
        net::setOpt(h, CURLOPT_WRITEFUNCTION, &HttpFetcher::writeBody);
        net::setOpt(h, CURLOPT_WRITEDATA, this);
        const bool getOk = perform("GET");
        m_transfer = nullptr;
        if (getOk && !get.tooLong && get.progress.received != get.progress.expected) {
            m_lastError = QStringLiteral("GET: %1 bytes where HEAD announced %2")
                              .arg(get.progress.received)
                              .arg(get.progress.expected);
            file.cancelWriting();
            return false;
        }
        if (!getOk || get.writeFailed || get.tooLong) {
            if (get.writeFailed)
                m_lastError = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
            else if (get.tooLong)
                m_lastError = QStringLiteral("GET: the body runs past the %1 bytes HEAD announced")
                                  .arg(get.progress.expected);
            file.cancelWriting();
            return false;
        }
        if (onDocData)
            onDocData(get.progress);
        if (!file.commit()) {
            m_lastError = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
            return false;
        }
        return true;
    } catch (const std::exception &e) {
        m_transfer = nullptr;
        m_lastError = QString::fromUtf8(e.what());
        return false;
    }
}

} // namespace tunelix::update
