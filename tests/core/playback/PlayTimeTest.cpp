#include "playback/PlayTime.h"

#include <gtest/gtest.h>

using namespace tunelix::playback;

TEST(PlayTime, BreakdownOfSampleCounts)
{
    struct Case
    {
        std::uint64_t samples;
        std::uint32_t rate;
        TPlayTime expected;
    };
    const Case cases[] = {
        { 0, 44100, { 0, 0, 0, 0, 0, 0, 0 } }, { 2'712'150, 44100, { 61, 61'500, 2'712'150, 0, 1, 1, 500 } }, // 61.5 s
        { 180 * 22050, 22050, { 180, 180'000, 180 * 22050, 0, 3, 0, 0 } }, // 3 minutes
        { 3723 * 8000 + 8, 8000, { 3723, 3'723'001, 3723 * 8000 + 8, 1, 2, 3, 1 } }, // 1:02:03.001
        { 22049, 22050, { 0, 999, 22049, 0, 0, 0, 999 } }, // rounds down
        { 1000, 0, { 0, 0, 1000, 0, 0, 0, 0 } }, // no rate: no time
    };
    for (const Case &c : cases)
        EXPECT_EQ(playTimeFromSamples(c.samples, c.rate), c.expected) << c.samples << " at " << c.rate;
}
