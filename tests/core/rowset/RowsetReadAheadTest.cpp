#include "rowset/RowsetReadAhead.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace tunelix;
using namespace tunelix::rowset;

namespace {

// Everything a sink is told, in order, as text.
struct Recording : RowsetSink
{
    QStringList events;
    int throwAtRow = -1; // the sink fails on this row (0-based)
    bool throwAtColumns = false;

    void columns(const std::vector<Column> &columns) override
    {
        QStringList names;
        for (const Column &c : columns)
            names << c.name;
        events << QStringLiteral("columns ") + names.join(QLatin1Char(','));
        if (throwAtColumns)
            throw std::runtime_error("sink refused the columns");
    }
    void row(const Row &row) override
    {
        if (rows() == throwAtRow)
            throw std::runtime_error("sink refused a row");
        QStringList values;
        for (const QVariant &v : row)
            values << (v.isValid() ? v.toString() : QStringLiteral("<null>"));
        events << values.join(QLatin1Char('|'));
    }
    int rows() const { return int(events.size()) - 1; }
};

QByteArray document(int rows, const QByteArray &afterRows = {}, const QByteArray &end = "</rs:data></xml>\n")
{
    QByteArray d("<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
                 "xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
                 "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
                 "<s:Schema id='RowsetSchema'><s:ElementType name='row'>"
                 "<s:AttributeType name='Id' rs:number='1' dt:type='int'/>"
                 "<s:AttributeType name='Name' rs:number='2'/></s:ElementType></s:Schema><rs:data>\n");
    for (int i = 0; i < rows; ++i)
        d.append("<z:row Id='").append(QByteArray::number(i)).append("' Name='n").append(QByteArray::number(i)).append(
            i % 7 == 0 ? "' Extra='x'/>\n" : "'/>\n");
    d.append(afterRows);
    d.append(end);
    return d;
}

struct Outcome
{
    QStringList events;
    QString error;
};

template <typename Read>
Outcome run(Read read, Recording &sink)
{
    Outcome o;
    try {
        read(sink);
    } catch (const RowsetError &e) {
        o.error = e.message();
    } catch (const std::exception &e) {
        o.error = QString::fromUtf8(e.what());
    }
    o.events = sink.events;
    return o;
}

// The read-ahead reader must tell a sink exactly what the plain streaming reader tells
// it: the same columns, rows and order, and a reading error only after the rows before it.
TEST(RowsetReadAhead, TellsTheSinkWhatThePlainReaderTellsIt)
{
    struct Case
    {
        const char *name;
        QByteArray file; // empty: no file at all
    };
    const Case cases[] = {
        {"no_rows", document(0)},
        {"one_row", document(1)},
        {"many_more_rows_than_are_queued", document(20000)},
        {"pending_changes", document(3, "<rs:update><rs:original><z:row Id='90' Name='old'/></rs:original>"
                                        "<z:row Name='new'/></rs:update><rs:insert><z:row Id='91'/></rs:insert>"
                                        "<rs:delete><z:row Id='92'/></rs:delete>")},
        {"broken_after_many_rows", document(5000, "<z:row Id='5000' Name='cut'>", "</rs:data></xml>")},
        {"bad_value_after_many_rows", document(3000, "<z:row Id='x' Name='bad'/>")},
        {"binary_form", QByteArray("\x01\x07TG!\x00\x00\x00", 8)},
        {"not_a_recordset", QByteArray("<html>401</html>")},
        {"missing_file", QByteArray()},
    };
    for (const Case &c : cases) {
        test::TempProgramFolder folder;
        const QString path = folder.folder().file(QStringLiteral("daily/1.daily"));
        if (!c.file.isEmpty())
            folder.writeFile(QStringLiteral("daily/1.daily"), c.file);
        Recording plain, ahead;
        const Outcome want = run([&](RowsetSink &s) { readRowsetFile(path, s); }, plain);
        const Outcome got = run([&](RowsetSink &s) { readRowsetFileAhead(path, s); }, ahead);
        EXPECT_EQ(got.error, want.error) << c.name;
        EXPECT_EQ(got.events.size(), want.events.size()) << c.name;
        EXPECT_TRUE(got.events == want.events) << c.name;
    }
}

// A sink that gives up stops the parsing, even while the parser waits on a full queue;
// nothing more reaches the sink and the call returns with the sink's error.
TEST(RowsetReadAhead, SinkErrorStopsTheParsing)
{
    test::TempProgramFolder folder;
    folder.writeFile(QStringLiteral("big.xml"), document(50000));
    const QString path = folder.folder().file(QStringLiteral("big.xml"));

    for (const int failAt : {0, 10, 4000}) {
        Recording sink;
        sink.throwAtRow = failAt;
        EXPECT_THROW(readRowsetFileAhead(path, sink), std::runtime_error) << failAt;
        EXPECT_EQ(sink.rows(), failAt);
    }

    Recording refusing;
    refusing.throwAtColumns = true;
    EXPECT_THROW(readRowsetFileAhead(path, refusing), std::runtime_error);
    EXPECT_EQ(refusing.rows(), 0);
}

} // namespace
