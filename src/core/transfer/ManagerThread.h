#pragma once

#include "transfer/TransferEngine.h"

#include <atomic>
#include <cstdint>
#include <thread>

namespace tunelix::transfer {

// Whether a download last active at `lastActive` has been idle for more than
// `limitMs` at `now`; 32-bit ticks, correct across the counter's wrap.
bool inactivityExpired(std::uint32_t now, std::uint32_t lastActive, std::uint32_t limitMs);

// Drives the current manager: inactivity time-out, starting workers, completion,
// verification, release. One pass every passIntervalMs; stop() ends and joins it.
class TManagerThread
{
public:
    explicit TManagerThread(TransferEngine &engine);
    // Stops and joins.
    ~TManagerThread();

    void start();
    void stop();

    // One pass of the loop body (the thread calls it; tests call it directly).
    // Returns false when the pass released a timed-out manager.
    bool pass();

private:
    void CheckTransmitManager();
    void run();

    TransferEngine &m_engine;
    std::thread m_thread;
    std::atomic<bool> m_terminated{false};
};

} // namespace tunelix::transfer
