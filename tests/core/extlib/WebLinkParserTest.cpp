#include "extlib/WebLinkParser.h"

#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <array>

using namespace tunelix::extlib;

namespace {

TEST(WebLinkParser, ExtractsEveryHttpAddressBackToBack)
{
    const QByteArray page = "<a href=\"http://a/1.mp3\">x</a> HTTP://b/2.mp3\nhttps://c/ignored http://";
    EXPECT_EQ(extractHttpAddresses(page, 2047), QByteArray("http://a/1.mp3HTTP://b/2.mp3"));
    // Only whole addresses fit.
    EXPECT_EQ(extractHttpAddresses(page, 20), QByteArray("http://a/1.mp3"));
}

TEST(WebLinkParser, DirectAddressIsReturnedUnchanged)
{
    EXPECT_EQ(parseWebLink("http://127.0.0.1:1/x.MP3"), QByteArray("http://127.0.0.1:1/x.MP3"));
}

TEST(WebLinkParser, FetchesALinkPageFromALoopbackServer)
{
    tunelix::test::LoopbackServer http;
    http.server().Get("/page", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("mirrors: http://127.0.0.1/a.mp3 http://127.0.0.2/a.mp3", "text/html");
    });
    http.server().Get("/missing", [](const httplib::Request &, httplib::Response &res) {
        res.status = 404;
        res.set_content("http://127.0.0.1/error-page.mp3", "text/html");
    });
    http.start();

    std::array<char, 2048> out{};
    ParserWebLink(http.url("/page").c_str(), out.data(), 2047);
    EXPECT_STREQ(out.data(), "http://127.0.0.1/a.mp3http://127.0.0.2/a.mp3");

    // An error page gives nothing, and does not leave the earlier result behind.
    ParserWebLink(http.url("/missing").c_str(), out.data(), 2047);
    EXPECT_STREQ(out.data(), "");
}

TEST(WebLinkParser, OversizedPageGivesNothing)
{
    tunelix::test::LoopbackServer http;
    http.server().Get("/big", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(std::string(static_cast<size_t>(kMaxLinkPageBytes) + 10, 'x') + " http://127.0.0.1/a.mp3",
                        "text/html");
    });
    http.start();
    EXPECT_TRUE(parseWebLink(QByteArray::fromStdString(http.url("/big"))).isEmpty());
}

} // namespace
