#include "rowset/RowsetReader.h"
#include "rowset/RowsetWriter.h"
#include "support/TempProgramFolder.h"

#include <QDateTime>
#include <QUuid>

#include <gtest/gtest.h>

#include <optional>

using namespace tunelix::rowset;

namespace {

// ADO's own preamble with its usual prefixes.
const char *const kOpen = "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
                          " xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
                          " xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>\n";

QByteArray doc(const char *schemaBody, const char *data)
{
    QByteArray d(kOpen);
    d.append("<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly' rs:updatable='true' "
             "rs:CommandTimeout='30'>");
    d.append(schemaBody);
    d.append("<s:extends type='rs:rowbase'/></s:ElementType></s:Schema>\n<rs:data>");
    d.append(data);
    d.append("</rs:data>\n</xml>\n");
    return d;
}

const char *const kTwoColumns =
    "<s:AttributeType name='ItemID' rs:number='1' rs:keycolumn='true'>"
    "<s:datatype dt:type='int' dt:maxLength='4' rs:precision='10' rs:fixedlength='true' rs:maybenull='false'/>"
    "</s:AttributeType>"
    "<s:AttributeType name='Title' rs:number='2' rs:nullable='true' rs:write='true'>"
    "<s:datatype dt:type='string' dt:maxLength='100'/></s:AttributeType>";

// A row as texts; nullopt is null.
using Texts = std::vector<std::optional<QString>>;

struct ShapeCase
{
    const char *name;
    QByteArray document;
    QStringList columns;      // real names in ordinal order
    std::vector<Texts> rows;  // expected rows
    const char *error;        // non-null: the load fails with a message holding this text
};

std::optional<QString> t(const char *s)
{
    return QString::fromUtf8(s);
}
const std::optional<QString> null = std::nullopt;

std::vector<ShapeCase> shapeCases()
{
    const QStringList two = {QStringLiteral("ItemID"), QStringLiteral("Title")};
    return {
        {"ado_style_two_rows_one_null",
         doc(kTwoColumns, "<z:row ItemID='1' Title='Rock &amp; Roll &apos;06'/><z:row ItemID='2'/>"),
         two, {{t("1"), t("Rock & Roll '06")}, {t("2"), null}}, nullptr},
        {"empty_string_is_not_null", doc(kTwoColumns, "<z:row ItemID='1' Title=''/>"), two, {{t("1"), t("")}}, nullptr},
        {"empty_data_self_closed", QByteArray(kOpen).append(
                                       "<s:Schema id='RowsetSchema'><s:ElementType name='row'>"
                                       "<s:AttributeType name='A'/></s:ElementType></s:Schema><rs:data/></xml>"),
         {QStringLiteral("A")}, {}, nullptr},
        {"other_prefixes_double_quotes_declaration_comments",
         QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- published -->"
                    "<xml xmlns:x=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\" "
                    "xmlns:t=\"uuid:C2F41010-65B3-11d1-A29F-00AA00C14882\" xmlns:r=\"urn:schemas-microsoft-com:rowset\" "
                    "xmlns:row=\"#RowsetSchema\"><x:Schema id=\"RowsetSchema\"><x:ElementType name=\"row\">"
                    "<x:AttributeType name=\"N\" t:type=\"int\"/></x:ElementType></x:Schema><?pi x?>"
                    "<r:data><!-- c --><row:row N=\"7\"/></r:data></xml>"),
         {QStringLiteral("N")}, {{t("7")}}, nullptr},
        {"alias_and_ordinals_out_of_document_order",
         doc("<s:AttributeType name='c2' rs:name='Release Date' rs:number='2'>"
             "<s:datatype dt:type='dateTime' rs:dbtype='variantdate'/></s:AttributeType>"
             "<s:AttributeType name='Id' rs:number='1' dt:type='i4'/>",
             "<z:row c2='2006-05-01T13:45:00' Id='3'/>"),
         {QStringLiteral("Id"), QStringLiteral("Release Date")}, {{t("3"), t("2006-05-01T13:45:00")}}, nullptr},
        {"schema_level_attribute_types_by_reference",
         QByteArray(kOpen).append("<s:Schema id='RowsetSchema'><s:AttributeType name='K' dt:type='int'/>"
                                  "<s:ElementType name='row'><s:attribute type='K'/><s:Extends type='rs:rowbase'/>"
                                  "</s:ElementType></s:Schema><rs:data><z:row K='-4'/></rs:data></xml>"),
         {QStringLiteral("K")}, {{t("-4")}}, nullptr},
        {"hidden_provider_column_left_out_and_unknown_attributes_ignored",
         doc("<s:AttributeType name='ROWID' rs:number='1' rs:hidden='true' rs:rowid='true'/>"
             "<s:AttributeType name='V' rs:number='2'/>",
             "<z:row ROWID='AAA' V='x' Other='ignored'/>"),
         {QStringLiteral("V")}, {{t("x")}}, nullptr},
        {"pending_changes_give_the_live_table",
         doc(kTwoColumns, "<z:row ItemID='1' Title='plain'/>"
                          "<rs:update><rs:original><z:row ItemID='2' Title='old'/></rs:original>"
                          "<z:row Title='new'/></rs:update>"
                          "<rs:insert><z:row ItemID='3' Title='ins1'/><z:row ItemID='4'/></rs:insert>"
                          "<rs:delete><z:row ItemID='5' Title='gone'/></rs:delete>"),
         two, {{t("1"), t("plain")}, {t("2"), t("new")}, {t("3"), t("ins1")}, {t("4"), null}}, nullptr},
        {"multi_line_text_by_character_references", doc(kTwoColumns, "<z:row ItemID='1' Title='a&#xA;b&#x9;c'/>"), two,
         {{t("1"), t("a\nb\tc")}}, nullptr},
        {"non_ascii_text", doc(kTwoColumns, "<z:row ItemID='1' Title='铃声 Ünïcode'/>"), two,
         {{t("1"), t("铃声 Ünïcode")}}, nullptr},

        {"binary_adtg_refused", QByteArray("\x01\x07TG!\x00\x00\x00", 8), {}, {}, "binary recordset format is not supported"},
        {"not_xml", QByteArray("<html><body>401 Unauthorized</body></html>"), {}, {}, "not <xml>"},
        {"malformed_xml", doc(kTwoColumns, "<z:row ItemID='1' Title='x'>"), {}, {}, "line"},
        {"no_schema", QByteArray(kOpen).append("<rs:data/></xml>"), {}, {}, "schema section"},
        {"no_data", QByteArray(kOpen).append("<s:Schema id='RowsetSchema'><s:ElementType name='row'/></s:Schema></xml>"),
         {}, {}, "no data section"},
        {"schema_without_rowset_id",
         QByteArray(kOpen).append("<s:Schema id='Other'><s:ElementType name='row'/></s:Schema><rs:data/></xml>"), {}, {},
         "RowsetSchema"},
        {"nested_element_type_refused",
         doc("<s:AttributeType name='A'/><s:ElementType name='rsSales' rs:relation='0100'/>", ""), {}, {},
         "hierarchical"},
        {"child_rows_refused", doc(kTwoColumns, "<z:row ItemID='1'><rsSales x='1'/></z:row>"), {}, {}, "hierarchical"},
        {"missing_non_nullable_value", doc(kTwoColumns, "<z:row Title='x'/>"), {}, {}, "non-nullable column 'ItemID'"},
        {"unknown_type", doc("<s:AttributeType name='A' dt:type='idref'/>", ""), {}, {}, "unsupported type 'idref'"},
        {"reference_to_undeclared_column", doc("<s:attribute type='Nope'/>", ""), {}, {}, "'Nope'"},
        {"unexpected_element_in_data", doc(kTwoColumns, "<z:other/>"), {}, {}, "unexpected"},
    };
}

class ShapeTest : public ::testing::TestWithParam<ShapeCase>
{};

TEST_P(ShapeTest, ReadsOrRefuses)
{
    const ShapeCase &c = GetParam();
    if (c.error) {
        try {
            (void)readRowset(c.document, QStringLiteral("case.xml"));
            FAIL() << "loaded a document that should be refused";
        } catch (const RowsetError &e) {
            EXPECT_TRUE(e.message().contains(QLatin1String(c.error))) << e.message().toStdString();
            EXPECT_TRUE(e.message().startsWith(QLatin1String("case.xml"))) << e.message().toStdString();
        }
        return;
    }
    const Rowset rs = readRowset(c.document, QStringLiteral("case.xml"));
    QStringList names;
    for (const Column &col : rs.columns)
        names << col.name;
    EXPECT_EQ(names, c.columns);
    ASSERT_EQ(rs.rows.size(), c.rows.size());
    for (size_t r = 0; r < c.rows.size(); ++r) {
        for (size_t col = 0; col < c.rows[r].size(); ++col) {
            const auto &want = c.rows[r][col];
            EXPECT_EQ(rs.isNull(int(r), int(col)), !want.has_value()) << "row " << r << " column " << col;
            if (want) {
                EXPECT_EQ(rs.text(int(r), int(col)).toStdString(), want->toStdString());
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, ShapeTest, ::testing::ValuesIn(shapeCases()),
                         [](const auto &info) { return std::string(info.param.name); });

// One value of one type: accepted with its canonical text, or refused.
struct ValueCase
{
    const char *type;   // dt:type
    const char *dbtype; // rs:dbtype or ""
    const char *text;
    const char *expected; // nullptr: refused
};

class ValueTest : public ::testing::TestWithParam<ValueCase>
{};

TEST_P(ValueTest, ParsesCultureInvariantlyAndStrictly)
{
    const ValueCase &c = GetParam();
    QByteArray schema("<s:AttributeType name='V'><s:datatype dt:type='");
    schema.append(c.type).append("'");
    if (*c.dbtype)
        schema.append(" rs:dbtype='").append(c.dbtype).append("'");
    schema.append("/></s:AttributeType>");
    QByteArray row("<z:row V='");
    row.append(c.text).append("'/>");
    const QByteArray document = doc(schema.constData(), row.constData());
    if (!c.expected) {
        try {
            (void)readRowset(document, QStringLiteral("v.xml"));
            FAIL() << c.type << " accepted '" << c.text << "'";
        } catch (const RowsetError &e) {
            EXPECT_TRUE(e.message().contains(QLatin1String("line"))) << e.message().toStdString();
        }
        return;
    }
    const Rowset rs = readRowset(document, QStringLiteral("v.xml"));
    ASSERT_EQ(rs.rowCount(), 1);
    EXPECT_EQ(rs.text(0, 0).toStdString(), std::string(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ValueTest,
    ::testing::Values(ValueCase{"int", "", "42", "42"}, ValueCase{"i4", "", "-7", "-7"},
                      ValueCase{"ui1", "", "255", "255"}, ValueCase{"i8", "", "9007199254740993", "9007199254740993"},
                      ValueCase{"int", "", "1,000", nullptr}, ValueCase{"int", "", "1.5", nullptr},
                      ValueCase{"int", "", "", nullptr}, ValueCase{"int", "", " 3", nullptr},
                      ValueCase{"float", "", "2.5", "2.5"}, ValueCase{"r8", "", "-1.25E3", "-1250"},
                      ValueCase{"float", "", "2,5", nullptr},
                      ValueCase{"number", "currency", "12.12", "12.12"},
                      ValueCase{"number", "numeric", "-0.000100", "-0.000100"},
                      ValueCase{"number", "numeric", "12,5", nullptr},
                      ValueCase{"boolean", "", "True", "True"}, ValueCase{"boolean", "", "false", "False"},
                      ValueCase{"boolean", "", "1", "True"}, ValueCase{"boolean", "", "0", "False"},
                      ValueCase{"boolean", "", "yes", nullptr},
                      ValueCase{"dateTime", "variantdate", "1994-09-14T00:00:00", "1994-09-14T00:00:00"},
                      ValueCase{"dateTime", "timestamp", "2008-01-25T13:04:00Z", "2008-01-25T13:04:00"},
                      ValueCase{"dateTime", "", "2008-01-25T13:04:05.123", "2008-01-25T13:04:05.123"},
                      ValueCase{"dateTime", "", "2024-03-31T02:30:00", "2024-03-31T02:30:00"}, // a DST gap in many zones
                      ValueCase{"date", "", "1994-11-05", "1994-11-05T00:00:00"},
                      ValueCase{"time", "", "08:15:27", "1899-12-30T08:15:27"},
                      ValueCase{"dateTime", "", "2023-02-30T00:00:00", nullptr},
                      ValueCase{"dateTime", "", "14/09/1994", nullptr},
                      ValueCase{"bin.hex", "", "00000000499602D2", "00000000499602d2"},
                      ValueCase{"bin.hex", "", "0g", nullptr},
                      ValueCase{"uuid", "", "{8AC68D3D-8A09-4403-8860-D0E494BBE894}",
                                "{8AC68D3D-8A09-4403-8860-D0E494BBE894}"},
                      ValueCase{"uuid", "", "8ac68d3d8a0944038860d0e494bbe894", "{8AC68D3D-8A09-4403-8860-D0E494BBE894}"},
                      ValueCase{"uuid", "", "not-a-uuid", nullptr},
                      ValueCase{"string", "str", " padded ", " padded "}));

TEST(RowsetReader, ErrorNamesLineAndColumnOfTheFault)
{
    const QByteArray document = doc(kTwoColumns, "\n<z:row ItemID='1'/>\n<z:row ItemID='x'/>");
    try {
        (void)readRowset(document, QStringLiteral("daily.xml"));
        FAIL();
    } catch (const RowsetError &e) {
        // The bad row is on the document's ninth line (the data section starts on the seventh).
        const int line = document.left(document.indexOf("ItemID='x'")).count('\n') + 1;
        EXPECT_TRUE(e.message().contains(QStringLiteral("line %1,").arg(line))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QLatin1String("'x'"))) << e.message().toStdString();
    }
}

TEST(RowsetReader, MissingFileNamesThePath)
{
    tunelix::test::TempProgramFolder folder;
    try {
        (void)readRowsetFile(folder.path(QStringLiteral("daily/9.daily")));
        FAIL();
    } catch (const RowsetError &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("9.daily")));
    }
}

TEST(RowsetReader, ColumnsAreFoundByRealNameIgnoringCase)
{
    const Rowset rs = readRowset(doc(kTwoColumns, ""));
    EXPECT_EQ(rs.indexOf(QStringLiteral("title")), 1);
    EXPECT_EQ(rs.indexOf(QStringLiteral("F_MD5")), -1);
    EXPECT_THROW((void)rs.requireColumn(QStringLiteral("F_MD5")), RowsetError);
}

TEST(RowsetWriter, RoundTripsEveryTypeNullsAliasesAndAwkwardText)
{
    Rowset rs;
    rs.columns = {makeColumn(QStringLiteral("Id"), ColumnType::Int, false),
                  makeColumn(QStringLiteral("Song Name")),
                  makeColumn(QStringLiteral("Rate"), ColumnType::Double),
                  makeColumn(QStringLiteral("Price"), ColumnType::Decimal),
                  makeColumn(QStringLiteral("Ok"), ColumnType::Bool),
                  makeColumn(QStringLiteral("Blob"), ColumnType::Bytes),
                  makeColumn(QStringLiteral("When"), ColumnType::DateTime),
                  makeColumn(QStringLiteral("Guid"), ColumnType::Uuid),
                  makeColumn(QStringLiteral("Big"), ColumnType::Int)};
    const QString awkward = QStringLiteral("Don't \"Stop\" <&> a\tb\r\nc 铃声");
    rs.rows.push_back({qlonglong(1), awkward, 0.1, QStringLiteral("12.3400"), true, QByteArray("\x00\xff", 2),
                       QDateTime(QDate(2024, 3, 31), QTime(2, 30, 0), Qt::UTC),
                       QUuid::fromString(QStringLiteral("{8AC68D3D-8A09-4403-8860-D0E494BBE894}")),
                       qlonglong(1) << 40});
    rs.rows.push_back({QStringLiteral("2"), QString(), QVariant(), QVariant(), false, QVariant(), QVariant(),
                       QVariant(), QVariant()});

    const QByteArray xml = rowsetToXml(rs);
    EXPECT_TRUE(xml.contains("rs:name=\"Song Name\"")) << xml.constData();
    const Rowset back = readRowset(xml);
    ASSERT_EQ(back.columns.size(), rs.columns.size());
    for (size_t c = 0; c < rs.columns.size(); ++c) {
        EXPECT_EQ(back.columns[c].name, rs.columns[c].name);
        EXPECT_EQ(back.columns[c].type, rs.columns[c].type) << c;
    }
    ASSERT_EQ(back.rowCount(), 2);
    EXPECT_EQ(back.text(0, 1), awkward);
    EXPECT_EQ(back.rows[0][2].toDouble(), 0.1);
    EXPECT_EQ(back.text(0, 3), QStringLiteral("12.3400"));
    EXPECT_EQ(back.text(0, 4), QStringLiteral("True"));
    EXPECT_EQ(back.rows[0][5].toByteArray(), QByteArray("\x00\xff", 2));
    EXPECT_EQ(back.text(0, 6), QStringLiteral("2024-03-31T02:30:00"));
    EXPECT_EQ(back.text(0, 7), QStringLiteral("{8AC68D3D-8A09-4403-8860-D0E494BBE894}"));
    EXPECT_EQ(back.rows[0][8].toLongLong(), qlonglong(1) << 40);
    EXPECT_EQ(back.text(1, 0), QStringLiteral("2"));
    EXPECT_FALSE(back.isNull(1, 1)); // an empty string stays a string
    for (int c = 2; c < 9; ++c) {
        if (c != 4) {
            EXPECT_TRUE(back.isNull(1, c)) << c;
        }
    }
}

TEST(RowsetWriter, RefusesValuesItCannotWrite)
{
    Rowset rs;
    rs.columns = {makeColumn(QStringLiteral("Id"), ColumnType::Int, false), makeColumn(QStringLiteral("Name"))};
    const std::vector<Row> bad[] = {
        {{QStringLiteral("seven"), QStringLiteral("x")}},
        {{QVariant(), QStringLiteral("x")}},
        {{qlonglong(1), QStringLiteral("bell\x07")}},
        {{qlonglong(1)}},
    };
    for (const auto &rows : bad) {
        rs.rows = rows;
        EXPECT_THROW((void)rowsetToXml(rs), RowsetError);
    }
}

TEST(RowsetWriter, FileIsReplacedWhole)
{
    tunelix::test::TempProgramFolder folder;
    const QString path = folder.path(QStringLiteral("ver.xml"));
    folder.writeFile(QStringLiteral("ver.xml"), QByteArray("old content that is much longer than nothing at all"));
    Rowset rs;
    rs.columns = {makeColumn(QStringLiteral("A"))};
    writeRowsetFile(path, rs);
    const Rowset back = readRowsetFile(path);
    EXPECT_EQ(back.rowCount(), 0);
    EXPECT_EQ(back.columns.size(), 1u);
}

} // namespace
