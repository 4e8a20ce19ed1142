#include "catalogue/CatalogueDatabase.h"
#include "catalogue/CatalogueError.h"
#include "catalogue/CatalogueModel.h"
#include "catalogue/TxDataModule.h"
#include "support/CatalogueBuilder.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace tunelix;
using namespace tunelix::catalogue;

namespace {

class CatalogueView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::vector<CatalogueRow> rows;
        const char *names[] = {"[Tunelix]Sunrise.mp3", "Don't Stop.mp3", "100%_mix.mp3", "夜曲.mp3",
                               "Sunset.MP3", "Rain.mp3"};
        for (int i = 0; i < 6; ++i) {
            CatalogueRow row = test::sampleRow(10 + i, QString::fromUtf8(names[i]));
            row.isNew = (i % 2 == 0) ? 1 : -1;
            row.md5Code = i < 2 ? QStringLiteral("aaaa") : QStringLiteral("row%1").arg(i);
            rows.push_back(row);
        }
        test::writeCatalogue(folder.folder().catalogueDatabase(), rows);
    }

    std::vector<qint32> visibleIds(CatalogueRecordSet *view)
    {
        std::vector<qint32> ids;
        for (int i = 0; i < view->recordCount(); ++i)
            ids.push_back(view->rowAt(i).fileId);
        return ids;
    }

    test::TempProgramFolder folder;
};

TEST_F(CatalogueView, OpensAllRowsSortedByFileIdDescending)
{
    TTxDataModule data(folder.folder().catalogueDatabase());
    data.openView(TTxDataModule::allRowsStatement());
    EXPECT_EQ(visibleIds(data.qry1()), (std::vector<qint32>{15, 14, 13, 12, 11, 10}));
    EXPECT_EQ(data.qry1()->recNo(), 1);
}

TEST_F(CatalogueView, NewRowsViewShowsOnlyTheNewestBook)
{
    TTxDataModule data(folder.folder().catalogueDatabase());
    data.openView(TTxDataModule::newRowsStatement());
    EXPECT_EQ(visibleIds(data.qry1()), (std::vector<qint32>{14, 12, 10}));
}

struct FilterCase { const char *text; std::vector<qint32> ids; };

class CatalogueFilter : public CatalogueView, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(CatalogueFilter, MatchesAnywhereIgnoringCaseAndTakesWildcardsLiterally)
{
    TTxDataModule data(folder.folder().catalogueDatabase());
    data.openView(TTxDataModule::allRowsStatement());
    data.qry1()->setFilterText(QString::fromUtf8(GetParam().text));
    data.qry1()->setFiltered(true);
    EXPECT_EQ(visibleIds(data.qry1()), GetParam().ids);
}

INSTANTIATE_TEST_SUITE_P(Table, CatalogueFilter, ::testing::Values(
    FilterCase{"sun", {14, 10}},
    FilterCase{"mp3", {15, 14, 13, 12, 11, 10}},
    FilterCase{"'", {11}},
    FilterCase{"%", {12}},
    FilterCase{"_", {12}},
    FilterCase{"夜", {13}},
    FilterCase{"nothing", {}}));

TEST_F(CatalogueView, FilterSurvivesViewChangesAndCanBeSwitchedOff)
{
    TTxDataModule data(folder.folder().catalogueDatabase());
    data.openView(TTxDataModule::allRowsStatement());
    data.qry1()->setFilterText(QStringLiteral("sun"));
    data.qry1()->setFiltered(true);
    data.openView(TTxDataModule::newRowsStatement());
    EXPECT_EQ(visibleIds(data.qry1()), (std::vector<qint32>{14, 10}));
    data.qry1()->setFiltered(false);
    EXPECT_EQ(visibleIds(data.qry1()), (std::vector<qint32>{14, 12, 10}));
}

TEST_F(CatalogueView, RefreshKeepsTheOrdinalPositionNotTheRow)
{
    TTxDataModule data(folder.folder().catalogueDatabase());
    data.openView(TTxDataModule::allRowsStatement());
    data.qry1()->setRecNo(3);
    ASSERT_EQ(data.qry1()->current()->fileId, 13);
    test::writeCatalogue(folder.folder().catalogueDatabase(), {test::sampleRow(99, QStringLiteral("new.mp3"))});
    data.refreshKeepingPosition();
    EXPECT_EQ(data.qry1()->recNo(), 3);
    EXPECT_EQ(data.qry1()->current()->fileId, 14);
}

TEST_F(CatalogueView, NextFileLookUpTakesTwoRowsAtOrBelowThenFilters)
{
    TTxDataModule data(folder.folder().catalogueDatabase());
    data.openView(TTxDataModule::allRowsStatement());
    auto rows = data.rowsAtOrBelow(13, 2);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].fileId, 13);
    EXPECT_EQ(rows[1].fileId, 12);

    // The filter applies to the two rows read, as the old cursor's filter did.
    data.qry1()->setFilterText(QStringLiteral("sun"));
    data.qry1()->setFiltered(true);
    rows = data.rowsAtOrBelow(14, 2);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fileId, 14);
}

TEST_F(CatalogueView, CompletionMarksEveryRowWithTheChecksum)
{
    TTxDataModule data(folder.folder().catalogueDatabase());
    EXPECT_EQ(data.markDownloaded(QStringLiteral("aaaa")), 2);
    EXPECT_EQ(data.readRow(10)->fileState, 1);
    EXPECT_EQ(data.readRow(11)->fileState, 1);
    EXPECT_EQ(data.readRow(12)->fileState, 0);
    EXPECT_EQ(data.markDownloaded(QStringLiteral("' or 1=1 --")), 0);
}

TEST_F(CatalogueView, ModelGivesDisplayTextsAndPictureNumbers)
{
    TTxDataModule data(folder.folder().catalogueDatabase());
    data.openView(TTxDataModule::allRowsStatement());
    CatalogueModel model(data.qry1());
    ASSERT_EQ(model.rowCount(), 6);
    EXPECT_EQ(model.index(5, CatalogueModel::FileNameColumn).data().toString(), QStringLiteral("Sunrise"));
    EXPECT_EQ(model.index(5, CatalogueModel::SongLengthColumn).data().toString(), QStringLiteral("00:30"));
    EXPECT_EQ(model.index(5, CatalogueModel::IsNewColumn).data(CatalogueModel::PictureRole).toInt(), 1);
    EXPECT_FALSE(model.index(4, CatalogueModel::IsNewColumn).data(CatalogueModel::PictureRole).isValid());
}

TEST(CatalogueOpen, MissingFileIsAnErrorAndCreatesNothing)
{
    test::TempProgramFolder folder;
    TTxDataModule data(folder.folder().catalogueDatabase());
    EXPECT_THROW(data.openView(TTxDataModule::allRowsStatement()), CatalogueError);
    EXPECT_FALSE(QFile::exists(folder.folder().catalogueDatabase()));
}

TEST(CatalogueOpen, NotADatabaseIsAnErrorAndLeavesTheFileAlone)
{
    test::TempProgramFolder folder;
    const QByteArray garbage = QByteArray("this is not a database, just text\n").repeated(200);
    folder.writeFile(QStringLiteral("local.mdb"), garbage);
    TTxDataModule data(folder.folder().catalogueDatabase());
    EXPECT_THROW(data.openView(TTxDataModule::allRowsStatement()), CatalogueError);
    EXPECT_EQ(folder.readFile(QStringLiteral("local.mdb")), garbage);
}

TEST(CatalogueOpen, MissingColumnIsAnError)
{
    test::TempProgramFolder folder;
    {
        const QString name = QStringLiteral("fixture");
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(folder.folder().catalogueDatabase());
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("create table RngFileInfo (FileID integer, FileName text)"));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    TTxDataModule data(folder.folder().catalogueDatabase());
    try {
        data.openView(TTxDataModule::allRowsStatement());
        FAIL() << "opened a catalogue without its columns";
    } catch (const CatalogueError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("SongLength")));
    }
}

} // namespace
