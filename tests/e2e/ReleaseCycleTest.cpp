// The whole cycle on loopback: publish a release, serve it with nginx as three mirrors,
// let kelvox merge it, let tunelix-get fetch every ringtone; then publish a second book
// and run kelvox again.
#include "catalogue/CatalogueDatabase.h"
#include "catalogue/TxDataModule.h"
#include "extlib/Md5.h"
#include "publish/Publisher.h"
#include "reliability/ReliabilitySupport.h"
#include "support/Mp3Fixture.h"
#include "support/NginxServer.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace tunelix;

namespace {

constexpr int kProcessWaitMs = 180000; // generous: a loaded machine must not fail this

struct Row
{
    int bookId = 0;
    int isNew = 0;
    int fileState = 0;
    QString md5;
    QString fileName;
};

std::map<int, Row> readCatalogue(const QString &path)
{
    std::map<int, Row> rows;
    catalogue::TTxDataModule data(path);
    for (int id = 1; id <= 100; ++id) {
        if (const auto r = data.readRow(id))
            rows[id] = Row{r->bookId.value_or(-99), r->isNew.value_or(-99), r->fileState.value_or(-99), r->md5Code,
                           r->fileName};
    }
    return rows;
}

int run(const QString &program, const QStringList &args, const QProcessEnvironment &env, QString *output = nullptr)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(kProcessWaitMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

TEST(ReleaseCycle, PublishServeUpdateDownloadThenASecondBook)
{
    QTemporaryDir work;
    const QString release = work.filePath(QStringLiteral("release"));
    const QString book1 = work.filePath(QStringLiteral("book1"));
    const QString book2 = work.filePath(QStringLiteral("book2"));
    QDir().mkpath(release);
    QDir().mkpath(book1);
    QDir().mkpath(book2);
    // One ringtone long enough for several segments; Chinese, quoted and plain names.
    test::writeMp3(book1 + QStringLiteral("/晨光.mp3"), 30.0, 440);
    test::writeMp3(book1 + QStringLiteral("/Don't Stop.mp3"), 2.0, 550);
    test::writeMp3(book1 + QStringLiteral("/Echo.mp3"), 1.0, 660);
    test::writeMp3(book2 + QStringLiteral("/Echo.mp3"), 1.5, 700); // a new take: a changed row
    test::writeMp3(book2 + QStringLiteral("/雨夜.mp3"), 1.0, 880);

    test::NginxServer nginx(release, {{}, {}, {"64k", ""}});
    nginx.start();
    QStringList mirrors;
    for (int i = 0; i < 3; ++i)
        mirrors << QString::fromStdString(nginx.url(i, "/"));

    test::TempProgramFolder program;
    program.createCatalogue();
    const QString kelvox = test::reliability::installProgram(program, QStringLiteral(KELVOX_PATH), QStringLiteral("kelvox"));
    const QProcessEnvironment env =
        test::reliability::kelvoxEnvironment(QString::fromStdString(nginx.url(0, "/ver.xml")));
    const QString database = program.folder().catalogueDatabase();

    publish::PublishOptions options;
    options.sourceFolder = book1;
    options.releaseFolder = release;
    options.book = 1;
    options.mirrors = mirrors;
    options.now = QDateTime(QDate(2026, 12, 1), QTime(8, 0, 0));
    publish::publishRelease(options);

    ASSERT_EQ(run(kelvox, {}, env), 0);
    auto rows = readCatalogue(database);
    ASSERT_EQ(rows.size(), 3u);
    for (const auto &[id, row] : rows) {
        EXPECT_EQ(row.bookId, 1) << id;
        EXPECT_EQ(row.isNew, 1) << id;
        EXPECT_EQ(row.fileState, 0) << id;
    }

    QString output;
    ASSERT_EQ(run(QStringLiteral(TUNELIX_GET_PATH), {QStringLiteral("--folder"), program.folder().root(), QStringLiteral("--all")},
                  env, &output),
              0)
        << output.toStdString();
    rows = readCatalogue(database);
    for (const auto &[id, row] : rows) {
        EXPECT_EQ(extlib::FileDirectoryMD5(program.folder().ringFolder() + row.fileName), row.md5) << id;
        EXPECT_EQ(row.fileState, 1) << id;
    }
    EXPECT_TRUE(QDir(program.folder().ringFolder()).entryList({QStringLiteral("*.map"), QStringLiteral("*.data")}, QDir::Files).isEmpty());

    // Book 2: Echo.mp3 changes, 雨夜.mp3 is new.
    options.sourceFolder = book2;
    options.book = 2;
    options.now = QDateTime(QDate(2026, 12, 2), QTime(8, 0, 0));
    const auto second = publish::publishRelease(options);
    ASSERT_EQ(second.added, 1);
    ASSERT_EQ(second.changed, 1);

    ASSERT_EQ(run(kelvox, {}, env), 0);
    const auto after = readCatalogue(database);
    ASSERT_EQ(after.size(), 4u);
    const Row &added = after.at(second.firstNewFileId);
    EXPECT_EQ(added.fileName, QStringLiteral("雨夜.mp3"));
    EXPECT_EQ(added.bookId, 2);
    EXPECT_EQ(added.isNew, 1);
    for (const auto &[id, row] : after) {
        if (id == second.firstNewFileId)
            continue;
        EXPECT_EQ(row.bookId, 1) << id;
        EXPECT_EQ(row.isNew, -1) << id; // new before the newest book came
        if (row.fileName == QStringLiteral("Echo.mp3"))
            EXPECT_EQ(row.md5, extlib::FileDirectoryMD5(book2 + QStringLiteral("/Echo.mp3")));
        else
            EXPECT_EQ(row.md5, rows.at(id).md5);
    }
    EXPECT_EQ(test::reliability::integrityCheck(database), QStringLiteral("ok"));
}

} // namespace
