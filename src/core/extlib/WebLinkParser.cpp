#include "extlib/WebLinkParser.h"

#include "net/Curl.h"

#include <cstring>

namespace tunelix::extlib {

namespace {

bool endsAddress(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '"' || c == '\'' || c == '<' || c == '>'
        || c == '\0';
}

struct PageBody
{
    QByteArray data;
    bool tooLarge = false;
};

size_t collectBody(char *ptr, size_t size, size_t nmemb, void *userdata)
{
    auto *body = static_cast<PageBody *>(userdata);
    const size_t n = size * nmemb;
    if (body->data.size() + static_cast<qint64>(n) > kMaxLinkPageBytes) {
        body->tooLarge = true;
        return 0; // aborts the transfer
    }
    body->data.append(ptr, static_cast<qsizetype>(n));
    return n;
}

QByteArray fetchPage(const QByteArray &address)
{
    using namespace tunelix::net;
    auto curl = makeCurlEasy();
    PageBody body;
    CURL *h = curl.get();
    setOpt(h, CURLOPT_URL, address.constData());
    setOpt(h, CURLOPT_FOLLOWLOCATION, 1L);
    setOpt(h, CURLOPT_MAXREDIRS, 5L);
    setOpt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    setOpt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    setOpt(h, CURLOPT_TIMEOUT, kLinkPageTimeoutSeconds);
    setOpt(h, CURLOPT_NOSIGNAL, 1L);
    setOpt(h, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible)");
    setOpt(h, CURLOPT_WRITEFUNCTION, collectBody);
    setOpt(h, CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(h) != CURLE_OK)
        return {};
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299)
        return {};
    return body.data;
}

} // namespace

QByteArray extractHttpAddresses(const QByteArray &text, int capacity)
{
    QByteArray result;
    const QByteArray lower = text.toLower();
    qsizetype from = 0;
    while ((from = lower.indexOf("http://", from)) >= 0) {
        qsizetype end = from + 7;
        while (end < text.size() && !endsAddress(text[end]))
            ++end;
        const QByteArray address = text.mid(from, end - from);
        if (address.size() > 7) {
            if (result.size() + address.size() > capacity)
                break;
            result += address;
        }
        from = end;
    }
    return result;
}

QByteArray parseWebLink(const QByteArray &address, int capacity)
{
    if (capacity <= 0)
        return {};
    if (address.toLower().contains(".mp3"))
        return address.size() <= capacity ? address : QByteArray();
    try {
        return extractHttpAddresses(fetchPage(address), capacity);
    } catch (const std::exception &) {
        return {};
    }
}

void ParserWebLink(const char *address, char *out, int capacity)
{
    if (!out || capacity < 0)
        return;
    const QByteArray result = address ? parseWebLink(QByteArray(address), capacity) : QByteArray();
    std::memcpy(out, result.constData(), static_cast<size_t>(result.size()));
    out[result.size()] = '\0';
}

} // namespace tunelix::extlib
