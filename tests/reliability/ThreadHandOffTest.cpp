// Hand-offs between the GUI thread and the engine and updater threads, in tight loops,
// so that the TSan build sees every interleaving it can. The normal build checks only
// that every job runs once and in order.
#include "update/UpdateThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using tunelix::update::UpdateThread;

namespace {

TEST(UpdateThreadHandOff, JobsPostedWhileTheThreadWaitsRunInOrder)
{
    for (int round = 0; round < 200; ++round) {
        std::vector<int> order; // written on the update thread only
        std::atomic<int> ran{0};
        {
            UpdateThread thread;
            for (int i = 0; i < 5; ++i)
                thread.post([&order, &ran, i] {
                    order.push_back(i);
                    ++ran;
                });
            for (int spin = 0; spin < 20000 && ran.load() < 5; ++spin)
                std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        ASSERT_EQ(ran.load(), 5) << round;
        EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4})) << round;
    }
}

TEST(UpdateThreadHandOff, StopWhileJobsArePostedFromAnotherThread)
{
    for (int round = 0; round < 100; ++round) {
        std::atomic<int> ran{0};
        UpdateThread thread;
        std::thread poster([&] {
            for (int i = 0; i < 50; ++i)
                thread.post([&ran] { ++ran; });
        });
        poster.join();
        thread.stop();
        thread.post([&ran] { ran += 1000; }); // after stop: dropped
        EXPECT_LE(ran.load(), 50);
    }
}

} // namespace
