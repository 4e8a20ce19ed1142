#include "support/LoopbackServer.h"
#include "support/NginxServer.h"
#include "support/TempProgramFolder.h"
#include "support/UpdateFixtures.h"
#include "update/FilePass.h"
#include "update/HttpFetcher.h"
#include "update/UpdateStep.h"

#include <QDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

using namespace tunelix;
using update::ManifestEntry;

namespace {

const QByteArray kBody = QByteArray(300000, 'x').append("end of the new file");
const QByteArray kOld("the old file, which must survive a failed fetch");

// One server with a route per behaviour, counting the requests each path receives.
class Routes
{
public:
    Routes()
    {
        auto &s = m_server.server();
        s.set_logger([this](const httplib::Request &req, const httplib::Response &) {
            std::lock_guard lock(m_mutex);
            ++m_hits[req.path];
            m_lastRequest = req;
        });
        test::serveBytes(s, "/ok.bin", kBody);
        s.Get("/missing.bin", [](const httplib::Request &, httplib::Response &res) {
            res.status = 404;
            res.set_content("no such file", "text/plain");
        });
        s.Get("/denied.bin", [](const httplib::Request &, httplib::Response &res) {
            res.status = 401;
            res.set_content("<html>401 Authorization Required</html>", "text/html");
        });
        s.Get("/nolength.bin", [](const httplib::Request &, httplib::Response &res) {
            res.set_chunked_content_provider("application/octet-stream", [](size_t offset, httplib::DataSink &sink) {
                if (offset == 0)
                    sink.write("chunk", 5);
                else
                    sink.done();
                return true;
            });
        });
        s.Get("/breaks.bin", [](const httplib::Request &, httplib::Response &res) {
            // Announces the whole length, sends half, then drops the connection.
            res.set_content_provider(size_t(kBody.size()), "application/octet-stream",
                                     [](size_t offset, size_t, httplib::DataSink &sink) {
                                         if (offset >= size_t(kBody.size()) / 2)
                                             return false;
                                         sink.write(kBody.constData(), size_t(kBody.size()) / 2);
                                         return true;
                                     });
        });
        s.Get("/stalls.bin", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content_provider(size_t(kBody.size()), "application/octet-stream",
                                     [this](size_t offset, size_t, httplib::DataSink &sink) {
                                         if (offset == 0) {
                                             sink.write(kBody.constData(), 100);
                                             return true;
                                         }
                                         // Silent until the test ends (bounded, so the server can stop).
                                         for (int i = 0; i < 600 && !m_release.load(); ++i)
                                             std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                         return false;
                                     });
        });
        for (int i = 0; i < 7; ++i) {
            const std::string from = "/hop" + std::to_string(i);
            const std::string to = i == 0 ? "/ok.bin" : "/hop" + std::to_string(i - 1);
            s.Get(from, [to](const httplib::Request &, httplib::Response &res) { res.set_redirect(to); });
        }
        m_server.start();
    }
    ~Routes()
    {
        m_release.store(true);
        m_server.stop();
    }

    QString url(const std::string &path) const { return QString::fromStdString(m_server.url(path)); }
    int hits(const std::string &path)
    {
        std::lock_guard lock(m_mutex);
        return m_hits[path];
    }
    httplib::Request lastRequest()
    {
        std::lock_guard lock(m_mutex);
        return m_lastRequest;
    }

private:
    test::LoopbackServer m_server;
    std::mutex m_mutex;
    std::map<std::string, int> m_hits;
    httplib::Request m_lastRequest;
    std::atomic<bool> m_release{false};
};

// Only for requests that must fail: a short limit can never turn a success into a
// failure there, however slow the machine.
update::FetchSettings impatient()
{
    update::FetchSettings s;
    s.inactivityTimeout = std::chrono::milliseconds(1000);
    return s;
}

struct FetchCase
{
    const char *name;
    std::string path;
    bool ok;
};

class FetchTable : public ::testing::TestWithParam<FetchCase>
{
protected:
    static Routes *routes;
    static void SetUpTestSuite() { routes = new Routes; }
    static void TearDownTestSuite()
    {
        delete routes;
        routes = nullptr;
    }
};
Routes *FetchTable::routes = nullptr;

TEST_P(FetchTable, OnlyAWholeTwoHundredAnswerReplacesTheFile)
{
    const FetchCase &c = GetParam();
    test::TempProgramFolder folder;
    folder.writeFile(QStringLiteral("target.bin"), kOld);
    update::HttpFetcher fetcher(c.ok ? update::FetchSettings{} : impatient());
    std::vector<update::FetchProgress> seen;
    fetcher.onDocData = [&](const update::FetchProgress &p) { seen.push_back(p); };

    const bool ok = fetcher.DownloadToFile(routes->url(c.path), folder.path(QStringLiteral("target.bin")));
    EXPECT_EQ(ok, c.ok) << fetcher.lastError().toStdString();
    EXPECT_EQ(folder.readFile(QStringLiteral("target.bin")), c.ok ? kBody : kOld);
    // No temporary file is left beside the target, whatever happened.
    EXPECT_EQ(QDir(folder.folder().root()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("target.bin")});
    if (c.ok) {
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back().received, kBody.size());
        EXPECT_EQ(seen.back().expected, kBody.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FetchTable,
    ::testing::Values(FetchCase{"ok", "/ok.bin", true}, FetchCase{"not_found", "/missing.bin", false},
                      FetchCase{"unauthorised_body_not_saved", "/denied.bin", false},
                      FetchCase{"head_without_length", "/nolength.bin", false},
                      FetchCase{"get_breaks_midway", "/breaks.bin", false},
                      FetchCase{"five_redirects", "/hop4", true}, FetchCase{"six_redirects", "/hop5", false},
                      FetchCase{"no_data_for_too_long", "/stalls.bin", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(HttpFetcher, SendsTheClientsRequestHeaders)
{
    Routes routes;
    test::TempProgramFolder folder;
    update::HttpFetcher fetcher;
    ASSERT_TRUE(fetcher.DownloadToFile(routes.url("/ok.bin"), folder.path(QStringLiteral("f"))));
    const httplib::Request req = routes.lastRequest();
    EXPECT_EQ(req.method, "GET");
    EXPECT_EQ(req.version, "HTTP/1.0");
    EXPECT_EQ(req.get_header_value("User-Agent"), "Mozilla/4.0 (compatible; ICS)");
    EXPECT_EQ(req.get_header_value("Accept"), "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    EXPECT_EQ(routes.hits("/ok.bin"), 2); // HEAD, then GET
}

TEST(HttpFetcher, UnreachableServerMissingFolderAndAbortFail)
{
    test::TempProgramFolder folder;
    update::HttpFetcher fetcher(impatient());
    const QString dead = QStringLiteral("http://127.0.0.1:%1/ver.xml").arg(test::NginxServer::freePort());
    EXPECT_FALSE(fetcher.DownloadToFile(dead, folder.path(QStringLiteral("ver.xml"))));

    Routes routes;
    EXPECT_FALSE(fetcher.DownloadToFile(routes.url("/ok.bin"), folder.path(QStringLiteral("no/such/folder/f"))));
    fetcher.abort();
    EXPECT_FALSE(fetcher.DownloadToFile(routes.url("/ok.bin"), folder.path(QStringLiteral("f"))));
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("f"))));
}

// The file pass over one manifest, run twice where a case says so.
struct PassCase
{
    const char *name;
    std::vector<ManifestEntry> manifest; // "{url}" in a link is replaced by the server's address
    std::map<QString, QByteArray> before; // files on disk before the pass
    std::map<QString, QByteArray> after;  // files that must hold this afterwards
    int fetched, failed, unsafe;
    QString lastNote;
    std::vector<QString> absent = {}; // files that must not exist afterwards
};

std::vector<PassCase> passCases()
{
    const QString okMd5 = test::md5Hex(kBody);
    const QString link = QStringLiteral("{url}/ok.bin");
    const QString tunelix = QStringLiteral("tunelix");
    return {
        {"all_current_nothing_fetched",
         {{link, tunelix, QString(), okMd5}, {QString(), QStringLiteral("9.daily"), QStringLiteral("daily\\"), QStringLiteral("x")}},
         {{tunelix, kBody}}, {{tunelix, kBody}}, 0, 0, 0, tunelix},
        {"missing_file_fetched", {{link, tunelix, QString(), okMd5}}, {}, {{tunelix, kBody}}, 1, 0, 0, tunelix},
        {"different_file_fetched", {{link, tunelix, QString(), okMd5}}, {{tunelix, kOld}}, {{tunelix, kBody}}, 1, 0, 0, tunelix},
        {"empty_link_neither_looked_at_nor_shown",
         {{link, QStringLiteral("a"), QString(), okMd5}, {QString(), QStringLiteral("b"), QString(), okMd5}},
         {{QStringLiteral("a"), kBody}}, {{QStringLiteral("a"), kBody}}, 0, 0, 0, QStringLiteral("a"), {QStringLiteral("b")}},
        {"md5_in_other_letter_case_fetched_every_run", {{link, tunelix, QString(), okMd5.toUpper()}},
         {{tunelix, kBody}}, {{tunelix, kBody}}, 1, 0, 0, tunelix},
        {"backslash_folder_is_a_folder", {{link, QStringLiteral("x.dll"), QStringLiteral("dll\\sub\\"), okMd5}},
         {{QStringLiteral("dll/sub/.keep"), QByteArray()}}, {{QStringLiteral("dll/sub/x.dll"), kBody}}, 1, 0, 0,
         QStringLiteral("x.dll")},
        {"folder_without_trailing_separator_checks_another_file",
         {{link, QStringLiteral("x.dll"), QStringLiteral("dll"), okMd5}},
         {{QStringLiteral("dll/x.dll"), kBody}}, {{QStringLiteral("dll/x.dll"), kBody}}, 1, 0, 0, QStringLiteral("x.dll")},
        {"two_rows_for_one_file_fetch_once",
         {{link, tunelix, QString(), okMd5}, {link, tunelix, QString(), okMd5}}, {}, {{tunelix, kBody}}, 1, 0, 0, tunelix},
        {"failed_get_keeps_the_old_file_and_goes_on",
         {{QStringLiteral("{url}/breaks.bin"), tunelix, QString(), okMd5}, {link, QStringLiteral("b"), QString(), okMd5}},
         {{tunelix, kOld}}, {{tunelix, kOld}, {QStringLiteral("b"), kBody}}, 1, 1, 0, QStringLiteral("b")},
        {"unauthorised_body_not_saved", {{QStringLiteral("{url}/denied.bin"), tunelix, QString(), okMd5}},
         {{tunelix, kOld}}, {{tunelix, kOld}}, 0, 1, 0, tunelix},
        {"names_leaving_the_folder_refused",
         {{link, QStringLiteral("../escaped"), QString(), okMd5},
          {link, QStringLiteral("escaped"), QStringLiteral("..\\"), okMd5},
          {link, QStringLiteral("escaped"), QStringLiteral("/tmp/"), okMd5},
          {link, QStringLiteral("escaped"), QStringLiteral("C:\\"), okMd5}},
         {}, {}, 0, 0, 4, QString(), {QStringLiteral("escaped")}},
    };
}

class FilePassTable : public ::testing::TestWithParam<PassCase>
{};

TEST_P(FilePassTable, MakesEveryListedFileMatch)
{
    const PassCase &c = GetParam();
    Routes routes;
    // The program folder sits one level down, so that an escape would land in `outer`.
    test::TempProgramFolder outer;
    const ProgramFolder folder(outer.path(QStringLiteral("prog")));
    QDir().mkpath(folder.root());
    for (const auto &[name, bytes] : c.before) {
        QDir().mkpath(QFileInfo(folder.file(name)).absolutePath());
        QFile f(folder.file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    std::vector<ManifestEntry> manifest = c.manifest;
    for (ManifestEntry &e : manifest)
        e.link.replace(QStringLiteral("{url}"), routes.url(""));

    update::HttpFetcher fetcher;
    QString lastNote;
    const update::FilePassResult r =
        update::runFilePass(folder, manifest, fetcher, [&](const QString &n) { lastNote = n; });
    EXPECT_EQ(r.fetched, c.fetched);
    EXPECT_EQ(r.failed, c.failed);
    EXPECT_EQ(r.unsafe, c.unsafe);
    EXPECT_EQ(lastNote, c.lastNote);
    for (const auto &[name, bytes] : c.after) {
        QFile f(folder.file(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_TRUE(f.readAll() == bytes) << name.toStdString();
    }
    for (const QString &name : c.absent) {
        EXPECT_FALSE(QFile::exists(folder.file(name))) << name.toStdString();
        EXPECT_FALSE(QFile::exists(outer.path(name))) << name.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FilePassTable, ::testing::ValuesIn(passCases()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(FilePass, CancelStopsBeforeTheNextRow)
{
    test::TempProgramFolder folder;
    update::HttpFetcher fetcher;
    std::atomic<bool> cancel{true};
    EXPECT_THROW(update::runFilePass(folder.folder(), {{QStringLiteral("http://127.0.0.1:9/x"), QStringLiteral("x"),
                                                        QString(), QString()}},
                                     fetcher, {}, &cancel),
                 update::UpdateCancelled);
}

} // namespace

namespace {

TEST(ManifestAddress, EnvironmentOverridesTheBuiltInAddressOnlyWithAnHttpAddress)
{
    const QString builtIn = QStringLiteral("http://update.example/ver.xml");
    const QByteArray saved = qgetenv("KELVOX_MANIFEST_URL");
    const struct
    {
        const char *env; // nullptr: unset
        QString want;
    } cases[] = {
        {nullptr, builtIn},
        {"", builtIn},
        {"http://127.0.0.1:8080/ver.xml", QStringLiteral("http://127.0.0.1:8080/ver.xml")},
        {"HTTP://127.0.0.1/v.xml", QStringLiteral("HTTP://127.0.0.1/v.xml")},
        {"127.0.0.1/ver.xml", builtIn},
        {"file:///etc/passwd", builtIn},
        {"http://", builtIn},
    };
    for (const auto &c : cases) {
        if (c.env)
            qputenv("KELVOX_MANIFEST_URL", c.env);
        else
            qunsetenv("KELVOX_MANIFEST_URL");
        EXPECT_EQ(update::manifestUrl(builtIn), c.want) << (c.env ? c.env : "(unset)");
    }
    if (saved.isNull())
        qunsetenv("KELVOX_MANIFEST_URL");
    else
        qputenv("KELVOX_MANIFEST_URL", saved);
}

} // namespace
