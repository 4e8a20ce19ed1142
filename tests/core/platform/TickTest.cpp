#include "platform/Tick.h"

#include <gtest/gtest.h>

using tunelix::ticksSince;

TEST(Tick, ElapsedIsCorrectAcrossTheWrap)
{
    EXPECT_EQ(ticksSince(15000u, 0u), 15000u);
    EXPECT_EQ(ticksSince(100u, 0xFFFFFF00u), 356u);
    EXPECT_EQ(ticksSince(0u, 0xFFFFFFFFu), 1u);
}
