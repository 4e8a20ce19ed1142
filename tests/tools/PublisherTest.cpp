#include "extlib/LinkCodec.h"
#include "extlib/Md5.h"
#include "publish/Publisher.h"
#include "rowset/RowsetReader.h"
#include "support/Mp3Fixture.h"
#include "support/QtPrinters.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

#include <ctime>

using namespace tunelix;
using publish::PublishError;
using publish::PublishOptions;

namespace {

class Publisher : public ::testing::Test
{
public:
    static void SetUpTestSuite()
    {
        // Encoding is the slow part: make the fixtures once for the suite.
        s_mp3 = new QTemporaryDir;
        test::writeMp3(s_mp3->filePath(QStringLiteral("a.mp3")), 1.0, 440);
        test::writeMp3(s_mp3->filePath(QStringLiteral("b.mp3")), 2.0, 660);
    }
    static void TearDownTestSuite()
    {
        delete s_mp3;
        s_mp3 = nullptr;
    }

    QString source(const QString &folder, const QStringList &names, const char *from = "a.mp3")
    {
        const QString dir = work.path(folder);
        QDir().mkpath(dir);
        for (const QString &name : names)
            QFile::copy(s_mp3->filePath(QLatin1String(from)), dir + QLatin1Char('/') + name);
        return dir;
    }

    PublishOptions options(const QString &sourceFolder, int book)
    {
        PublishOptions o;
        o.sourceFolder = sourceFolder;
        o.releaseFolder = work.path(QStringLiteral("release"));
        o.book = book;
        o.mirrors = {QStringLiteral("http://127.0.0.1:8081"), QStringLiteral("http://127.0.0.2:8082/")};
        o.now = QDateTime(QDate(2026, 12, 11), QTime(9, 30, 15));
        return o;
    }

    rowset::Rowset daily(int book)
    {
        return rowset::readRowsetFile(work.path(QStringLiteral("release/daily/%1.daily").arg(book)));
    }

    static QTemporaryDir *s_mp3;
    test::TempProgramFolder work;
};

QTemporaryDir *Publisher::s_mp3 = nullptr;

TEST_F(Publisher, WritesRingtonesDailyFileAndManifest)
{
    PublishOptions o = options(source(QStringLiteral("src1"), {QStringLiteral("晨光.mp3"), QStringLiteral("Don't Stop.mp3")}), 1);
    o.pageMirrors = {QStringLiteral("http://127.0.0.3:8083/")};
    const auto result = publish::publishRelease(o);
    EXPECT_EQ(result.added, 2);
    EXPECT_EQ(result.changed, 0);

    const rowset::Rowset rows = daily(1);
    ASSERT_EQ(rows.rowCount(), 2);
    const int id = rows.requireColumn(QStringLiteral("FileID"));
    const int name = rows.requireColumn(QStringLiteral("FileName"));
    for (int r = 0; r < rows.rowCount(); ++r) {
        const qint32 fileId = rows.text(r, id).toInt();
        const QString fileName = rows.text(r, name);
        const QString ring = work.path(QStringLiteral("release/Ring/") + fileName);
        ASSERT_TRUE(QFile::exists(ring)) << fileName.toStdString();
        EXPECT_EQ(rows.text(r, rows.requireColumn(QStringLiteral("MD5Code"))), extlib::FileDirectoryMD5(ring));
        EXPECT_EQ(rows.text(r, rows.requireColumn(QStringLiteral("FileSize"))).toLongLong(), QFileInfo(ring).size());
        EXPECT_EQ(rows.text(r, rows.requireColumn(QStringLiteral("SongLength"))), QStringLiteral("1"));
        EXPECT_EQ(rows.text(r, rows.requireColumn(QStringLiteral("LastDateTime"))), QStringLiteral("2026-12-11T09:30:15"));

        const QByteArray key = extlib::linkKey(fileId);
        const QByteArray encoded = QUrl::toPercentEncoding(fileName);
        EXPECT_EQ(extlib::decodeLink(rows.text(r, rows.requireColumn(QStringLiteral("WebLink"))).toLatin1(), key),
                  QByteArray("http://127.0.0.1:8081/Ring/").append(encoded));
        EXPECT_EQ(extlib::decodeLink(rows.text(r, rows.requireColumn(QStringLiteral("WebLink1"))).toLatin1(), key),
                  QByteArray("http://127.0.0.2:8082/Ring/").append(encoded));
        const QByteArray page = extlib::decodeLink(rows.text(r, rows.requireColumn(QStringLiteral("WebLink2"))).toLatin1(), key);
        EXPECT_EQ(page, QByteArray("http://127.0.0.3:8083/links/").append(QByteArray::number(fileId)).append(".html"));
        EXPECT_TRUE(work.readFile(QStringLiteral("release/links/%1.html").arg(fileId))
                        .contains(QByteArray("http://127.0.0.2:8082/Ring/").append(encoded)));
        EXPECT_TRUE(rows.text(r, rows.requireColumn(QStringLiteral("WebLink3"))).isEmpty());
    }

    const rowset::Rowset manifest = rowset::readRowsetFile(work.path(QStringLiteral("release/ver.xml")));
    ASSERT_EQ(manifest.rowCount(), 1);
    EXPECT_EQ(manifest.text(0, manifest.requireColumn(QStringLiteral("F_FileName"))), QStringLiteral("1.daily"));
    EXPECT_EQ(manifest.text(0, manifest.requireColumn(QStringLiteral("F_SaveDir"))), QStringLiteral("daily"));
    EXPECT_EQ(manifest.text(0, manifest.requireColumn(QStringLiteral("F_Link"))),
              QStringLiteral("http://127.0.0.1:8081/daily/1.daily"));
    EXPECT_EQ(manifest.text(0, manifest.requireColumn(QStringLiteral("F_MD5"))),
              extlib::FileDirectoryMD5(work.path(QStringLiteral("release/daily/1.daily"))));
}

// The times are wall-clock times as written: a changed row's later time must not depend
// on the zone the publisher runs in (west of UTC it once came out equal to the old one).
TEST_F(Publisher, ChangedRowGetsALaterTimeInAnyTimeZone)
{
    const QByteArray saved = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    for (const char *zone : {"UTC", "America/Los_Angeles", "Asia/Shanghai"}) {
        qputenv("TZ", zone);
        tzset();
        QDir(work.path(QStringLiteral("release"))).removeRecursively();
        publish::publishRelease(options(source(QStringLiteral("z1"), {QStringLiteral("y.mp3")}), 1));
        publish::publishRelease(options(source(QStringLiteral("z2"), {QStringLiteral("y.mp3")}, "b.mp3"), 2));
        const auto when = [&](int book) {
            const rowset::Rowset rows = daily(book);
            return rows.text(0, rows.requireColumn(QStringLiteral("LastDateTime")));
        };
        EXPECT_EQ(when(1), QStringLiteral("2026-12-11T09:30:15")) << zone;
        EXPECT_EQ(when(2), QStringLiteral("2026-12-11T09:30:16")) << zone;
    }
    if (hadZone)
        qputenv("TZ", saved);
    else
        qunsetenv("TZ");
    tzset();
}

TEST_F(Publisher, NextBookContinuesFileIdsKeepsOlderBooksAndKeepsIdsOfChangedNames)
{
    publish::publishRelease(options(source(QStringLiteral("src1"), {QStringLiteral("x.mp3"), QStringLiteral("y.mp3")}), 1));
    const QByteArray book1 = work.readFile(QStringLiteral("release/daily/1.daily"));

    // Book 2: a new take of y.mp3 and a new ringtone.
    const auto result = publish::publishRelease(
        options(source(QStringLiteral("src2"), {QStringLiteral("y.mp3"), QStringLiteral("z.mp3")}, "b.mp3"), 2));
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.changed, 1);
    EXPECT_EQ(result.firstNewFileId, 3);

    const rowset::Rowset rows = daily(2);
    std::map<QString, int> ids;
    for (int r = 0; r < rows.rowCount(); ++r)
        ids[rows.text(r, rows.requireColumn(QStringLiteral("FileName")))] =
            rows.text(r, rows.requireColumn(QStringLiteral("FileID"))).toInt();
    EXPECT_EQ(ids[QStringLiteral("y.mp3")], 2);
    EXPECT_EQ(ids[QStringLiteral("z.mp3")], 3);
    // Published in the same second as book 1, the changed row still gets a later time, or
    // the merge would keep the old row.
    EXPECT_GT(rows.rows[0][rows.requireColumn(QStringLiteral("LastDateTime"))].toDateTime(),
              daily(1).rows[1][daily(1).requireColumn(QStringLiteral("LastDateTime"))].toDateTime());
    // The mirrors now serve the new take.
    EXPECT_EQ(extlib::FileDirectoryMD5(work.path(QStringLiteral("release/Ring/y.mp3"))),
              extlib::FileDirectoryMD5(s_mp3->filePath(QStringLiteral("b.mp3"))));

    EXPECT_EQ(work.readFile(QStringLiteral("release/daily/1.daily")), book1);
    const rowset::Rowset manifest = rowset::readRowsetFile(work.path(QStringLiteral("release/ver.xml")));
    ASSERT_EQ(manifest.rowCount(), 2);
    EXPECT_EQ(manifest.text(0, manifest.requireColumn(QStringLiteral("F_FileName"))), QStringLiteral("1.daily"));
    EXPECT_EQ(manifest.text(1, manifest.requireColumn(QStringLiteral("F_FileName"))), QStringLiteral("2.daily"));
}

struct RefusedCase
{
    const char *name;
    std::function<void(Publisher &, PublishOptions &)> arrange;
};

class PublisherRefuses : public Publisher, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(PublisherRefuses, AndWritesNothing)
{
    PublishOptions o = options(source(QStringLiteral("src"), {QStringLiteral("ok.mp3")}), 1);
    GetParam().arrange(*this, o);
    EXPECT_THROW(publish::publishRelease(o), PublishError);
    EXPECT_FALSE(QDir(o.releaseFolder).exists());
}

INSTANTIATE_TEST_SUITE_P(Table, PublisherRefuses, ::testing::Values(
    RefusedCase{"EmptyFolder", [](Publisher &p, PublishOptions &o) {
        o.sourceFolder = p.work.path(QStringLiteral("empty"));
        QDir().mkpath(o.sourceFolder);
    }},
    RefusedCase{"MissingFolder", [](Publisher &p, PublishOptions &o) { o.sourceFolder = p.work.path(QStringLiteral("none")); }},
    RefusedCase{"TextNamedMp3", [](Publisher &p, PublishOptions &o) {
        p.work.writeFile(QStringLiteral("src/fake.mp3"), QByteArray("not audio at all\n").repeated(500));
        (void)o;
    }},
    RefusedCase{"EmptyMp3", [](Publisher &p, PublishOptions &) { p.work.writeFile(QStringLiteral("src/empty.mp3"), {}); }},
    RefusedCase{"OtherFile", [](Publisher &p, PublishOptions &) { p.work.writeFile(QStringLiteral("src/readme.txt"), "x"); }},
    RefusedCase{"SameNameOtherCase", [](Publisher &p, PublishOptions &) {
        QFile::copy(p.work.path(QStringLiteral("src/ok.mp3")), p.work.path(QStringLiteral("src/OK.MP3")));
    }},
    RefusedCase{"BackslashInName", [](Publisher &p, PublishOptions &) {
        // The fixture folder maps '\\' to '/', so the name is put together here.
        ASSERT_TRUE(QFile::copy(p.work.path(QStringLiteral("src/ok.mp3")), p.work.path(QStringLiteral("src")) + QStringLiteral("/a\\b.mp3")));
    }},
    RefusedCase{"BookZero", [](Publisher &, PublishOptions &o) { o.book = 0; }},
    RefusedCase{"NoMirror", [](Publisher &, PublishOptions &o) { o.mirrors.clear(); }},
    RefusedCase{"SevenMirrors", [](Publisher &, PublishOptions &o) {
        for (int i = 0; i < 5; ++i)
            o.mirrors << QStringLiteral("http://127.0.0.1:%1/").arg(9000 + i);
    }},
    RefusedCase{"NotHttp", [](Publisher &, PublishOptions &o) { o.mirrors = {QStringLiteral("ftp://127.0.0.1/")}; }},
    RefusedCase{"AddressTooLong", [](Publisher &, PublishOptions &o) {
        o.mirrors = {QStringLiteral("http://127.0.0.1/") + QString(140, QLatin1Char('d')) + QLatin1Char('/')};
    }}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
