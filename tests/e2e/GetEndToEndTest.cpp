// tunelix-get against a real nginx on 127.0.0.1: several server blocks as mirrors,
// some with limit_rate; each test has its own program folder and web root.
#include "catalogue/TxDataModule.h"
#include "extlib/LinkCodec.h"
#include "reliability/ReliabilitySupport.h"
#include "support/CatalogueBuilder.h"
#include "support/NginxServer.h"
#include "support/TempProgramFolder.h"
#include "transfer/DownloadMap.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <signal.h>

using namespace tunelix;
using test::NginxServer;

namespace {

QString md5Of(const QByteArray &b)
{
    return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Md5).toHex());
}

struct GetRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

class GetEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.createCatalogue();
        QDir().mkpath(folder.path(QStringLiteral("Ring")));
    }

    void publish(const QString &name, const QByteArray &content, QTemporaryDir &root)
    {
        QFile f(root.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    catalogue::CatalogueRow row(qint32 id, const QString &name, const QByteArray &content,
                                const std::vector<std::string> &urls)
    {
        catalogue::CatalogueRow r = test::sampleRow(id, name);
        r.fileSize = content.size();
        r.md5Code = md5Of(content);
        for (std::size_t i = 0; i < urls.size() && i < r.webLinks.size(); ++i)
            r.webLinks[i] = QString::fromLatin1(
                extlib::encodeLink(QByteArray::fromStdString(urls[i]), extlib::linkKey(id)));
        return r;
    }

    QStringList args(const QStringList &more) const
    {
        return QStringList{QStringLiteral("--folder"), folder.path(QString()), QStringLiteral("--inactivity-ms"),
                           QStringLiteral("3000"), QStringLiteral("--stall-seconds"), QStringLiteral("2")}
               + more;
    }

    GetRun get(const QStringList &more)
    {
        QProcess p;
        p.start(QStringLiteral(TUNELIX_GET_PATH), args(more));
        EXPECT_TRUE(p.waitForFinished(120000));
        return GetRun{p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                   QString::fromLocal8Bit(p.readAllStandardError())};
    }

    QByteArray ring(const QString &name) const { return folder.readFile(QStringLiteral("Ring/") + name); }
    bool inRing(const QString &name) const { return QFile::exists(folder.path(QStringLiteral("Ring/") + name)); }
    int fileState(qint32 id)
    {
        catalogue::TTxDataModule data(folder.path(QStringLiteral("local.mdb")));
        return data.readRow(id).value().fileState.value_or(-1);
    }

    test::TempProgramFolder folder;
    QTemporaryDir www;
};

} // namespace

TEST_F(GetEndToEnd, ThreeMirrorsGiveTheVerifiedFileAndMarkTheRow)
{
    const QByteArray content = test::reliability::patternBytes(1000003, 1);
    publish(QStringLiteral("three.mp3"), content, www);
    NginxServer nginx(www.path(), {{"300k", ""}, {"200k", ""}, {"100k", ""}});
    nginx.start();
    test::writeCatalogue(folder.path(QStringLiteral("local.mdb")),
                         {row(7, QStringLiteral("three.mp3"), content,
                              {nginx.url(0, "/three.mp3"), nginx.url(1, "/three.mp3"), nginx.url(2, "/three.mp3")})});
    const GetRun run = get({QStringLiteral("7")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(ring(QStringLiteral("three.mp3")), content);
    EXPECT_FALSE(inRing(QStringLiteral("three.mp3.map")));
    EXPECT_FALSE(inRing(QStringLiteral("three.mp3.data")));
    EXPECT_EQ(fileState(7), 1);
    QFile log(nginx.accessLogPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(text.contains(QByteArray::number(nginx.port(i)).append(" 206 GET"))) << "mirror " << i;
}

TEST_F(GetEndToEnd, KilledMidDownloadResumesFromItsMap)
{
    const QByteArray content = test::reliability::patternBytes(1500000, 2);
    publish(QStringLiteral("kill.mp3"), content, www);
    NginxServer slow(www.path(), {{"150k", ""}});
    slow.start();
    test::writeCatalogue(folder.path(QStringLiteral("local.mdb")),
                         {row(9, QStringLiteral("kill.mp3"), content, {slow.url(0, "/kill.mp3")})});
    QProcess p;
    p.start(QStringLiteral(TUNELIX_GET_PATH), args({QStringLiteral("9")}));
    ASSERT_TRUE(p.waitForStarted());
    QElapsedTimer t;
    t.start();
    QByteArray mapText;
    while (t.elapsed() < 60000) { // until at least two segments are recorded
        mapText = ring(QStringLiteral("kill.mp3.map"));
        if (mapText.count("Completed = True") >= 2)
            break;
        QThread::msleep(20);
    }
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished(10000);
    ASSERT_GE(mapText.count("Completed = True"), 2);
    ASSERT_TRUE(inRing(QStringLiteral("kill.mp3.data")));
    // The map on disk is whole (replaced atomically), whatever moment the kill hit.
    transfer::TDownloadMap map;
    ASSERT_NO_THROW(transfer::TTextComponentStreamer::fromText(ring(QStringLiteral("kill.mp3.map")), map));
    std::vector<std::uint32_t> done;
    for (const auto &s : map.Segments())
        if (s.Completed)
            done.push_back(s.SegmentBegin);
    ASSERT_FALSE(done.empty());
    slow.stop();

    NginxServer fast(www.path(), {{"", ""}});
    fast.start();
    // Point the row at the new mirror: same FileID, size and MD5, so the map still fits.
    QFile::remove(folder.path(QStringLiteral("local.mdb")));
    folder.createCatalogue();
    test::writeCatalogue(folder.path(QStringLiteral("local.mdb")),
                         {row(9, QStringLiteral("kill.mp3"), content, {fast.url(0, "/kill.mp3")})});
    const GetRun run = get({QStringLiteral("9")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(ring(QStringLiteral("kill.mp3")), content);
    EXPECT_FALSE(inRing(QStringLiteral("kill.mp3.map")));
    QFile log(fast.accessLogPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    for (std::uint32_t begin : done)
        EXPECT_FALSE(text.contains(QByteArray("\"bytes=").append(QByteArray::number(begin)).append("-"))) << begin;
}

TEST_F(GetEndToEnd, Md5MismatchDeletesBothFilesAndFails)
{
    const QByteArray content = test::reliability::patternBytes(300000, 3);
    publish(QStringLiteral("bad.mp3"), content, www);
    NginxServer nginx(www.path(), {{"", ""}});
    nginx.start();
    auto r = row(11, QStringLiteral("bad.mp3"), content, {nginx.url(0, "/bad.mp3")});
    r.md5Code = QStringLiteral("00000000000000000000000000000000");
    test::writeCatalogue(folder.path(QStringLiteral("local.mdb")), {r});
    const GetRun run = get({QStringLiteral("--attempts"), QStringLiteral("1"), QStringLiteral("11")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains(QStringLiteral("11 bad.mp3: MD5 mismatch"))) << run.err.toStdString();
    EXPECT_FALSE(inRing(QStringLiteral("bad.mp3")));
    EXPECT_FALSE(inRing(QStringLiteral("bad.mp3.map")));
    EXPECT_FALSE(inRing(QStringLiteral("bad.mp3.data")));
    EXPECT_EQ(fileState(11), 0);
}

TEST_F(GetEndToEnd, DeadAndWrongSizeMirrorsBesideAGoodOneWithAll)
{
    const QByteArray content = test::reliability::patternBytes(700001, 4);
    publish(QStringLiteral("mix.mp3"), content, www);
    QTemporaryDir other;
    publish(QStringLiteral("mix.mp3"), test::reliability::patternBytes(700002, 5), other); // same name, another size
    NginxServer nginx(www.path(), {{"", "root " + other.path().toStdString() + ";"}, {"400k", ""}});
    nginx.start();
    const std::string dead = "http://127.0.0.1:" + std::to_string(NginxServer::freePort()) + "/mix.mp3";
    const QByteArray second = test::reliability::patternBytes(150000, 6);
    publish(QStringLiteral("second.mp3"), second, www);
    test::writeCatalogue(folder.path(QStringLiteral("local.mdb")),
                         {row(20, QStringLiteral("mix.mp3"), content,
                              {dead, nginx.url(0, "/mix.mp3"), nginx.url(1, "/mix.mp3")}),
                          row(19, QStringLiteral("second.mp3"), second, {nginx.url(1, "/second.mp3")})});
    const GetRun run = get({QStringLiteral("--all")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(ring(QStringLiteral("mix.mp3")), content);
    EXPECT_EQ(ring(QStringLiteral("second.mp3")), second);
    EXPECT_EQ(fileState(20), 1);
    EXPECT_EQ(fileState(19), 1);
    QFile log(nginx.accessLogPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(log.readAll().contains(QByteArray::number(nginx.port(0)).append(" 206 GET")));
}

TEST_F(GetEndToEnd, RowWithoutAddressesAndUnknownRowsFailWithAReason)
{
    auto r = test::sampleRow(30, QStringLiteral("nolink.mp3"));
    auto evil = test::sampleRow(31, QStringLiteral("../evil.mp3"));
    evil.webLinks[0] = QString::fromLatin1(extlib::encodeLink("http://127.0.0.1:1/e.mp3", extlib::linkKey(31)));
    test::writeCatalogue(folder.path(QStringLiteral("local.mdb")), {r, evil});
    const GetRun run = get({QStringLiteral("30"), QStringLiteral("31"), QStringLiteral("32")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains(QStringLiteral("30 nolink.mp3: no download address"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("31 ../evil.mp3: file name leaves the Ring folder"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("32: no such row"))) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("evil.mp3"))));
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("evil.mp3.map"))));
}
