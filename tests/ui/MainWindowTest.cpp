#include "catalogue/CatalogueModel.h"
#include "catalogue/CatalogueRecordSet.h"
#include "catalogue/TxDataModule.h"
#include "client/ClientContext.h"
#include "client/MainFrm.h"
#include "client/RightBtmMsgDlgFrm.h"
#include "skin/CheckPictureButton.h"
#include "skin/ErrorBox.h"
#include "skin/PictureButton.h"
#include "skin/PictureColumnDelegate.h"
#include "skin/PictureToolBar.h"
#include "support/CatalogueBuilder.h"
#include "support/QtPrinters.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPainter>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>
#include <memory>

using namespace tunelix;
using namespace tunelix::catalogue;
using tunelix::client::TmainFrm;

namespace {

// The main window over a small catalogue, with playback and downloads stood in by
// recorders. The stand-in PlayCurrentFile keeps the contract the window relies on:
// it sets PlayingNow; a missing file checks the auto-download button (if unchecked)
// and then runs StopPlaying, which clears PlayingNow.
class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previousErrors = skin::setErrorHandler([this](QWidget *, const QString &m) { errors << m; });
        std::vector<CatalogueRow> rows;
        const char *names[] = { "Sunrise.mp3", "Don't Stop.mp3", "[Tunelix]Sunset.mp3", "Rain.mp3", "100%_mix.mp3" };
        for (int i = 0; i < 5; ++i) {
            CatalogueRow row = test::sampleRow(10 + i, QString::fromUtf8(names[i]));
            row.isNew = (i % 2 == 0) ? 1 : 0;
            rows.push_back(row);
        }
        test::writeCatalogue(folder.folder().catalogueDatabase(), rows);
        makeWindow();
    }

    void TearDown() override
    {
        frm.reset();
        skin::setErrorHandler(m_previousErrors);
    }

    void makeWindow()
    {
        frm = std::make_unique<TmainFrm>(context, data);
        frm->quitApplication = [this] { ++quits; };
        frm->startProgram = [this](const QString &p) { started << p; };
        frm->openUrl = [this](const QUrl &u) { opened << u; };
        auto &h = frm->hooks;
        h.PlayCurrentFile = [this] {
            log << QStringLiteral("PlayCurrentFile");
            context.PlayingNow = true;
            const ViewRow *row = data.qry1()->current();
            if (row && QFileInfo::exists(context.RingFolder + row->fileName))
                return; // plays
            if (!frm->seBtnAutoDownload->isChecked())
                frm->seBtnAutoDownload->setChecked(true);
            frm->StopPlaying();
        };
        h.StopPlaying = [this] {
            log << QStringLiteral("StopPlaying");
            context.PlayingNow = false;
        };
        h.releaseTransmitManager = [this] { log << QStringLiteral("releaseTransmitManager"); };
        h.StartNextDownload = [this](const QString &id) { log << QStringLiteral("StartNextDownload ") + id; };
        h.showSongInfo = [this] { log << QStringLiteral("showSongInfo"); };
        frm->FormCreate();
    }

    void putInRing(const QString &fileName) { folder.writeFile(QStringLiteral("Ring/") + fileName, "mp3"); }

    std::vector<qint32> visibleIds()
    {
        std::vector<qint32> ids;
        for (int i = 0; i < data.qry1()->recordCount(); ++i)
            ids.push_back(data.qry1()->rowAt(i).fileId);
        return ids;
    }

    void search(const QString &text)
    {
        frm->EdtFind->setText(text);
        frm->FindFileExecute(frm->sePngXButton1);
    }

    int count(const QString &entry) const { return static_cast<int>(log.count(entry)); }

    test::TempProgramFolder folder;
    client::ClientContext context { folder.folder() };
    TTxDataModule data { folder.folder().catalogueDatabase() };
    std::unique_ptr<TmainFrm> frm;
    QStringList log;
    QStringList errors;
    QStringList started;
    QList<QUrl> opened;
    int quits = 0;

private:
    skin::ErrorHandler m_previousErrors;
};

TEST_F(MainWindow, SetUpMakesTheRingFolderAndOpensTheViewNewestFirst)
{
    EXPECT_EQ(context.RingFolder, folder.folder().ringFolder());
    EXPECT_TRUE(QFileInfo(context.RingFolder).isDir());
    EXPECT_FALSE(context.PlayingNow);
    EXPECT_FALSE(context.AutoDownloadOn);
    EXPECT_EQ(visibleIds(), (std::vector<qint32> { 14, 13, 12, 11, 10 }));
    EXPECT_EQ(frm->seToolBarEx1->selectedIndex(), 0);
    EXPECT_FALSE(frm->seBtnAutoDownload->isChecked());
}

TEST_F(MainWindow, AFailedPlayerRegistrationEndsTheSetUp)
{
    data.qry1()->close();
    frm->hooks.createPlayer = [] { return false; };
    bool engineCreated = false;
    frm->hooks.createTransferEngine = [&] { engineCreated = true; };
    frm->FormCreate();
    EXPECT_FALSE(data.qry1()->isOpen());
    EXPECT_FALSE(engineCreated);
}

// ---- toolbar -----------------------------------------------------------------------

struct ItemCase
{
    int from;
    int to;
    int playOrFetchRuns;
};

class ToolbarItem : public MainWindow, public ::testing::WithParamInterface<ItemCase>
{
};

TEST_P(ToolbarItem, PlayOrFetchRunsOnceWhenSelectedAndTwiceFromAnotherItem)
{
    frm->seToolBarEx1->setSelectedIndex(GetParam().from);
    frm->seToolBarEx1->selectItem(GetParam().to);
    EXPECT_EQ(count(QStringLiteral("showSongInfo")), GetParam().playOrFetchRuns);
    EXPECT_EQ(count(QStringLiteral("PlayCurrentFile")), GetParam().playOrFetchRuns);
    EXPECT_FALSE(frm->isEnabled()); // until the song window closes
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToolbarItem, ::testing::Values(ItemCase { 1, 1, 1 }, ItemCase { 0, 1, 2 }, ItemCase { 3, 1, 2 }));

struct StopCase
{
    bool filePresent;
    bool autoDownloadAfter;
};

class ToolbarStop : public MainWindow, public ::testing::WithParamInterface<StopCase>
{
};

TEST_P(ToolbarStop, UnchecksAutoDownloadUnlessTheMissingFileChecksItAgain)
{
    frm->seBtnAutoDownload->setChecked(true);
    ASSERT_TRUE(context.AutoDownloadOn);
    ASSERT_FALSE(context.PlayingNow);
    if (GetParam().filePresent)
        putInRing(QStringLiteral("100%_mix.mp3")); // the current row, FileID 14
    log.clear();

    frm->seToolBarEx1->setSelectedIndex(3);
    frm->seToolBarEx1->selectItem(0);

    EXPECT_EQ(frm->seBtnAutoDownload->isChecked(), GetParam().autoDownloadAfter);
    EXPECT_EQ(context.AutoDownloadOn.load(), GetParam().autoDownloadAfter);
    EXPECT_EQ(frm->NextFileTimer->isActive(), GetParam().autoDownloadAfter);
    EXPECT_FALSE(context.PlayingNow);
    // The toggle ran PlayCurrentFile first because nothing played.
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.first(), QStringLiteral("PlayCurrentFile"));
    // Stop from another item stops twice (item handler, then the change), at least.
    EXPECT_GE(count(QStringLiteral("StopPlaying")), 2);
}

INSTANTIATE_TEST_SUITE_P(Table, ToolbarStop, ::testing::Values(StopCase { true, false }, StopCase { false, true }));

TEST_F(MainWindow, AutoDownloadToggleFollowsTheButtonWhilePlaying)
{
    context.PlayingNow = true;
    frm->seBtnAutoDownload->setChecked(true);
    EXPECT_TRUE(context.AutoDownloadOn);
    EXPECT_TRUE(frm->NextFileTimer->isActive());
    frm->seBtnAutoDownload->setChecked(false);
    EXPECT_FALSE(context.AutoDownloadOn);
    EXPECT_FALSE(frm->NextFileTimer->isActive());
    EXPECT_EQ(count(QStringLiteral("PlayCurrentFile")), 0);
}

// ---- play or fetch -------------------------------------------------------------------

TEST_F(MainWindow, DoubleClickOnAMissingFileReplacesTheDownloadFromThatRow)
{
    data.qry1()->setCurrentIndex(2); // FileID 12
    frm->wwDBGrid1DblClick(frm->wwDBGrid1);
    // The nested toggle finds PlayingNow set and does not play again.
    EXPECT_EQ(log,
        (QStringList { QStringLiteral("PlayCurrentFile"), QStringLiteral("StopPlaying"),
            QStringLiteral("releaseTransmitManager"), QStringLiteral("StartNextDownload 12"),
            QStringLiteral("showSongInfo") }));
    EXPECT_TRUE(frm->seBtnAutoDownload->isChecked());
    EXPECT_TRUE(context.AutoDownloadOn);
    EXPECT_FALSE(frm->isEnabled());
}

TEST_F(MainWindow, DoubleClickOnAPresentFilePlaysAndLeavesTheDownloadAlone)
{
    putInRing(QStringLiteral("[Tunelix]Sunset.mp3"));
    data.qry1()->setCurrentIndex(2);
    frm->wwDBGrid1DblClick(frm->wwDBGrid3);
    EXPECT_EQ(log, (QStringList { QStringLiteral("PlayCurrentFile"), QStringLiteral("showSongInfo") }));
    EXPECT_TRUE(context.PlayingNow);
    EXPECT_FALSE(frm->seBtnAutoDownload->isChecked());
    EXPECT_FALSE(frm->isEnabled());
}

TEST_F(MainWindow, WithoutASongWindowPlayOrFetchLeavesTheWindowEnabled)
{
    frm->hooks.showSongInfo = nullptr;
    frm->wwDBGrid1DblClick(frm->wwDBGrid1);
    EXPECT_TRUE(frm->isEnabled());
}

TEST_F(MainWindow, PlayOrFetchOnAnEmptyViewStartsNoDownloadButShowsTheSongWindow)
{
    search(QStringLiteral("no such ringtone"));
    ASSERT_EQ(data.qry1()->recordCount(), 0);
    frm->wwDBGrid1DblClick(frm->wwDBGrid1);
    EXPECT_EQ(count(QStringLiteral("StartNextDownload 14")), 0);
    EXPECT_TRUE(log.filter(QStringLiteral("StartNextDownload")).isEmpty());
    EXPECT_EQ(count(QStringLiteral("showSongInfo")), 1);
    EXPECT_TRUE(context.AutoDownloadOn);
    EXPECT_FALSE(frm->isEnabled());
}

// ---- views and search ------------------------------------------------------------------

TEST_F(MainWindow, ViewChangesKeepTheSearchFilter)
{
    search(QStringLiteral("sun"));
    EXPECT_EQ(visibleIds(), (std::vector<qint32> { 12, 10 }));
    frm->seToolBarEx1->selectItem(2); // newest book: 14, 12, 10
    EXPECT_TRUE(data.qry1()->isFiltered());
    EXPECT_EQ(visibleIds(), (std::vector<qint32> { 12, 10 }));
    EXPECT_EQ(data.qry1()->commandText(), TTxDataModule::newRowsStatement());
    frm->seToolBarEx1->selectItem(3);
    EXPECT_EQ(data.qry1()->commandText(), TTxDataModule::allRowsStatement());
    EXPECT_EQ(visibleIds(), (std::vector<qint32> { 12, 10 }));
    search(QStringLiteral("  "));
    EXPECT_EQ(visibleIds(), (std::vector<qint32> { 14, 13, 12, 11, 10 }));
}

TEST_F(MainWindow, SelectingStopOrPlayLeavesTheViewStatementAlone)
{
    frm->seToolBarEx1->selectItem(2);
    frm->seToolBarEx1->selectItem(0);
    EXPECT_EQ(data.qry1()->commandText(), TTxDataModule::newRowsStatement());
    frm->seToolBarEx1->selectItem(1);
    EXPECT_EQ(data.qry1()->commandText(), TTxDataModule::newRowsStatement());
}

TEST_F(MainWindow, ASearchForBlanksSwitchesTheFilterOffAndKeepsItsText)
{
    search(QStringLiteral("rain"));
    ASSERT_TRUE(data.qry1()->isFiltered());
    search(QStringLiteral(" \t "));
    EXPECT_FALSE(data.qry1()->isFiltered());
    EXPECT_EQ(data.qry1()->filterText(), QStringLiteral("rain"));
    EXPECT_EQ(data.qry1()->recordCount(), 5);
}

struct SearchCase
{
    const char *text;
    std::vector<qint32> ids;
};

class Search : public MainWindow, public ::testing::WithParamInterface<SearchCase>
{
};

TEST_P(Search, FindsWhatTheTextSays)
{
    search(QString::fromUtf8(GetParam().text));
    EXPECT_EQ(visibleIds(), GetParam().ids);
    EXPECT_TRUE(errors.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Table, Search,
    ::testing::Values(SearchCase { "  Don't  ", { 11 } }, SearchCase { "%", { 14 } }, SearchCase { "_", { 14 } },
        SearchCase { "mp3", { 14, 13, 12, 11, 10 } }, // the stored name, not the shown one
        SearchCase { "[tunelix]", { 12 } }, SearchCase { "zzz", {} }));

TEST_F(MainWindow, EnterInTheSearchEditDoesNotSearch)
{
    frm->EdtFind->setText(QStringLiteral("rain"));
    emit frm->EdtFind->returnPressed();
    EXPECT_FALSE(data.qry1()->isFiltered());
}

// ---- refresh and the current row ---------------------------------------------------------

TEST_F(MainWindow, RefreshKeepsTheOrdinalRowAndTheFilter)
{
    data.qry1()->setCurrentIndex(3); // FileID 11
    // Two rows arrive above: the fourth row is now another one.
    test::writeCatalogue(folder.folder().catalogueDatabase(),
        { test::sampleRow(20, QStringLiteral("New A.mp3")), test::sampleRow(21, QStringLiteral("New B.mp3")) });
    frm->RefreshCatalogue();
    EXPECT_EQ(data.qry1()->recNo(), 4);
    EXPECT_EQ(data.qry1()->current()->fileId, 13);
    EXPECT_EQ(frm->gridSelection()->currentIndex().row(), 3);
    EXPECT_TRUE(frm->wwDBGrid1->updatesEnabled());

    search(QStringLiteral("new"));
    frm->RefreshCatalogue();
    EXPECT_EQ(visibleIds(), (std::vector<qint32> { 21, 20 }));
}

TEST_F(MainWindow, GridsAndViewShareOneCurrentRow)
{
    EXPECT_EQ(frm->wwDBGrid2->selectionModel(), frm->wwDBGrid1->selectionModel());
    EXPECT_EQ(frm->wwDBGrid3->selectionModel(), frm->wwDBGrid1->selectionModel());

    frm->gridSelection()->setCurrentIndex(frm->gridModel()->index(2, CatalogueModel::IsNewColumn),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(data.qry1()->currentIndex(), 2);

    data.qry1()->setCurrentIndex(4);
    EXPECT_EQ(frm->gridSelection()->currentIndex().row(), 4);
    EXPECT_TRUE(frm->gridSelection()->isRowSelected(4, {}));

    frm->seToolBarEx1->selectItem(2); // reopened: the first row is current again
    EXPECT_EQ(frm->gridSelection()->currentIndex().row(), 0);
}

// ---- marker pictures ----------------------------------------------------------------------

class MarkerPictures : public MainWindow
{
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        auto marked = [](qint32 id, NullableInt star, NullableInt state, NullableInt isNew) {
            CatalogueRow row = test::sampleRow(id, QStringLiteral("m%1.mp3").arg(id));
            row.starLv = star;
            row.fileState = state;
            row.isNew = isNew;
            return row;
        };
        // 103 and 102: nothing drawable; 101: the last picture of each list.
        test::writeCatalogue(folder.folder().catalogueDatabase(),
            { marked(101, 4, 1, 1), marked(102, 5, 2, 2), marked(103, std::nullopt, std::nullopt, std::nullopt),
                marked(104, -1, -1, -1) });
        frm->RefreshCatalogue();
    }

    // Paints one cell over the list colour; true when anything was drawn.
    bool drawsSomething(int row, int column)
    {
        const QModelIndex index = frm->gridModel()->index(row, column);
        QImage image(60, 18, QImage::Format_ARGB32);
        const QColor background(222, 235, 250);
        image.fill(background);
        QPainter p(&image);
        QStyleOptionViewItem option;
        option.rect = image.rect();
        option.font = frm->wwDBGrid1->font();
        option.fontMetrics = QFontMetrics(option.font);
        frm->gridDelegate()->paint(&p, option, index);
        p.end();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != background)
                    return true;
        return false;
    }
};

TEST_F(MarkerPictures, NullNegativeOrBeyondTheListDrawsNoPicture)
{
    // Rows newest first: 104, 103, 102, 101, then the fixture's five.
    ASSERT_EQ(data.qry1()->rowAt(3).fileId, 101);
    for (int column : { CatalogueModel::StarLvColumn, CatalogueModel::FileStateColumn, CatalogueModel::IsNewColumn }) {
        SCOPED_TRACE(column);
        EXPECT_FALSE(drawsSomething(0, column)); // -1
        EXPECT_FALSE(drawsSomething(1, column)); // null
        EXPECT_FALSE(drawsSomething(2, column)); // beyond the list
        EXPECT_TRUE(drawsSomething(3, column)); // the list's last picture
        EXPECT_FALSE(frm->gridDelegate()->pictureFor(frm->gridModel()->index(3, column)).isNull());
    }
}

// ---- close, folder, tray -----------------------------------------------------------------

TEST_F(MainWindow, CloseCommandStartsTheUpdaterOncePerDayAndEnds)
{
    frm->today = [] { return QDate(2026, 12, 11); };
    frm->CloseActExecute();
    EXPECT_EQ(started, QStringList { folder.folder().updaterExecutable() });
    EXPECT_EQ(quits, 1);
    frm->CloseActExecute();
    EXPECT_EQ(started.size(), 1);
    EXPECT_EQ(quits, 2);
}

TEST_F(MainWindow, CloseCommandKeepsTheWindowOpenWhenTheSettingsCannotBeWritten)
{
    QDir().mkpath(folder.folder().settingsFile()); // a folder where the file should be
    frm->CloseActExecute();
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(MainWindow, OpenFolderOpensTheRingFolder)
{
    frm->OpenFolderExecute(frm->seBtnOpenFolder);
    EXPECT_EQ(opened, QList<QUrl> { QUrl::fromLocalFile(folder.folder().ringFolder()) });
}

TEST_F(MainWindow, TrayClickWhileMinimisedOpensAndClosesTheStatusPopup)
{
    client::TRightBtmMsgDlgFrm popup(folder.folder());
    frm->setStatusPopup(&popup);
    // Shown and not minimised: a click opens nothing.
    frm->show();
    frm->CoolTrayIcon1Click(frm->CoolTrayIcon1);
    EXPECT_FALSE(popup.isVisible());

    frm->hide(); // in the tray
    frm->CoolTrayIcon1Click(frm->CoolTrayIcon1);
    EXPECT_TRUE(popup.isVisible());
    frm->CoolTrayIcon1Click(frm->CoolTrayIcon1);
    EXPECT_FALSE(popup.isVisible());

    frm->CoolTrayIcon1Click(frm->CoolTrayIcon1);
    frm->ShowFrmExecute(frm->N1);
    EXPECT_FALSE(popup.isVisible());
    EXPECT_TRUE(frm->isVisible());
    EXPECT_FALSE(frm->isMinimized());
}

TEST_F(MainWindow, TrayHintCarriesThePlayAndDownloadStatus)
{
    client::TRightBtmMsgDlgFrm popup(folder.folder());
    frm->setStatusPopup(&popup);
    popup.setPlayFileName(QStringLiteral("Sunrise"));
    popup.setDownloadFileName(QString());
    const QString hint = frm->CoolTrayIcon1->toolTip();
    EXPECT_TRUE(hint.contains(QStringLiteral("播放：Sunrise"))) << hint.toStdString();
    EXPECT_TRUE(hint.contains(QStringLiteral("下载：停止"))) << hint.toStdString();
}

TEST_F(MainWindow, TeardownStopsTransfersAutoDownloadAndTheTimerOnce)
{
    frm->seBtnAutoDownload->setChecked(true);
    int stops = 0;
    frm->hooks.StopTransfer = [&] { ++stops; };
    frm->hooks.stopTransferEngine = [] { throw std::runtime_error("already gone"); };
    bool playerFreed = false;
    frm->hooks.freePlayer = [&] { playerFreed = true; };
    frm->close();
    frm->FormClose();
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(context.AutoDownloadOn);
    EXPECT_FALSE(frm->NextFileTimer->isActive());
    EXPECT_TRUE(playerFreed);
    EXPECT_EQ(quits, 1);
}

} // namespace

// A catalogue that cannot be opened: the window still comes up, the error is shown once,
// and the file is left exactly as it was.
struct BadCatalogueCase
{
    const char *name;
    std::function<void(test::TempProgramFolder &)> arrange;
};

class BadCatalogue : public ::testing::TestWithParam<BadCatalogueCase>
{};

TEST_P(BadCatalogue, WindowOpensWithOneErrorAndTheFileUntouched)
{
    test::TempProgramFolder folder;
    GetParam().arrange(folder);
    const bool existed = QFileInfo::exists(folder.folder().catalogueDatabase());
    const QByteArray before = folder.readFile(QStringLiteral("local.mdb"));

    QStringList errors;
    const skin::ErrorHandler previous = skin::setErrorHandler([&](QWidget *, const QString &m) { errors << m; });
    {
        client::ClientContext context { folder.folder() };
        TTxDataModule data { folder.folder().catalogueDatabase() };
        TmainFrm frm(context, data);
        frm.show();
        skin::runHandler(&frm, [&] { frm.FormCreate(); });
        EXPECT_TRUE(frm.isVisible());
        EXPECT_EQ(data.qry1()->recordCount(), 0);
        frm.FormClose(); // the teardown copes with the set-up that stopped early
    }
    skin::setErrorHandler(previous);

    EXPECT_EQ(errors.size(), 1) << errors.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(QFileInfo::exists(folder.folder().catalogueDatabase()), existed);
    EXPECT_EQ(folder.readFile(QStringLiteral("local.mdb")), before);
}

INSTANTIATE_TEST_SUITE_P(Table, BadCatalogue,
    ::testing::Values(BadCatalogueCase { "Missing", [](test::TempProgramFolder &) {} },
        BadCatalogueCase { "NotADatabase",
            [](test::TempProgramFolder &f) { f.writeFile(QStringLiteral("local.mdb"), QByteArray("garbage\n").repeated(512)); } },
        BadCatalogueCase { "TableWithoutTheColumns",
            [](test::TempProgramFolder &f) {
                test::writeCatalogue(f.folder().catalogueDatabase(), {});
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("spoil"));
                db.setDatabaseName(f.folder().catalogueDatabase());
                db.open();
                QSqlQuery(db).exec(QStringLiteral("drop table RngFileInfo"));
                QSqlQuery(db).exec(QStringLiteral("create table RngFileInfo (FileID integer)"));
                db.close();
                db = QSqlDatabase();
                QSqlDatabase::removeDatabase(QStringLiteral("spoil"));
            } }),
    [](const auto &info) { return std::string(info.param.name); });
