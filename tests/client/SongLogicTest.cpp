#include "client/song/SongLogic.h"

#include <gtest/gtest.h>

using namespace tunelix::client;
using tunelix::playback::TPlayTime;

TEST(SongLogic, ParseSmallRect)
{
    struct Case
    {
        const char *text;
        std::array<std::int16_t, 4> expected;
    };
    const Case cases[] = {
        { "0,0,74,12", { 0, 0, 74, 12 } },
        { "", { 0, 0, 0, 0 } },
        { "1,2,3", { 0, 0, 0, 0 } }, // a comma missing
        { "1,2,3,4,5", { 0, 0, 0, 0 } }, // the rest after the third comma is "4,5"
        { "1,x,3,4", { 0, 0, 0, 0 } },
        { "-5, 6 ,7,8", { -5, 6, 7, 8 } },
        { "1,2,3,", { 0, 0, 0, 0 } }, // an empty fourth part
        { "1,2,3,32768", { 0, 0, 0, 0 } }, // beyond 16 bits
        { "1,2,3,-32768", { 1, 2, 3, -32768 } },
    };
    for (const Case &c : cases)
        EXPECT_EQ(ParseSmallRect(QString::fromLatin1(c.text)), c.expected) << '"' << c.text << '"';
}

TEST(SongLogic, StrToIntOr)
{
    EXPECT_EQ(StrToIntOr(QStringLiteral("6"), 0), 6);
    EXPECT_EQ(StrToIntOr(QString(), 7), 7);
    EXPECT_EQ(StrToIntOr(QStringLiteral("six"), 7), 7);
    EXPECT_EQ(StrToIntOr(QStringLiteral("-3"), 7), -3);
}

TEST(SongLogic, SliderRangeAndPosition)
{
    struct Case
    {
        std::uint32_t lengthMs;
        std::uint32_t positionMs;
        int maximum;
        int position;
    };
    const Case cases[] = {
        { 180'000, 0, 1800, 0 }, { 180'000, 61'500, 1800, 615 }, { 180'000, 61'599, 1800, 615 }, // tenths, rounded down
        { 30'000, 30'000, 300, 300 }, { 0, 0, 0, 0 }, // a file the player could not open
        { 3'276'700, 3'276'700, 32767, 32767 }, // the longest that fits in tenths
        { 3'276'800, 1'638'400, 32767, 16383 }, // longer: the full range, scaled
        { 7'200'000, 3'600'000, 32767, 16383 }, // two hours, half way
        { 7'200'000, 7'200'000, 32767, 32767 }, { 7'200'000, 9'000'000, 32767, 32767 }, // never past the end
    };
    for (const Case &c : cases) {
        EXPECT_EQ(sliderMaximum(c.lengthMs), c.maximum) << c.lengthMs;
        EXPECT_EQ(sliderPosition(c.positionMs, c.lengthMs), c.position) << c.positionMs << " of " << c.lengthMs;
    }
}

TEST(SongLogic, TimeText)
{
    struct Case
    {
        TPlayTime time;
        const char *text;
    };
    const Case cases[] = {
        { { 61, 61'500, 0, 0, 1, 1, 500 }, "01:01" },
        { { 3723, 3'723'000, 0, 1, 2, 3, 0 }, "02:03" }, // hours are not shown
        { { 0, 0, 0, 0, 0, 0, 0 }, "00:00" }, { { 599, 599'999, 0, 0, 9, 59, 999 }, "09:59" },
        { { 0, 0, 0, 0, 123, 5, 0 }, "123:05" }, // at least two digits
    };
    for (const Case &c : cases)
        EXPECT_EQ(timeText(c.time), QString::fromLatin1(c.text));
}

TEST(SongLogic, SeekTargetSecond)
{
    struct Case
    {
        int x;
        int width;
        std::uint32_t lengthSec;
        std::uint32_t second;
    };
    const Case cases[] = {
        { 0, 343, 30, 0 }, { 342, 343, 30, 29 }, { 343, 343, 30, 30 }, { 171, 343, 180, 89 }, // 171/343*180 = 89.7
        { 172, 343, 180, 90 }, { 100, 343, 0, 0 }, // nothing open
        { 500, 343, 30, 30 }, // outside: the end
        { -4, 343, 30, 0 }, // outside: the start
        { 10, 0, 30, 0 }, // a slider without width
    };
    for (const Case &c : cases)
        EXPECT_EQ(seekTargetSecond(c.x, c.width, c.lengthSec), c.second)
            << c.x << '/' << c.width << " of " << c.lengthSec;
}

TEST(SongLogic, SongWindowPlacement)
{
    const QRect workArea(0, 0, 1280, 1000);
    struct Case
    {
        QRect main;
        QRect expected;
    };
    const Case cases[] = {
        { { 100, 100, 345, 533 }, { 100, 100 + (533 - 185) / 2, 345, 185 } },
        { { 100, 100, 345, 184 }, { 100, 100, 345, 185 } }, // (184-185)/2 rounds toward zero
        { { 1000, 100, 345, 533 }, { (1280 - 345) / 2, (1000 - 185) / 2, 345, 185 } }, // off the right
        { { 100, 900, 345, 533 }, { (1280 - 345) / 2, (1000 - 185) / 2, 345, 185 } }, // off the bottom
        { { 935, 100, 345, 533 }, { 935, 274, 345, 185 } }, // touches the right edge: stays
    };
    for (const Case &c : cases)
        EXPECT_EQ(songWindowPlacement(c.main, 185, workArea), c.expected);
    // A work area that does not start at the origin (a task bar on the left).
    EXPECT_EQ(songWindowPlacement({ 2000, 100, 345, 533 }, 185, QRect(60, 0, 1220, 1000)),
        QRect(60 + (1220 - 345) / 2, (1000 - 185) / 2, 345, 185));
}
