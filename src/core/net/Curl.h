#pragma once

#include <curl/curl.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace tunelix::net {

// libcurl's process-wide set-up must run before the first handle and while no other
// thread uses libcurl; every handle below goes through this, so it happens once.
void ensureCurlGlobalInit();

struct CurlEasyDeleter {
    void operator()(CURL *h) const noexcept { curl_easy_cleanup(h); }
};
struct CurlSlistDeleter {
    void operator()(curl_slist *l) const noexcept { curl_slist_free_all(l); }
};

using CurlEasyPtr = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlSlistPtr = std::unique_ptr<curl_slist, CurlSlistDeleter>;

// A fresh easy handle; throws std::runtime_error when libcurl cannot make one.
CurlEasyPtr makeCurlEasy();

// Appends to a header list, keeping ownership in one place; throws on allocation failure.
void appendHeader(CurlSlistPtr &list, const std::string &line);

class CurlError : public std::runtime_error
{
public:
    CurlError(CURLcode code, const std::string &what)
        : std::runtime_error(what), m_code(code) {}
    CURLcode code() const { return m_code; }

private:
    CURLcode m_code;
};

// Throws CurlError when a curl_easy_setopt fails, so that no option is silently lost.
template<typename T>
void setOpt(CURL *h, CURLoption opt, T value)
{
    const CURLcode rc = curl_easy_setopt(h, opt, value);
    if (rc != CURLE_OK)
        throw CurlError(rc, std::string("curl_easy_setopt: ") + curl_easy_strerror(rc));
}

} // namespace tunelix::net
