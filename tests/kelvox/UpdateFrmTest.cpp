#include "kelvox/UpdateFrm.h"
#include "rowset/RowsetWriter.h"
#include "skin/ErrorBox.h"
#include "support/CatalogueBuilder.h"
#include "support/LoopbackServer.h"
#include "support/NginxServer.h"
#include "support/TempProgramFolder.h"
#include "support/UpdateFixtures.h"
#include "update/Publish.h"

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace tunelix;
using kelvox::TUpdateFrm;

namespace {

constexpr int kWaitMs = 60000; // generous: only a broken updater takes this long

const QByteArray kProgram = QByteArray(200000, 'p').append("new program");

catalogue::CatalogueRow dailyRow(qint32 id, const QString &name)
{
    catalogue::CatalogueRow r = test::sampleRow(id, name);
    r.lastDateTime = QStringLiteral("2024-05-01T10:00:00");
    return r;
}

// A program folder with a catalogue, and a server with a manifest, a program file and a
// daily file; each test changes what it needs before the window starts.
class UpdateWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QApplication::setQuitOnLastWindowClosed(false);
        // The temporary folder has no frame pictures; their error must not block.
        previousSkinHandler = skin::setErrorHandler([this](QWidget *, const QString &m) { skinErrors << m; });
        catalogue::CatalogueRow old = test::sampleRow(1, QStringLiteral("old.mp3"));
        old.bookId = 4;
        old.isNew = 1;
        test::writeCatalogue(folder.folder().catalogueDatabase(), {old});

        daily = rowset::rowsetToXml(update::dailyRowset(
            {dailyRow(2, QStringLiteral("Don't Stop.mp3")), dailyRow(3, QStringLiteral("铃声.mp3"))}));
        test::serveBytes(server.server(), "/files/tunelix", kProgram);
        test::serveBytes(server.server(), "/files/5.daily", daily);
        server.server().Get("/ver.xml", [this](const httplib::Request &, httplib::Response &res) {
            if (manifestStatus != 200) {
                res.status = manifestStatus;
                res.set_content("<html>error page</html>", "text/html");
                return;
            }
            res.set_content(std::string(manifest.constData(), size_t(manifest.size())), "text/xml");
        });
        server.server().Get("/slow.bin", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content_provider(size_t(kProgram.size()), "application/octet-stream",
                                     [this](size_t offset, size_t, httplib::DataSink &sink) {
                                         if (offset == 0) {
                                             sink.write(kProgram.constData(), 100);
                                             return true;
                                         }
                                         for (int i = 0; i < 1200 && !release.load(); ++i)
                                             std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                         return false;
                                     });
        });
        server.start();
        manifest = manifestFor({{url("/files/tunelix"), QStringLiteral("tunelix"), QString(), test::md5Hex(kProgram)},
                                {url("/files/5.daily"), QStringLiteral("5.daily"), QStringLiteral("daily\\"),
                                 test::md5Hex(daily)}});
    }
    void TearDown() override
    {
        release.store(true);
        window.reset();
        server.stop();
        skin::setErrorHandler(previousSkinHandler);
    }

    QString url(const std::string &path) const { return QString::fromStdString(server.url(path)); }
    static QByteArray manifestFor(const std::vector<update::ManifestEntry> &entries)
    {
        return rowset::rowsetToXml(update::manifestRowset(entries));
    }

    TUpdateFrm &start(const QString &manifestUrl)
    {
        window = std::make_unique<TUpdateFrm>(folder.folder());
        window->setManifestUrl(manifestUrl);
        window->setErrorBox([this](QWidget *, const QString &message) { errors << message; });
        window->show();
        return *window;
    }
    // Waits until the window has closed itself or shown an error box.
    bool waitForEnd()
    {
        return QTest::qWaitFor([this] { return !window->isVisible() || !errors.isEmpty(); }, kWaitMs);
    }

    test::TempProgramFolder folder;
    test::LoopbackServer server;
    QByteArray manifest;
    QByteArray daily;
    std::atomic<int> manifestStatus{200};
    std::atomic<bool> release{false};
    std::unique_ptr<TUpdateFrm> window;
    QStringList errors;
    QStringList skinErrors;
    skin::ErrorHandler previousSkinHandler;
};

TEST_F(UpdateWindow, FetchesListedFilesMergesAndCloses)
{
    TUpdateFrm &w = start(url("/ver.xml"));
    bool closed = false;
    QObject::connect(&w, &TUpdateFrm::formClosed, [&] { closed = true; });
    EXPECT_EQ(w.Lbl_Speed->text(), QStringLiteral("Lbl_Speed"));
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(closed);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(folder.readFile(QStringLiteral("tunelix")), kProgram);
    EXPECT_EQ(folder.readFile(QStringLiteral("daily/5.daily")), daily);
    EXPECT_EQ(w.Lbl_Note->text(), QStringLiteral("5.daily"));
    EXPECT_EQ(w.Lbl_Speed->text(), QStringLiteral("%1/%1").arg(daily.size()));

    const auto rows = test::readAllRows(folder.folder().catalogueDatabase());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.at(2).fileName, QStringLiteral("Don't Stop.mp3"));
    EXPECT_EQ(rows.at(3).fileName, QStringLiteral("铃声.mp3"));
    EXPECT_EQ(rows.at(3).isNew, 1);
    EXPECT_EQ(rows.at(1).isNew, -1);
}

// The manifest cannot be fetched: the window ends silently and nothing else is looked at,
// not even a ver.xml of an earlier run.
struct SilentCase
{
    const char *name;
    int status;          // the manifest route's answer
    bool deadServer;     // nothing listens at the address
    bool noLength;       // the route answers without Content-Length
};

class ManifestUnavailable : public UpdateWindow, public ::testing::WithParamInterface<SilentCase>
{};

TEST_P(ManifestUnavailable, EndsSilentlyAndTouchesNothing)
{
    const SilentCase &c = GetParam();
    const QByteArray earlier = manifestFor(
        {{url("/files/tunelix"), QStringLiteral("tunelix"), QString(), test::md5Hex(kProgram)},
         {QString(), QStringLiteral("9.daily"), QStringLiteral("daily\\"), QString()}});
    folder.writeFile(QStringLiteral("ver.xml"), earlier);
    test::writeDaily(folder, QStringLiteral("daily/9.daily"), {dailyRow(9, QStringLiteral("x.mp3"))});
    manifestStatus = c.status;
    server.server().Get("/chunked.xml", [this](const httplib::Request &, httplib::Response &res) {
        res.set_chunked_content_provider("text/xml", [this](size_t offset, httplib::DataSink &sink) {
            if (offset == 0)
                sink.write(manifest.constData(), size_t(manifest.size()));
            else
                sink.done();
            return true;
        });
    });

    QString address = url(c.noLength ? "/chunked.xml" : "/ver.xml");
    if (c.deadServer)
        address = QStringLiteral("http://127.0.0.1:%1/ver.xml").arg(test::NginxServer::freePort());
    TUpdateFrm &w = start(address);
    ASSERT_TRUE(waitForEnd());
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(w.Lbl_Note->text(), QStringLiteral("Ver"));
    EXPECT_EQ(folder.readFile(QStringLiteral("ver.xml")), earlier);
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("tunelix"))));
    const auto rows = test::readAllRows(folder.folder().catalogueDatabase());
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.at(1).isNew, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, ManifestUnavailable,
                         ::testing::Values(SilentCase{"unreachable", 200, true, false},
                                           SilentCase{"not_found", 404, false, false},
                                           SilentCase{"unauthorised_page_not_saved", 401, false, false},
                                           SilentCase{"no_content_length", 200, false, true}),
                         [](const auto &info) { return std::string(info.param.name); });

// Errors of the update step: one box with the message, the window stays open, and what
// came before the error stays done.
TEST_F(UpdateWindow, ManifestThatIsNoRecordsetShowsTheErrorAndLeavesTheWindowOpen)
{
    manifest = QByteArray("<html><body>Welcome to our server</body></html>");
    TUpdateFrm &w = start(url("/ver.xml"));
    ASSERT_TRUE(waitForEnd());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(QLatin1String("ver.xml"))) << errors.front().toStdString();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.updateFailed());
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("tunelix"))));
    EXPECT_EQ(test::readAllRows(folder.folder().catalogueDatabase()).at(1).isNew, 1);
    // Nothing more happens afterwards: no second box, the window stays.
    QTest::qWait(700);
    EXPECT_EQ(errors.size(), 1);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(UpdateWindow, DatabaseErrorAfterTheFilePassKeepsTheFetchedFiles)
{
    QFile::remove(folder.folder().catalogueDatabase());
    TUpdateFrm &w = start(url("/ver.xml"));
    ASSERT_TRUE(waitForEnd());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.front().contains(QLatin1String("local.mdb"))) << errors.front().toStdString();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(folder.readFile(QStringLiteral("tunelix")), kProgram);
}

TEST_F(UpdateWindow, ProgressShowsWhileAFetchRunsAndClosingStopsIt)
{
    manifest = manifestFor({{url("/slow.bin"), QStringLiteral("big.bin"), QString(), QStringLiteral("0")}});
    TUpdateFrm &w = start(url("/ver.xml"));
    // The window's own thread stays free: the snapshot of the running fetch arrives.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return w.Lbl_Speed->text() == QStringLiteral("100/%1").arg(kProgram.size()); }, kWaitMs))
        << w.Lbl_Speed->text().toStdString();
    EXPECT_EQ(w.Lbl_Note->text(), QStringLiteral("big.bin"));
    EXPECT_EQ(w.Up_ProgressBar->maximum(), kProgram.size());
    EXPECT_EQ(w.Up_ProgressBar->value(), 100);
    w.move(w.pos() + QPoint(-20, -20)); // can be moved meanwhile

    w.close(); // aborts the fetch and joins the update thread, then fades out
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, kWaitMs));
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("big.bin"))));
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(test::readAllRows(folder.folder().catalogueDatabase()).at(1).isNew, 1);
}

} // namespace

namespace {

// The whole run against a real nginx on 127.0.0.1: HEAD and GET over HTTP/1.0 as a
// real server answers them.
TEST(UpdateAgainstNginx, FetchesAndMerges)
{
    QApplication::setQuitOnLastWindowClosed(false);
    const skin::ErrorHandler previous = skin::setErrorHandler([](QWidget *, const QString &) {});
    test::TempProgramFolder www;
    test::TempProgramFolder folder;
    test::writeCatalogue(folder.folder().catalogueDatabase(), {});
    test::NginxServer nginx(www.folder().root(), {{"", ""}});
    nginx.start();
    const auto url = [&](const char *path) { return QString::fromStdString(nginx.url(0, path)); };

    const QByteArray dailyXml = rowset::rowsetToXml(update::dailyRowset({dailyRow(7, QStringLiteral("Don't Stop.mp3"))}));
    www.writeFile(QStringLiteral("files/tunelix"), kProgram);
    www.writeFile(QStringLiteral("files/12.daily"), dailyXml);
    test::writeManifest(www, {{url("/files/tunelix"), QStringLiteral("tunelix"), QString(), test::md5Hex(kProgram)},
                              {url("/files/12.daily"), QStringLiteral("12.daily"), QStringLiteral("daily\\"),
                               test::md5Hex(dailyXml)}});

    QStringList errors;
    TUpdateFrm w(folder.folder());
    w.setManifestUrl(url("/ver.xml"));
    w.setErrorBox([&](QWidget *, const QString &m) { errors << m; });
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isVisible() || !errors.isEmpty(); }, kWaitMs));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(folder.readFile(QStringLiteral("tunelix")), kProgram);
    const auto rows = test::readAllRows(folder.folder().catalogueDatabase());
    ASSERT_EQ(rows.count(7), 1u);
    EXPECT_EQ(rows.at(7).bookId, 12);
    EXPECT_EQ(rows.at(7).isNew, 1);
    skin::setErrorHandler(previous);
}

// The program killed in the middle of a fetch leaves the old file whole.
TEST(KilledUpdater, LeavesNoHalfWrittenFile)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/kelvox");
    ASSERT_TRUE(QFile::exists(program));
    test::TempProgramFolder folder;
    test::writeCatalogue(folder.folder().catalogueDatabase(), {});
    ASSERT_TRUE(QFile::copy(program, folder.path(QStringLiteral("kelvox"))));
    QFile::setPermissions(folder.path(QStringLiteral("kelvox")), QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
    folder.writeFile(QStringLiteral("big.bin"), QByteArray("the old content"));

    std::atomic<bool> bodyStarted{false};
    std::atomic<bool> release{false};
    test::LoopbackServer server;
    server.server().Get("/big.bin", [&](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(size_t(kProgram.size()), "application/octet-stream",
                                 [&](size_t offset, size_t, httplib::DataSink &sink) {
                                     if (offset == 0) {
                                         sink.write(kProgram.constData(), 50000);
                                         return true;
                                     }
                                     bodyStarted.store(true);
                                     for (int i = 0; i < 1200 && !release.load(); ++i)
                                         std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                     return false;
                                 });
    });
    QByteArray manifest;
    server.server().Get("/ver.xml", [&](const httplib::Request &, httplib::Response &res) {
        res.set_content(std::string(manifest.constData(), size_t(manifest.size())), "text/xml");
    });
    server.start();
    manifest = rowset::rowsetToXml(update::manifestRowset(
        {{QString::fromStdString(server.url("/big.bin")), QStringLiteral("big.bin"), QString(), QStringLiteral("0")}}));

    QProcess kelvox;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KELVOX_MANIFEST_URL"), QString::fromStdString(server.url("/ver.xml")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kelvox.setProcessEnvironment(env);
    kelvox.start(folder.path(QStringLiteral("kelvox")), {});
    ASSERT_TRUE(kelvox.waitForStarted(kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bodyStarted.load(); }, kWaitMs));
    kelvox.kill();
    ASSERT_TRUE(kelvox.waitForFinished(kWaitMs));
    release.store(true);
    EXPECT_EQ(folder.readFile(QStringLiteral("big.bin")), QByteArray("the old content"));
}

} // namespace

namespace {

// Snapshots cross threads coalesced and may arrive late: a snapshot of an earlier
// fetch must never overwrite the display of a later one.
TEST(UpdateProgress, LateSnapshotOfAnEarlierFetchIsDropped)
{
    test::TempProgramFolder folder;
    TUpdateFrm w(folder.folder());
    w.Kelvox_HttpCliDocData({2, 10, 40});
    EXPECT_EQ(w.Lbl_Speed->text(), QStringLiteral("10/40"));
    EXPECT_EQ(w.Up_ProgressBar->maximum(), 40);
    EXPECT_EQ(w.Up_ProgressBar->value(), 10);
    w.Kelvox_HttpCliDocData({1, 900, 1000});
    EXPECT_EQ(w.Lbl_Speed->text(), QStringLiteral("10/40"));
    w.Kelvox_HttpCliDocData({3, qint64(5) << 32, qint64(6) << 32}); // beyond the bar's int range
    EXPECT_EQ(w.Lbl_Speed->text(), QStringLiteral("%1/%2").arg(qint64(5) << 32).arg(qint64(6) << 32));
    EXPECT_GT(w.Up_ProgressBar->maximum(), 0);
    EXPECT_EQ(double(w.Up_ProgressBar->value()) / w.Up_ProgressBar->maximum(), 5.0 / 6.0);
}

} // namespace
