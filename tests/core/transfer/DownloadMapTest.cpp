// The download map: layout, its text form byte for byte, and reading it back.
#include "transfer/DownloadMap.h"

#include <QBuffer>
#include <QTemporaryFile>

#include <gtest/gtest.h>

using namespace tunelix::transfer;

namespace {

QByteArray crlf(const char *lines)
{
    QByteArray text(lines);
    text.replace("\n", "\r\n");
    return text;
}

TDownloadMap laidOut(std::uint32_t size, const QString &md5 = QString())
{
    TDownloadMap map;
    layOutDownloadMap(map, size, kSegmentSize, md5);
    return map;
}

TDownloadMap read(const QByteArray &text)
{
    TDownloadMap map;
    TTextComponentStreamer::fromText(text, map);
    return map;
}

} // namespace

TEST(DownloadMapText, FreshMapOf250000BytesReadsExactlyAsDocumented)
{
    const QByteArray expected = crlf("object TDownloadMap\n"
                                     "  FileMD5Code = '900150983cd24fb0d6963f7d28e17f72'\n"
                                     "  Size = 250000\n"
                                     "  Segments = <\n"
                                     "    item\n"
                                     "      SegmentEnd = 100000\n"
                                     "      SegmentLength = 100000\n"
                                     "    end\n"
                                     "    item\n"
                                     "      SegmentBegin = 100000\n"
                                     "      SegmentStart = 100000\n"
                                     "      SegmentEnd = 200000\n"
                                     "      SegmentLength = 100000\n"
                                     "    end\n"
                                     "    item\n"
                                     "      SegmentBegin = 200000\n"
                                     "      SegmentStart = 200000\n"
                                     "      SegmentEnd = 250000\n"
                                     "      SegmentLength = 50000\n"
                                     "    end>\n"
                                     "end\n");
    EXPECT_EQ(TTextComponentStreamer::toText(laidOut(250000, QStringLiteral("900150983cd24fb0d6963f7d28e17f72"))),
              expected);
}

TEST(DownloadMapText, CompletedFirstSegmentLeavesOutBeginAndLength)
{
    TDownloadMap map = laidOut(250000);
    TSegment &s = map.Segments().Items(0);
    s.SegmentStart = s.SegmentEnd;
    s.Completed = true;
    EXPECT_TRUE(TTextComponentStreamer::toText(map).startsWith(crlf("object TDownloadMap\n"
                                                                     "  Size = 250000\n"
                                                                     "  Segments = <\n"
                                                                     "    item\n"
                                                                     "      SegmentStart = 100000\n"
                                                                     "      SegmentEnd = 100000\n"
                                                                     "      Completed = True\n"
                                                                     "    end\n"
                                                                     "    item\n")));
}

TEST(DownloadMapText, EmptyFileHasNoSegmentsAndIsCompleteAtOnce)
{
    const TDownloadMap map = laidOut(0);
    EXPECT_EQ(TTextComponentStreamer::toText(map), crlf("object TDownloadMap\n  Size = 0\n  Segments = <>\nend\n"));
    EXPECT_TRUE(map.AllCompleted());
    EXPECT_TRUE(read(TTextComponentStreamer::toText(map)).AllCompleted());
}

TEST(DownloadMapText, OneWholeSegment)
{
    EXPECT_EQ(TTextComponentStreamer::toText(laidOut(100000)),
              crlf("object TDownloadMap\n  Size = 100000\n  Segments = <\n    item\n      SegmentEnd = 100000\n"
                   "      SegmentLength = 100000\n    end>\nend\n"));
}

TEST(DownloadMapText, OneByteMoreGivesASecondSegmentOfOneByte)
{
    const TDownloadMap map = laidOut(100001);
    ASSERT_EQ(map.Segments().Count(), 2);
    EXPECT_TRUE(TTextComponentStreamer::toText(map).endsWith(
        crlf("    item\n      SegmentBegin = 100000\n      SegmentStart = 100000\n      SegmentEnd = 100001\n"
             "      SegmentLength = 1\n    end>\nend\n")));
}

TEST(DownloadMapText, SizesFrom2To31AreWrittenNegativeAndReadBack)
{
    const std::uint32_t size = 3000000001u; // 30001 segments, the last of one byte
    const TDownloadMap map = laidOut(size);
    ASSERT_EQ(map.Segments().Count(), 30001);
    const QByteArray text = TTextComponentStreamer::toText(map);
    EXPECT_TRUE(text.contains("\r\n  Size = -1294967295\r\n"));
    // 2147400000 is the last begin below 2^31; 2147500000 the first above.
    EXPECT_TRUE(text.contains("      SegmentBegin = 2147400000\r\n"));
    EXPECT_TRUE(text.contains("      SegmentBegin = -2147467296\r\n"));
    EXPECT_TRUE(text.endsWith(crlf("      SegmentBegin = -1294967296\n      SegmentStart = -1294967296\n"
                                   "      SegmentEnd = -1294967295\n      SegmentLength = 1\n    end>\nend\n")));
    const TDownloadMap back = read(text);
    EXPECT_EQ(back.Size, size);
    ASSERT_EQ(back.Segments().Count(), 30001);
    EXPECT_EQ(back.Segments().Items(30000).SegmentEnd, size);
    EXPECT_EQ(back.Segments().Items(21475).SegmentBegin, 2147500000u);
}

TEST(DownloadMapText, TextValuesUseQuotedRunsAndCharacterCodes)
{
    TDownloadMap map = laidOut(0);
    map.FileMD5Code = QStringLiteral("it's\tok");
    EXPECT_TRUE(TTextComponentStreamer::toText(map).contains("  FileMD5Code = 'it'#39's'#9'ok'\r\n"));
    EXPECT_EQ(read(TTextComponentStreamer::toText(map)).FileMD5Code, map.FileMD5Code);
}

TEST(DownloadMapText, LongTextsRunOverLinesOf64Characters)
{
    TDownloadMap map = laidOut(0);
    const QString a(64, QLatin1Char('a')), b(64, QLatin1Char('b'));
    map.FileMD5Code = a + b + QStringLiteral("c");
    const QByteArray expected = "  FileMD5Code = \r\n    '" + a.toLatin1() + "' +\r\n    '" + b.toLatin1()
                                + "' +\r\n    'c'\r\n";
    const QByteArray text = TTextComponentStreamer::toText(map);
    EXPECT_TRUE(text.contains(expected)) << text.constData();
    EXPECT_EQ(read(text).FileMD5Code, map.FileMD5Code);

    map.FileMD5Code = a; // exactly 64 stays on the property line
    EXPECT_TRUE(TTextComponentStreamer::toText(map).contains(QByteArray("  FileMD5Code = '").append(a.toLatin1()).append("'\r\n")));
}

TEST(DownloadMapText, SegmentMd5IsWrittenAndRead)
{
    TDownloadMap map = laidOut(100000);
    map.Segments().Items(0).SegmentMD5 = QStringLiteral("900150983cd24fb0d6963f7d28e17f72");
    const QByteArray text = TTextComponentStreamer::toText(map);
    EXPECT_TRUE(text.contains("    item\r\n      SegmentMD5 = '900150983cd24fb0d6963f7d28e17f72'\r\n      SegmentEnd"));
    EXPECT_EQ(read(text).Segments().Items(0).SegmentMD5, map.Segments().Items(0).SegmentMD5);
}

TEST(DownloadMapRead, RoundTripClearsInUse)
{
    TDownloadMap map = laidOut(250000, QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    for (TSegment &s : map.Segments())
        s.InUse = true;
    TSegment &s1 = map.Segments().Items(1);
    s1.SegmentStart = 140000;
    TDownloadMap back = read(TTextComponentStreamer::toText(map));
    ASSERT_EQ(back.Segments().Count(), 3);
    for (int i = 0; i < 3; ++i) {
        TSegment expected = map.Segments().Items(i);
        expected.InUse = false;
        EXPECT_EQ(back.Segments().Items(i), expected) << i;
    }
    EXPECT_EQ(back.Size, 250000u);
    EXPECT_EQ(back.FileMD5Code, map.FileMD5Code);
}

TEST(DownloadMapRead, StoredSegmentLengthIsIgnored)
{
    const TDownloadMap map = read(crlf("object TDownloadMap\n  Size = 100000\n  Segments = <\n    item\n"
                                       "      SegmentEnd = 100000\n      SegmentLength = 5\n    end>\nend\n"));
    EXPECT_EQ(map.Segments().Items(0).SegmentLength(), 100000u);
    EXPECT_TRUE(map.FileMD5Code.isEmpty());
}

TEST(DownloadMapRead, BlanksAndLineBreaksCarryNoMeaning)
{
    const TDownloadMap map =
        read("object   Whatever\n Size=7 Segments=< item SegmentEnd=7 Completed=True SegmentStart=7 end > end");
    EXPECT_EQ(map.Size, 7u);
    ASSERT_EQ(map.Segments().Count(), 1);
    EXPECT_TRUE(map.Segments().Items(0).Completed);
}

TEST(DownloadMapRead, TextsThatBreakTheFormFail)
{
    const char *bad[] = {
        "object TDownloadMap\r\n  Size = 1\r\n  Colour = 3\r\n  Segments = <>\r\nend\r\n",        // unknown property
        "object TDownloadMap\r\n  Size = 'big'\r\n  Segments = <>\r\nend\r\n",                     // text for a number
        "object TDownloadMap\r\n  FileMD5Code = 12\r\n  Size = 1\r\n  Segments = <>\r\nend\r\n",   // number for a text
        "object TDownloadMap\r\n  Size = 2147483648\r\n  Segments = <>\r\nend\r\n",                // above signed 32 bits
        "object TDownloadMap\r\n  Size = -2147483649\r\n  Segments = <>\r\nend\r\n",               // below
        "object TDownloadMap\r\n  Size = 1\r\n  Segments = <\r\n    item\r\n      Speed = 1\r\n    end>\r\nend\r\n",
        "object TDownloadMap\r\n  Size = 1\r\n  Segments = <\r\n    item\r\n      Completed = 1\r\n    end>\r\nend\r\n",
        "object TDownloadMap\r\n  Size = 1\r\n  Segments = <\r\n    item\r\n",                  // cut off
        "object TDownloadMap\r\n  FileMD5Code = 'abc\r\n  Size = 1\r\n  Segments = <>\r\nend\r\n", // open quote
        "object TDownloadMap\r\n  Size = 1\r\n  Segments = <>\r\nend\r\nend\r\n",                // text after the end
        "TDownloadMap\r\n  Size = 1\r\nend\r\n",                                                   // no object
        "",
    };
    for (const char *text : bad) {
        TDownloadMap map;
        EXPECT_THROW(TTextComponentStreamer::fromText(text, map), MapFormatError) << text;
    }
}

TEST(DownloadMapStream, SavingIntoALongerStreamLeavesNoTrace)
{
    const TDownloadMap big = laidOut(1000000);
    const TDownloadMap small = laidOut(0);
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    TTextComponentStreamer streamer;
    streamer.SaveComponent(big, buffer);
    streamer.SaveComponent(small, buffer);
    EXPECT_EQ(buffer.data(), TTextComponentStreamer::toText(small));

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    streamer.SaveComponent(big, file);
    streamer.SaveComponent(small, file);
    file.flush();
    EXPECT_EQ(file.size(), TTextComponentStreamer::toText(small).size());
    TDownloadMap back;
    streamer.LoadComponent(file, back);
    EXPECT_EQ(back.Size, 0u);
}

TEST(DownloadMapQueries, AllInUseAndIncompleteCount)
{
    TDownloadMap map = laidOut(300000);
    EXPECT_FALSE(map.AllInUse());
    EXPECT_EQ(map.IncompleteCount(), 3);
    for (TSegment &s : map.Segments())
        s.InUse = true;
    EXPECT_TRUE(map.AllInUse());
    TSegment &s0 = map.Segments().Items(0);
    s0.Completed = true;
    s0.InUse = false; // completion clears the claim
    EXPECT_FALSE(map.AllInUse());
    EXPECT_EQ(map.IncompleteCount(), 2);
    EXPECT_FALSE(map.AllCompleted());
}
