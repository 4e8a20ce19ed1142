// The client's main window with the real download queue: a double-click on a row
// whose file is missing downloads it from a loopback server, shows "Download-" + its
// name meanwhile, marks the row and hides the label when the file is verified.
#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "client/DownloadWiring.h"
#include "client/MainFrm.h"
#include "extlib/LinkCodec.h"
#include "skin/CheckPictureButton.h"
#include "skin/GlowLabel.h"
#include "support/CatalogueBuilder.h"
#include "support/RawHttpServer.h"
#include "support/TempProgramFolder.h"
#include "transfer/TransmitManager.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tunelix;

TEST(ClientDownload, DoubleClickOnAMissingFileDownloadsItAndMarksTheRow)
{
    const std::string body(345678, 'z');
    test::RawHttpServer server([&](const test::RawRequest &r, auto &c) { test::RawHttpServer::serveFile(r, c, body); });
    test::TempProgramFolder folder;
    auto row = test::sampleRow(42, QStringLiteral("answer.mp3"));
    row.fileSize = int(body.size());
    row.md5Code = QString::fromLatin1(
        QCryptographicHash::hash(QByteArray::fromStdString(body), QCryptographicHash::Md5).toHex());
    row.webLinks[0] = QString::fromLatin1(
        extlib::encodeLink(QByteArray::fromStdString(server.url("/answer.mp3")), extlib::linkKey(42)));
    test::writeCatalogue(folder.folder().catalogueDatabase(), {row, test::sampleRow(41, QStringLiteral("other.mp3"))});

    client::ClientContext context{folder.folder()};
    catalogue::TTxDataModule data{folder.folder().catalogueDatabase()};
    auto frm = std::make_unique<client::TmainFrm>(context, data);
    frm->quitApplication = [] {};
    int plays = 0;
    // Playback stood in as the window expects: a missing file checks the button.
    frm->hooks.PlayCurrentFile = [&] {
        context.PlayingNow = true;
        const catalogue::ViewRow *r = data.qry1()->current();
        if (r && QFileInfo::exists(context.RingFolder + r->fileName)) {
            ++plays;
            return;
        }
        if (!frm->seBtnAutoDownload->isChecked())
            frm->seBtnAutoDownload->setChecked(true);
        context.PlayingNow = false;
    };
    frm->hooks.StopPlaying = [&] { context.PlayingNow = false; };
    auto wiring = std::make_unique<client::DownloadWiring>(context, data, *frm);
    wiring->install();
    frm->FormCreate();
    ASSERT_NE(wiring->queue(), nullptr);
    data.qry1()->setCurrentIndex(0); // FileID 42, the highest
    frm->wwDBGrid1DblClick(nullptr);

    EXPECT_TRUE(context.AutoDownloadOn.load());
    EXPECT_EQ(frm->DownFileLbl->text(), QStringLiteral("Download-answer.mp3"));
    EXPECT_FALSE(frm->DownFileLbl->isHidden());
    ASSERT_TRUE(QTest::qWaitFor([&] { return data.readRow(42)->fileState == 1; }, 30000));
    EXPECT_EQ(folder.readFile(QStringLiteral("Ring/answer.mp3")).toStdString(), body);
    EXPECT_TRUE(QTest::qWaitFor([&] { return frm->DownFileLbl->isHidden(); }, 10000));
    EXPECT_EQ(plays, 1); // nothing was playing: the current row now plays
    EXPECT_TRUE(QTest::qWaitFor([&] { return !context.transferEngine.TheTransmitManager(); }, 10000));

    // The close route stops and joins the engine before anything is freed.
    frm->FormClose();
    EXPECT_EQ(context.transferEngine.HttpThreadList.Count(), 0);
    wiring.reset();
    frm.reset();
}
