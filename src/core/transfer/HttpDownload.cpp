#include "transfer/HttpDownload.h"

#include "net/Curl.h"
#include "transfer/TransmitManager.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>

namespace tunelix::transfer {

namespace {

// What one request brings back: the status and Content-Range of the last reply (after
// redirections) and, for a GET, its body up to `limit` bytes.
struct Reply
{
    long status = 0;
    std::string contentRange;
    std::string body;
    std::size_t limit = 0;
    bool ranged = false;   // a GET for a byte range: only 206 may carry a body
    bool refused = false;  // the body was refused (whole body, or more than asked)
};

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

} // namespace

struct HttpDownloadCallbacks
{
    static size_t header(char *data, size_t size, size_t n, void *user)
    {
        auto *reply = static_cast<Reply *>(user);
        const std::string_view line(data, size * n);
        if (startsWithNoCase(line, "HTTP/")) {
            // A new reply (after a redirection): forget the previous one's headers.
            reply->contentRange.clear();
            const auto sp = line.find(' ');
            reply->status = sp == std::string_view::npos ? 0 : std::atol(std::string(line.substr(sp + 1, 3)).c_str());
        } else if (startsWithNoCase(line, "Content-Range:")) {
            reply->contentRange = std::string(trim(line.substr(14)));
        }
        return size * n;
    }

    static size_t write(char *data, size_t size, size_t n, void *user)
    {
        auto *reply = static_cast<Reply *>(user);
        const size_t bytes = size * n;
        if (reply->ranged && reply->status != 206) {
            reply->refused = true; // a whole body (200) or an error page: nothing is kept
            return 0;
        }
        if (reply->body.size() + bytes > reply->limit) {
            reply->refused = true;
            return 0;
        }
        reply->body.append(data, bytes);
        return bytes;
    }

    static curl_socket_t openSocket(void *user, curlsocktype, struct curl_sockaddr *address)
    {
        auto *w = static_cast<THttpDownload *>(user);
        const curl_socket_t fd = ::socket(address->family, address->socktype, address->protocol);
        if (fd != CURL_SOCKET_BAD) {
            std::lock_guard lock(w->m_socketMutex);
            w->m_sockets.push_back(fd);
            if (w->m_abort)
                ::shutdown(fd, SHUT_RDWR);
        }
        return fd;
    }

    static int closeSocket(void *user, curl_socket_t fd)
    {
        auto *w = static_cast<THttpDownload *>(user);
        {
            std::lock_guard lock(w->m_socketMutex);
            w->m_sockets.erase(std::remove(w->m_sockets.begin(), w->m_sockets.end(), fd), w->m_sockets.end());
        }
        return ::close(fd);
    }

    static int progress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        return static_cast<THttpDownload *>(user)->m_abort.load() ? 1 : 0;
    }
};

THttpDownload::THttpDownload(std::shared_ptr<TTransmitManager> manager, QByteArray url,
                             const EngineSettings &settings)
    : m_manager(std::move(manager)), m_url(std::move(url)), m_settings(settings),
      m_generation(m_manager->generation()), m_currentUrl(m_url.toStdString())
{
}

THttpDownload::~THttpDownload()
{
    if (m_thread.joinable()) {
        m_abort = true;
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();
        else
            m_thread.join();
    }
}

std::shared_ptr<THttpDownload> THttpDownload::Create(THttpThreadList &list, std::shared_ptr<TTransmitManager> manager,
                                                     QByteArray url, const EngineSettings &settings)
{
    auto worker = std::make_shared<THttpDownload>(std::move(manager), std::move(url), settings);
    list.Add(worker);
    // The thread keeps only a raw pointer: the list owns the worker until the thread is joined.
    worker->m_thread = std::thread([w = worker.get()] { w->run(); });
    return worker;
}

void THttpDownload::abort(bool onlyConnected)
{
    if (onlyConnected) {
        if (!FConnected.exchange(false))
            return;
    } else {
        FConnected = false;
    }
    m_abort = true;
    // The descriptors stay open (libcurl closes them through closeSocket), so this
    // never touches a descriptor that another part of the process has reused.
    std::lock_guard lock(m_socketMutex);
    for (const int fd : m_sockets)
        ::shutdown(fd, SHUT_RDWR);
}

void THttpDownload::join()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void THttpDownload::run()
{
    try {
        body();
    } catch (...) {
        m_endReason = EndReason::Error;
    }
    // Drop the manager before saying we are done: a released manager goes with its last user.
    m_manager.reset();
    m_finished = true;
}

namespace {

void configure(CURL *h, const EngineSettings &s, Reply *reply, void *progressUser)
{
    using net::setOpt;
    setOpt(h, CURLOPT_NOSIGNAL, 1L);
    setOpt(h, CURLOPT_USERAGENT, s.userAgent.constData());
    setOpt(h, CURLOPT_PROXY, "");   // no proxy, whatever the environment says
    setOpt(h, CURLOPT_FOLLOWLOCATION, 1L);
    setOpt(h, CURLOPT_MAXREDIRS, 5L);
    setOpt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    setOpt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    setOpt(h, CURLOPT_CONNECTTIMEOUT, s.stallSeconds);
    // "No data for stallSeconds" fails the request.
    setOpt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    setOpt(h, CURLOPT_LOW_SPEED_TIME, s.stallSeconds);
    setOpt(h, CURLOPT_TCP_NODELAY, 1L);
    setOpt(h, CURLOPT_BUFFERSIZE, 256L * 1024L); // fewer, larger writes per segment
    setOpt(h, CURLOPT_HEADERFUNCTION, &HttpDownloadCallbacks::header);
    setOpt(h, CURLOPT_HEADERDATA, static_cast<void *>(reply));
    setOpt(h, CURLOPT_WRITEFUNCTION, &HttpDownloadCallbacks::write);
    setOpt(h, CURLOPT_WRITEDATA, static_cast<void *>(reply));
    setOpt(h, CURLOPT_NOPROGRESS, 0L);
    setOpt(h, CURLOPT_XFERINFOFUNCTION, &HttpDownloadCallbacks::progress);
    setOpt(h, CURLOPT_XFERINFODATA, progressUser);
    setOpt(h, CURLOPT_OPENSOCKETFUNCTION, &HttpDownloadCallbacks::openSocket);
    setOpt(h, CURLOPT_OPENSOCKETDATA, progressUser);
    setOpt(h, CURLOPT_CLOSESOCKETFUNCTION, &HttpDownloadCallbacks::closeSocket);
    setOpt(h, CURLOPT_CLOSESOCKETDATA, progressUser);
}

// "bytes A-B/T" -> A, B, T; false when it is not that form.
bool parseContentRange(const std::string &text, std::uint64_t &a, std::uint64_t &b, std::uint64_t &total)
{
    unsigned long long x = 0, y = 0, t = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "bytes %llu-%llu/%llu%c", &x, &y, &t, &tail) != 3)
        return false;
    a = x;
    b = y;
    total = t;
    return true;
}

} // namespace

void THttpDownload::body()
{
    net::CurlEasyPtr handle = net::makeCurlEasy();
    CURL *h = handle.get();
    if (!probeSize(h))
        return;
    for (;;) {
        if (m_abort) {
            m_endReason = EndReason::Aborted;
            return;
        }
        std::optional<int> segment;
        if (!m_manager->mapAllCompleted())
            segment = m_manager->GetFreeSegment();
        if (!segment) {
            m_endReason = EndReason::NoSegment;
            return;
        }
        if (!m_manager->AssignSegment(*segment))
            continue;
        if (!fetchSegment(h, *segment))
            return;
        if (m_settings.segmentPauseMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_settings.segmentPauseMs));
    }
}

bool THttpDownload::probeSize(void *curl)
{
    CURL *h = static_cast<CURL *>(curl);
    Reply reply;
    configure(h, m_settings, &reply, this);
    net::setOpt(h, CURLOPT_URL, m_currentUrl.c_str());
    net::setOpt(h, CURLOPT_NOBODY, 1L);
    const CURLcode rc = curl_easy_perform(h);
    FConnected = true;
    if (rc != CURLE_OK || reply.status < 200 || reply.status > 299) {
        m_endReason = m_abort ? EndReason::Aborted : EndReason::ProbeFailed;
        return false;
    }
    curl_off_t length = -1;
    curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length < 0 || std::uint64_t(length) != m_manager->Filesize) {
        m_endReason = EndReason::SizeMismatch;
        return false;
    }
    // Later requests go straight to the address the redirections ended at.
    const char *effective = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        m_currentUrl = effective;
    return true;
}

bool THttpDownload::fetchSegment(void *curl, int position)
{
    CURL *h = static_cast<CURL *>(curl);
    const std::optional<SegmentRange> range = m_manager->segmentRange(position);
    if (!range || range->completed) {
        m_manager->UpdateSegment(position, 0, 0, {});
        return true;
    }
    // Inclusive range up to SegmentEnd: one byte more than the segment still misses.
    const std::uint32_t begin = range->start;
    const std::uint32_t end = range->end;
    Reply reply;
    reply.ranged = true;
    reply.limit = std::size_t(end - begin) + 1;
    reply.body.reserve(reply.limit);
    configure(h, m_settings, &reply, this);
    net::setOpt(h, CURLOPT_URL, m_currentUrl.c_str());
    net::setOpt(h, CURLOPT_NOBODY, 0L);
    net::setOpt(h, CURLOPT_HTTPGET, 1L);
    const std::string rangeText = std::to_string(begin) + "-" + std::to_string(end);
    net::setOpt(h, CURLOPT_RANGE, rangeText.c_str());
    const CURLcode rc = curl_easy_perform(h);
    net::setOpt(h, CURLOPT_RANGE, static_cast<const char *>(nullptr));
    ++m_gets;

    const auto giveBack = [&] { m_manager->UpdateSegment(position, begin, 0, {}); };
    if (rc != CURLE_OK || reply.status < 200 || reply.status > 299) {
        // The claim is given back so that another worker can take the segment now
        // instead of after the inactivity time-out.
        giveBack();
        m_endReason = m_abort ? EndReason::Aborted : (reply.refused ? EndReason::BadRange : EndReason::GetFailed);
        return false;
    }
    std::uint64_t a = 0, b = 0, total = 0;
    const bool rangeOk = reply.status == 206 && parseContentRange(reply.contentRange, a, b, total) && a == begin
                         && b >= a && b <= end && total == m_manager->Filesize && reply.body.size() == b - a + 1;
    if (!rangeOk) {
        giveBack();
        m_endReason = EndReason::BadRange;
        return false;
    }
    const std::uint32_t written = m_manager->WriteSegmentData(
        position, reply.body.data(), static_cast<std::uint32_t>(reply.body.size()), begin);
    m_manager->UpdateSegment(position, begin, written, range->md5);
    return true;
}

} // namespace tunelix::transfer
