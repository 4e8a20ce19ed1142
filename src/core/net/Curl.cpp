#include "net/Curl.h"

#include <mutex>

namespace tunelix::net {

void ensureCurlGlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw std::runtime_error("curl_global_init failed");
    });
}

CurlEasyPtr makeCurlEasy()
{
    ensureCurlGlobalInit();
    CurlEasyPtr h(curl_easy_init());
    if (!h)
        throw std::runtime_error("curl_easy_init failed");
    return h;
}

void appendHeader(CurlSlistPtr &list, const std::string &line)
{
    curl_slist *grown = curl_slist_append(list.get(), line.c_str());
    if (!grown)
        throw std::runtime_error("curl_slist_append failed");
    (void)list.release();
    list.reset(grown);
}

} // namespace tunelix::net
