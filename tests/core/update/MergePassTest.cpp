#include "catalogue/CatalogueDatabase.h"
#include "catalogue/CatalogueError.h"
#include "rowset/RowsetWriter.h"
#include "support/CatalogueBuilder.h"
#include "support/TempProgramFolder.h"
#include "support/UpdateFixtures.h"
#include "update/MergePass.h"
#include "update/Publish.h"

#include <QFile>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>
#include <thread>

using namespace tunelix;
using catalogue::CatalogueRow;
using update::ManifestEntry;

namespace {

const QString T1 = QStringLiteral("2024-05-01T10:00:00");
const QString T0 = QStringLiteral("2024-04-30T09:59:59");

CatalogueRow row(qint32 id, const QString &name, int book, int isNew, const QString &when)
{
    CatalogueRow r = test::sampleRow(id, name);
    r.bookId = book;
    r.isNew = isNew;
    r.lastDateTime = when;
    r.webLinks[0] = QStringLiteral("link-%1").arg(id);
    return r;
}

CatalogueRow daily(qint32 id, const QString &name, const QString &when)
{
    CatalogueRow r = test::sampleRow(id, name);
    r.lastDateTime = when;
    r.webLinks[0] = QStringLiteral("new-link-%1").arg(id);
    r.webLinks[5] = QStringLiteral("mirror-%1").arg(id);
    r.md5Code = QStringLiteral("ffffffffffffffffffffffffffffffff");
    r.songLength = 61;
    r.fileSize = 4321;
    r.starLv = 3;
    r.fileType = 9;
    return r;
}

// A daily file the manifest lists; written at saveDir + "/" + fileName.
struct DailyFile
{
    QString fileName;
    std::vector<CatalogueRow> rows;
    QString link = QStringLiteral("http://127.0.0.1:9/unused"); // never fetched here
    QString saveDir = QStringLiteral("daily");
};

// What one catalogue row must look like afterwards; nullopt fields are not checked.
struct Expect
{
    qint32 fileId;
    bool present = true;
    std::optional<QString> fileName = std::nullopt;
    std::optional<int> bookId = std::nullopt;
    std::optional<int> isNew = std::nullopt;
    std::optional<QString> lastDateTime = std::nullopt;
};

struct MergeCase
{
    const char *name;
    std::vector<CatalogueRow> catalogue;
    std::vector<DailyFile> dailies;
    std::vector<Expect> expect;
    qint64 appended, overwritten, kept;
    int highestAfter;
};

std::vector<MergeCase> mergeCases()
{
    const QString Q = QStringLiteral("Don't Stop \"Live\".mp3");
    const QString CN = QStringLiteral("[Tunelix]月亮代表我的心.mp3");
    return {
        {"new_file_id_is_appended_with_its_book_and_flagged",
         {row(1, QStringLiteral("a.mp3"), 5, 0, T1)},
         {{QStringLiteral("5.daily"), {daily(2, QStringLiteral("b.mp3"), T1)}}},
         {{2, true, QStringLiteral("b.mp3"), 5, 1, T1}, {1, true, QStringLiteral("a.mp3"), 5, 1, T1}},
         1, 0, 0, 5},
        {"equal_time_leaves_the_row_alone_whatever_else_differs",
         {row(1, QStringLiteral("a.mp3"), 5, 0, T1)},
         {{QStringLiteral("5.daily"), {daily(1, QStringLiteral("changed.mp3"), T1)}}},
         {{1, true, QStringLiteral("a.mp3"), 5, 1, T1}},
         0, 0, 1, 5},
        {"earlier_time_overwrites",
         {row(1, QStringLiteral("a.mp3"), 5, 0, T1)},
         {{QStringLiteral("5.daily"), {daily(1, QStringLiteral("changed.mp3"), T0)}}},
         {{1, true, QStringLiteral("changed.mp3"), 5, 1, T0}},
         0, 1, 0, 5},
        {"empty_daily_time_always_overwrites",
         {row(1, QStringLiteral("a.mp3"), 5, 0, T1)},
         {{QStringLiteral("5.daily"), {daily(1, QStringLiteral("changed.mp3"), QString())}}},
         {{1, true, QStringLiteral("changed.mp3"), 5, 1, QString()}},
         0, 1, 0, 5},
        {"empty_catalogue_time_differs_from_any_daily_time",
         {row(1, QStringLiteral("a.mp3"), 5, 0, QString())},
         {{QStringLiteral("5.daily"), {daily(1, QStringLiteral("changed.mp3"), T1)}}},
         {{1, true, QStringLiteral("changed.mp3"), 5, 1, T1}},
         0, 1, 0, 5},
        {"book_below_the_bound_is_ignored",
         {row(1, QStringLiteral("a.mp3"), 5, 0, T1)},
         {{QStringLiteral("4.daily"), {daily(2, QStringLiteral("b.mp3"), T1), daily(1, QStringLiteral("x"), T0)}}},
         {{2, false}, {1, true, QStringLiteral("a.mp3"), 5, 1, T1}},
         0, 0, 0, 5},
        {"two_new_books_both_merged_only_the_higher_flagged",
         {row(1, QStringLiteral("a.mp3"), 5, 1, T1)},
         {{QStringLiteral("7.daily"), {daily(3, QStringLiteral("c.mp3"), T1)}},
          {QStringLiteral("6.daily"), {daily(2, QStringLiteral("b.mp3"), T1)}}},
         {{1, true, std::nullopt, 5, -1}, {2, true, QStringLiteral("b.mp3"), 6, 0}, {3, true, QStringLiteral("c.mp3"), 7, 1}},
         2, 0, 0, 7},
        {"manifest_without_daily_files_still_recomputes_the_flags",
         {row(1, QStringLiteral("a.mp3"), 5, 1, T1), row(2, QStringLiteral("b.mp3"), 6, 0, T1),
          row(3, QStringLiteral("c.mp3"), 4, 1, T1), row(4, QStringLiteral("d.mp3"), 4, -1, T1)},
         {},
         {{1, true, std::nullopt, 5, -1}, {2, true, std::nullopt, 6, 1}, {3, true, std::nullopt, 4, -1},
          {4, true, std::nullopt, 4, -1}},
         0, 0, 0, 6},
        {"empty_catalogue_and_no_daily_file_changes_nothing", {}, {}, {}, 0, 0, 0, 0},
        {"empty_catalogue_takes_every_book",
         {},
         {{QStringLiteral("1.daily"), {daily(10, QStringLiteral("x.mp3"), T1)}}},
         {{10, true, QStringLiteral("x.mp3"), 1, 1, T1}},
         1, 0, 0, 1},
        {"daily_file_without_rows_merges_nothing",
         {row(1, QStringLiteral("a.mp3"), 5, 0, T1)},
         {{QStringLiteral("5.daily"), {}}},
         {{1, true, QStringLiteral("a.mp3"), 5, 1, T1}},
         0, 0, 0, 5},
        {"daily_file_without_address_is_merged_from_disk",
         {row(1, QStringLiteral("a.mp3"), 5, 0, T1)},
         {{QStringLiteral("6.daily"), {daily(2, QStringLiteral("b.mp3"), T1)}, QString()}},
         {{2, true, QStringLiteral("b.mp3"), 6, 1, T1}},
         1, 0, 0, 6},
        {"quotes_and_non_ascii_names_append_and_overwrite",
         {row(1, QStringLiteral("a.mp3"), 5, 0, T1)},
         {{QStringLiteral("5.daily"), {daily(1, Q, QString()), daily(2, CN, T1)}}},
         {{1, true, Q, 5, 1}, {2, true, CN, 5, 1}},
         1, 1, 0, 5},
        {"daily_name_leaving_the_program_folder_is_skipped",
         {row(1, QStringLiteral("a.mp3"), 5, 0, T1)},
         {{QStringLiteral("9.daily"), {daily(2, QStringLiteral("b.mp3"), T1)}, QString(), QStringLiteral("../outside")}},
         {{2, false}},
         0, 0, 0, 5},
        {"the_same_daily_file_twice_appends_once",
         {},
         {{QStringLiteral("3.daily"), {daily(2, QStringLiteral("b.mp3"), T1)}},
          {QStringLiteral("3.daily"), {daily(2, QStringLiteral("b.mp3"), T1)}}},
         {{2, true, QStringLiteral("b.mp3"), 3, 1}},
         1, 0, 1, 3},
    };
}

class MergeTable : public ::testing::TestWithParam<MergeCase>
{};

TEST_P(MergeTable, LeavesTheCatalogueAsExpected)
{
    const MergeCase &c = GetParam();
    test::TempProgramFolder folder;
    test::writeCatalogue(folder.folder().catalogueDatabase(), c.catalogue);
    std::vector<ManifestEntry> manifest;
    manifest.push_back({QStringLiteral("http://127.0.0.1:9/tunelix"), QStringLiteral("tunelix"), QString(),
                        QStringLiteral("0")});
    for (const DailyFile &d : c.dailies) {
        if (!d.saveDir.startsWith(QLatin1String("..")))
            test::writeDaily(folder, d.saveDir + QLatin1Char('/') + d.fileName, d.rows);
        else // a real file outside, which must still not be read
            test::writeDaily(folder, QStringLiteral("daily/") + d.fileName, d.rows);
        manifest.push_back({d.link, d.fileName, d.saveDir, QStringLiteral("0")});
    }

    const update::MergeStats stats = update::runMergePass(folder.folder(), manifest);
    EXPECT_EQ(stats.appended, c.appended);
    EXPECT_EQ(stats.overwritten, c.overwritten);
    EXPECT_EQ(stats.kept, c.kept);
    EXPECT_EQ(stats.highestBookAfter, c.highestAfter);

    const auto rows = test::readAllRows(folder.folder().catalogueDatabase());
    for (const Expect &e : c.expect) {
        const auto it = rows.find(e.fileId);
        ASSERT_EQ(it != rows.end(), e.present) << "FileID " << e.fileId;
        if (!e.present)
            continue;
        const CatalogueRow &r = it->second;
        if (e.fileName) {
            EXPECT_EQ(r.fileName.toStdString(), e.fileName->toStdString()) << e.fileId;
        }
        if (e.bookId) {
            EXPECT_EQ(r.bookId, e.bookId) << e.fileId;
        }
        if (e.isNew) {
            EXPECT_EQ(r.isNew, e.isNew) << e.fileId;
        }
        if (e.lastDateTime) {
            EXPECT_EQ(r.lastDateTime.toStdString(), e.lastDateTime->toStdString()) << e.fileId;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MergeTable, ::testing::ValuesIn(mergeCases()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(MergePass, AppendWritesEveryDailyColumnAndKeepsTheClientsColumns)
{
    test::TempProgramFolder folder;
    CatalogueRow existing = row(1, QStringLiteral("a.mp3"), 5, 0, T1);
    existing.fileState = 1;
    existing.fileType = 2;
    existing.authorName = QStringLiteral("someone");
    test::writeCatalogue(folder.folder().catalogueDatabase(), {existing});
    test::writeDaily(folder, QStringLiteral("daily/5.daily"),
                     {daily(1, QStringLiteral("b.mp3"), T0), daily(2, QStringLiteral("c.mp3"), T1)});
    update::runMergePass(folder.folder(), {{QString(), QStringLiteral("5.daily"), QStringLiteral("daily"), QString()}});

    const auto rows = test::readAllRows(folder.folder().catalogueDatabase());
    const CatalogueRow want = daily(1, QStringLiteral("b.mp3"), T0);
    const CatalogueRow &overwritten = rows.at(1);
    EXPECT_EQ(overwritten.webLinks, want.webLinks);
    EXPECT_EQ(overwritten.md5Code, want.md5Code);
    EXPECT_EQ(overwritten.songLength, 61);
    EXPECT_EQ(overwritten.fileSize, 4321);
    EXPECT_EQ(overwritten.starLv, 3);
    // The overwrite leaves BookID, FileType, FileState and the author alone.
    EXPECT_EQ(overwritten.bookId, 5);
    EXPECT_EQ(overwritten.fileType, 2);
    EXPECT_EQ(overwritten.fileState, 1);
    EXPECT_EQ(overwritten.authorName, QStringLiteral("someone"));

    const CatalogueRow &appended = rows.at(2);
    EXPECT_EQ(appended.fileType, 9);
    EXPECT_EQ(appended.webLinks[5], QStringLiteral("mirror-2"));
    EXPECT_EQ(appended.fileState, 0); // the table's defaults
    EXPECT_EQ(appended.authorName, QString());
}

// Errors end the pass. A bad row keeps the rows before it; a file that cannot be read
// to its end keeps nothing of itself, even when its first rows were already written.
struct FailureCase
{
    const char *name;
    int badRow;      // index of the row with a bad FileID; -1 for none
    bool cutShort;   // the file ends in the middle of the rows
    std::vector<qint32> staying; // daily FileIDs found afterwards
};

class MergeFailure : public ::testing::TestWithParam<FailureCase>
{};

TEST_P(MergeFailure, KeepsWhatRowByRowStatementsWouldHaveKept)
{
    const FailureCase &c = GetParam();
    test::TempProgramFolder folder;
    test::writeCatalogue(folder.folder().catalogueDatabase(), {row(1, QStringLiteral("a.mp3"), 5, 1, T1)});
    std::vector<CatalogueRow> rows;
    for (qint32 id = 2; id <= 400; ++id)
        rows.push_back(daily(id, QStringLiteral("r%1.mp3").arg(id), T1));
    rowset::Rowset rs = update::dailyRowset(rows);
    // FileID is a string column in this file, so that a row can carry a bad key.
    rs.columns[0] = rowset::makeColumn(QStringLiteral("FileID"));
    if (c.badRow >= 0)
        rs.rows[size_t(c.badRow)][0] = QStringLiteral("4 or 1=1");
    test::writeRowsetAt(folder, QStringLiteral("daily/6.daily"), rs);
    if (c.cutShort) {
        const QString path = folder.folder().file(QStringLiteral("daily/6.daily"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        file.close();
        bytes.truncate(bytes.indexOf("</rs:data>") - 40);
        folder.writeFile(QStringLiteral("daily/6.daily"), bytes);
    }

    update::CatalogueMerger merger(folder.folder().catalogueDatabase());
    EXPECT_ANY_THROW(merger.mergeManifest(folder.folder(),
                                          {{QString(), QStringLiteral("6.daily"), QStringLiteral("daily"), QString()}}));
    const auto after = test::readAllRows(folder.folder().catalogueDatabase());
    std::vector<qint32> staying;
    for (const auto &[id, r] : after) {
        if (id != 1)
            staying.push_back(id);
    }
    std::vector<qint32> want = c.staying;
    EXPECT_EQ(staying, want);
    EXPECT_EQ(after.at(1).isNew, 1); // the flags did not run
}

std::vector<qint32> ids(qint32 first, qint32 last)
{
    std::vector<qint32> v;
    for (qint32 id = first; id <= last; ++id)
        v.push_back(id);
    return v;
}

INSTANTIATE_TEST_SUITE_P(Cases, MergeFailure,
                         ::testing::Values(FailureCase{"bad_first_row", 0, false, {}},
                                           FailureCase{"bad_row_keeps_the_rows_before", 250, false, ids(2, 251)},
                                           FailureCase{"file_cut_short_keeps_nothing", -1, true, {}},
                                           FailureCase{"bad_row_then_cut_short_keeps_nothing", 5, true, {}}),
                         [](const auto &info) { return std::string(info.param.name); });

// The client may be writing (a download marked done) when the merge begins. The merge
// waits for it, as the busy time-out promises, instead of failing because the rows it
// looked up changed under it.
TEST(MergePass, WaitsForAWriterThatHoldsTheCatalogue)
{
    test::TempProgramFolder folder;
    const QString path = folder.folder().catalogueDatabase();
    test::writeCatalogue(path, {row(1, QStringLiteral("a.mp3"), 5, 1, T1)});
    test::writeRowsetAt(folder, QStringLiteral("daily/6.daily"),
                        update::dailyRowset({daily(2, QStringLiteral("b.mp3"), T1), daily(3, QStringLiteral("c.mp3"), T1)}));

    std::promise<void> holding;
    std::thread writer([&] {
        catalogue::CatalogueDatabase other(path, {});
        QSqlQuery q(other.db());
        const bool began = q.exec(QStringLiteral("BEGIN IMMEDIATE"))
                           && q.exec(QStringLiteral("update RngFileInfo set StarLv=2 where FileID=1"));
        holding.set_value();
        if (!began)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        q.exec(QStringLiteral("COMMIT"));
    });
    holding.get_future().wait();
    EXPECT_NO_THROW(update::runMergePass(folder.folder(),
                                         {{QString(), QStringLiteral("6.daily"), QStringLiteral("daily"), QString()}}));
    writer.join();

    const auto rows = test::readAllRows(path);
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.at(1).starLv, 2); // the other writer's change stays
    EXPECT_EQ(rows.at(2).isNew, 1);
}

TEST(MergePass, FailuresThatEndTheStep)
{
    struct Case
    {
        const char *name;
        ManifestEntry entry;
        QByteArray file; // written at daily/<name> when not empty
    };
    const Case cases[] = {
        {"book_not_an_integer", {QString(), QStringLiteral("x7.daily"), QStringLiteral("daily"), QString()}, {}},
        {"daily_file_missing", {QString(), QStringLiteral("8.daily"), QStringLiteral("daily"), QString()}, {}},
        {"daily_file_not_a_recordset",
         {QString(), QStringLiteral("8.daily"), QStringLiteral("daily"), QString()},
         QByteArray("<html>401</html>")},
        {"daily_file_binary",
         {QString(), QStringLiteral("8.daily"), QStringLiteral("daily"), QString()},
         QByteArray("\x01\x07TG!....", 9)},
    };
    for (const Case &c : cases) {
        test::TempProgramFolder folder;
        test::writeCatalogue(folder.folder().catalogueDatabase(), {row(1, QStringLiteral("a.mp3"), 5, 1, T1)});
        if (!c.file.isEmpty())
            folder.writeFile(QStringLiteral("daily/") + c.entry.fileName, c.file);
        EXPECT_ANY_THROW(update::runMergePass(folder.folder(), {c.entry})) << c.name;
        EXPECT_EQ(test::readAllRows(folder.folder().catalogueDatabase()).at(1).isNew, 1) << c.name;
    }

    // A daily file that lacks a column.
    test::TempProgramFolder folder;
    test::writeCatalogue(folder.folder().catalogueDatabase(), {});
    rowset::Rowset rs = update::dailyRowset({daily(2, QStringLiteral("b.mp3"), T1)});
    rs.columns.pop_back();
    for (auto &r : rs.rows)
        r.pop_back();
    test::writeRowsetAt(folder, QStringLiteral("daily/3.daily"), rs);
    try {
        update::runMergePass(folder.folder(), {{QString(), QStringLiteral("3.daily"), QStringLiteral("daily"), QString()}});
        FAIL();
    } catch (const std::exception &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QLatin1String("LastDateTime"))) << e.what();
    }

    // A number beyond the catalogue's 32-bit columns.
    {
        test::TempProgramFolder big;
        test::writeCatalogue(big.folder().catalogueDatabase(), {});
        rowset::Rowset rs = update::dailyRowset({daily(2, QStringLiteral("b.mp3"), T1)});
        rs.rows[0][11] = qlonglong(1) << 33; // FileSize
        test::writeRowsetAt(big, QStringLiteral("daily/3.daily"), rs);
        EXPECT_THROW(update::runMergePass(big.folder(), {{QString(), QStringLiteral("3.daily"), QStringLiteral("daily"),
                                                          QString()}}),
                     catalogue::CatalogueError);
        EXPECT_TRUE(test::readAllRows(big.folder().catalogueDatabase()).empty());
    }

    // No catalogue file at all.
    test::TempProgramFolder empty;
    EXPECT_THROW(update::runMergePass(empty.folder(), {}), catalogue::CatalogueError);
}

TEST(MergeDecision, ComparesAtOneSecondInTheStoredForm)
{
    struct Case
    {
        const char *daily;
        std::optional<const char *> stored;
        update::MergeAction want;
    };
    using A = update::MergeAction;
    const Case cases[] = {
        {"2024-05-01T10:00:00", std::nullopt, A::Append},
        {"", std::nullopt, A::Append},
        {"2024-05-01T10:00:00", "2024-05-01T10:00:00", A::Keep},
        {"2024-05-01T10:00:00.400", "2024-05-01T10:00:00", A::Keep},
        {"2024-05-01 10:00:00", "2024-05-01T10:00:00", A::Keep},
        {"2024-05-01T10:00:01", "2024-05-01T10:00:00", A::Overwrite},
        {"2024-05-01T09:00:00", "2024-05-01T10:00:00", A::Overwrite},
        {"", "2024-05-01T10:00:00", A::Overwrite},
        {"", "", A::Overwrite},
        {"2024-05-01T10:00:00", "", A::Overwrite},
        {"1899-12-30T00:00:00", "", A::Keep}, // the zero date, as an empty stored value formats
    };
    for (const Case &c : cases) {
        const std::optional<QString> stored =
            c.stored ? std::optional<QString>(QString::fromUtf8(*c.stored)) : std::nullopt;
        EXPECT_EQ(update::mergeAction(QString::fromUtf8(c.daily), stored), c.want)
            << c.daily << " vs " << (c.stored ? *c.stored : "(none)");
    }
    EXPECT_THROW(update::storedDateTime(QStringLiteral("yesterday")), catalogue::CatalogueError);
    EXPECT_EQ(update::storedDateTime(QStringLiteral("2024-05-01 10:00:00.900")), QStringLiteral("2024-05-01T10:00:00"));
}

} // namespace
